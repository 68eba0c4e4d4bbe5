// Host identification: FileVersion parsing, name matching, the key table, the
// packed word, the string table path, the raw key search and the block walker
// on crafted and truncated version data, and the once-per-process query.
#include <gtest/gtest.h>

#include <string>

#include "HostIdentityResources.h"
#include "SimulatedHost.h"
#include "host/HostIdentity.h"
#include "host/HostVersionNative.h"
#include "host/SystemMemoryNative.h"
#include "host/VersionData.h"
#include "plugin/TintParameters.h"

namespace {

using testres::Build;
using testres::GuardedBytes;
using testres::HostLayout;
using testres::Layout;

struct Version {
  int major, minor, fix;
};

Version Parse(const std::string& value) {
  HostIdentity id{};
  ParseFileVersion(value.c_str(), value.size() + 1, &id);
  return {id.major, id.minor, id.fix};
}

#define EXPECT_VERSION(value, ma, mi, fx)                                                          \
  do {                                                                                             \
    const Version v = Parse(value);                                                                \
    EXPECT_EQ(v.major, ma) << '"' << (value) << '"';                                               \
    EXPECT_EQ(v.minor, mi) << '"' << (value) << '"';                                               \
    EXPECT_EQ(v.fix, fx) << '"' << (value) << '"';                                                 \
  } while (0)

TEST(HostIdentityParse, FileVersionWorkedValues) {
  EXPECT_VERSION("6.5", 6, 5, 0);
  EXPECT_VERSION("5.51", 5, 5, 1);
  EXPECT_VERSION("6.02", 6, 0, 2);
  EXPECT_VERSION("6.10", 6, 1, 0);
  EXPECT_VERSION("7", 7, 0, 0);
  EXPECT_VERSION("6.0", 6, 0, 0);
  // More than one separator: the head is not a number.
  EXPECT_VERSION("7.0.1", 0, 1, 0);
  EXPECT_VERSION("1, 1, 0, 1", 0, 1, 0);
}

TEST(HostIdentityParse, FileVersionNumberForms) {
  EXPECT_VERSION(" 6 . 5 ", 6, 5, 0);
  EXPECT_VERSION("- 1.5", 255, 5, 0); // negated, low 8 bits
  EXPECT_VERSION("6.x", 6, 0, 0);
  EXPECT_VERSION("6.", 6, 0, 0);
  EXPECT_VERSION("", 0, 0, 0);
  EXPECT_VERSION("300.5", 300 & 0xFF, 5, 0);
  // More than nine digits give 2147483647 (low byte 0xFF; as a tail 214748364 / 7).
  EXPECT_VERSION("1234567890.5", 0xFF, 5, 0);
  EXPECT_VERSION("6.1234567890", 6, 214748364 & 0xFF, 7);

  int32 value = 0;
  int digits = 0;
  EXPECT_TRUE(ParseVersionNumber(" -  42  ", 8, &value, &digits));
  EXPECT_EQ(value, -42);
  EXPECT_EQ(digits, 2);
  EXPECT_FALSE(ParseVersionNumber("4 2", 3, &value, &digits));
  EXPECT_FALSE(ParseVersionNumber("  ", 2, &value, &digits));
  EXPECT_FALSE(ParseVersionNumber("-", 1, &value, &digits));
}

TEST(HostIdentityParse, FileVersionIsCutAt254CharactersAndAtItsLength) {
  // 254 characters: the tail's 9 is read.
  EXPECT_VERSION("6." + std::string(251, ' ') + "9", 6, 9, 0);
  // 255 characters: the cut removes the 9, the tail is only spaces.
  EXPECT_VERSION("6." + std::string(252, ' ') + "9", 6, 0, 0);
  // A long value without a zero byte is read only up to its given length.
  const std::string longValue(5000, '7');
  HostIdentity id{};
  ParseFileVersion(longValue.data(), longValue.size(), &id);
  EXPECT_EQ(id.major, 0xFF);
  ParseFileVersion("6.5XYZ", 3, &id);
  EXPECT_EQ(id.major, 6);
  EXPECT_EQ(id.minor, 5);
}

TEST(HostIdentityNames, MatchesNamesAndLeadingParts) {
  auto match = [](const char* value) { return MatchHostName(value, std::strlen(value) + 1); };
  EXPECT_EQ(match("Adobe Premiere"), FourCC("PrMr"));
  EXPECT_EQ(match("ADOBE premiere"), FourCC("PrMr"));
  EXPECT_EQ(match("PM6"), FourCC("ALD6"));
  EXPECT_EQ(match("PM65"), FourCC("AD65"));
  EXPECT_EQ(match("Photo"), FourCC("Mprn"));
  EXPECT_EQ(match("Photoshp"), FourCC("8BIM"));
  EXPECT_EQ(match("Photoshop"), 0u);
  EXPECT_EQ(match(""), 0u);
  EXPECT_EQ(match("Adobe"), FourCC("FXTC")); // first row it leads
  EXPECT_EQ(match("CorelDrw 9"), 0u);        // longer than the name
  // Without a zero byte the value ends at its length.
  EXPECT_EQ(MatchHostName("PM65", 3), FourCC("ALD6"));
  EXPECT_EQ(MatchHostName("PM65", 0), 0u);
}

TEST(HostIdentityKeys, KeyCoversItsGroupFromItsOwnPosition) {
  const int art3 = FindHostKey(FourCC("ART3"));
  const int arty = FindHostKey(FourCC("ARTY"));
  ASSERT_GE(art3, 0);
  ASSERT_GE(arty, 0);
  EXPECT_TRUE(HostKeyCovers(art3, FourCC("ART3")));
  EXPECT_TRUE(HostKeyCovers(art3, FourCC("ARTZ")));
  EXPECT_TRUE(HostKeyCovers(art3, FourCC("ARTY")));
  EXPECT_TRUE(HostKeyCovers(art3, FourCC("ART5")));
  EXPECT_TRUE(HostKeyCovers(arty, FourCC("ARTY")));
  EXPECT_TRUE(HostKeyCovers(arty, FourCC("ART5")));
  EXPECT_FALSE(HostKeyCovers(arty, FourCC("ART3")));
  EXPECT_FALSE(HostKeyCovers(arty, FourCC("ARTZ")));
  EXPECT_FALSE(HostKeyCovers(art3, FourCC("ALD5"))); // the next group
  EXPECT_EQ(FindHostKey(FourCC("XXXX")), -1);
  EXPECT_EQ(FindHostKey(0), -1);
}

TEST(HostIdentityPack, PackedWordKeepsFullBytes) {
  EXPECT_EQ(PackHostVersion(HostIdentity{FourCC("PrMr"), 6, 5, 1, 10}), 0x0651000Au);
  // A minor above 15 spills into major's bits.
  EXPECT_EQ(PackHostVersion(HostIdentity{FourCC("PrMr"), 2, 0x1F, 0, 12}), 0x03F0000Cu);
  EXPECT_EQ(OsCodeFromFileOS(testres::kVosNT), 10);
  EXPECT_EQ(OsCodeFromFileOS(testres::kVosWindows16), 11);
  EXPECT_EQ(OsCodeFromFileOS(testres::kVosNTWindows32), 12);
}

TEST(HostIdentityPath, StringTablePath) {
  char path[kStringTablePathCapacity];
  ASSERT_TRUE(BuildStringTablePath(0x040904B0, "InternalName", path, sizeof path));
  EXPECT_STREQ(path, "\\StringFileInfo\\040904b0\\InternalName");
  ASSERT_TRUE(BuildStringTablePath(0x04090000, "FileVersion", path, sizeof path));
  EXPECT_STREQ(path, "\\StringFileInfo\\04090000\\FileVersion");
  ASSERT_TRUE(BuildStringTablePath(0x1234ABCD, "", path, sizeof path));
  EXPECT_STREQ(path, "\\StringFileInfo\\1234abcd\\");
  ASSERT_TRUE(BuildStringTablePath(0, "", path, sizeof path));
  EXPECT_STREQ(path, "\\StringFileInfo\\00\\");
  char small[20];
  EXPECT_FALSE(BuildStringTablePath(0x040904B0, "InternalName", small, sizeof small));
  EXPECT_STREQ(small, "");
}

std::vector<uint8> Bytes(const std::string& s) {
  return std::vector<uint8>(s.begin(), s.end());
}

std::string Found(const std::vector<uint8>& bytes, const char* key, std::size_t offset,
                  bool* found) {
  GuardedBytes data(bytes);
  ByteSpan value{};
  *found = RawSearchValue(data.data(), data.size(), key, offset, &value);
  if (!*found) return "";
  EXPECT_GE(value.data, data.data());
  EXPECT_LE(value.data + value.size, data.data() + data.size());
  return std::string(reinterpret_cast<const char*>(value.data), value.size);
}

TEST(HostIdentityRawSearch, FindsKeysInNarrowData) {
  bool found = false;
  // 16-bit layout: key at 4, value aligned to the next multiple of four.
  std::string block = std::string("\x30\x00\x0f\x00", 4) + std::string("InternalName\0\0\0\0", 16) +
                      std::string("Adobe Premiere\0\0", 16);
  EXPECT_EQ(Found(Bytes(block), "InternalName", kInternalNameValueOffset, &found),
            "Adobe Premiere");
  EXPECT_TRUE(found);
  // Key two bytes off the alignment: the value starts right at offset 14.
  std::string shifted = std::string("\0\0", 2) + block;
  shifted.erase(4 + 2 + 13, 2); // two padding bytes fewer
  EXPECT_EQ(Found(Bytes(shifted), "InternalName", kInternalNameValueOffset, &found),
            "Adobe Premiere");
  // Case of letters is ignored; the key must be followed by a zero byte.
  std::string version = std::string("\x14\x00\x04\x00", 4) + std::string("FILEVERSION\0", 12) +
                        std::string("6.5\0", 4);
  EXPECT_EQ(Found(Bytes(version), "FileVersion", kFileVersionValueOffset, &found), "6.5");
  EXPECT_EQ(Found(Bytes("FileVersionX\0\0\0\0\0\0"), "FileVersion", 12, &found), "");
  EXPECT_FALSE(found);
}

TEST(HostIdentityRawSearch, StaysInsideTheDataAtItsEnd) {
  bool found = true;
  // The key's text at the very end, with no zero byte after it.
  EXPECT_EQ(Found(Bytes("xxxxInternalName"), "InternalName", 14, &found), "");
  EXPECT_FALSE(found);
  // The key and its zero byte end the data: found, the value is empty.
  EXPECT_EQ(Found(Bytes(std::string("xxxxInternalName\0", 17)), "InternalName", 14, &found), "");
  EXPECT_TRUE(found);
  // The value starts inside the data but has no zero byte: cut at the end.
  EXPECT_EQ(Found(Bytes(std::string("FileVersion\0"
                                    "6.10",
                                    16)),
                  "FileVersion", 12, &found),
            "6.10");
  // The byte at the start is zero and the data ends within the next two bytes.
  EXPECT_EQ(Found(Bytes(std::string("FileVersion\0\0\0", 14)), "FileVersion", 12, &found), "");
  EXPECT_TRUE(found);
  EXPECT_EQ(Found({}, "FileVersion", 12, &found), "");
  EXPECT_FALSE(found);
}

// Real bytes written by the resource compiler (windres) for a VERSIONINFO with
// FILEOS VOS_NT, FileVersion "6.0", InternalName "Adobe Premiere", Translation
// 0x409 1200.
std::vector<uint8> CompiledPremiereResource() {
  static const char kHex[] =
      "740134000000560053005f00560045005200530049004f004e005f0049004e0046004f0000000000bd04effe0000"
      "0100"
      "000006000000000000000600000000003f000000000000000000040001000000000000000000000000000000d200"
      "0000"
      "010053007400720069006e006700460069006c00650049006e0066006f000000ae00000001003000340030003900"
      "3000"
      "34006200300000002e000700010043006f006d00700061006e0079004e0061006d00650000000000570069006d00"
      "6200"
      "6c00650000000000280004000100460069006c006500560065007200730069006f006e000000000036002e003000"
      "0000"
      "3e000f00010049006e007400650072006e0061006c004e0061006d0065000000410064006f006200650020005000"
      "7200"
      "65006d00690065007200650000000000440000000100560061007200460069006c00650049006e0066006f000000"
      "0000"
      "2400040000005400720061006e0073006c006100740069006f006e00000000000904b004";
  std::vector<uint8> bytes;
  for (std::size_t i = 0; kHex[i] != '\0'; i += 2)
    bytes.push_back(uint8(std::stoi(std::string(kHex + i, 2), nullptr, 16)));
  return bytes;
}

TEST(HostIdentityBlocks, WalksCompiledAndBuiltResources) {
  const std::vector<uint8> compiled = CompiledPremiereResource();
  for (const auto& bytes : {compiled, Build(HostLayout("Adobe Premiere", "6.0"))}) {
    GuardedBytes data(bytes);
    VersionBlockValue value{};
    ASSERT_TRUE(FindVersionBlock(data.data(), data.size(), "\\", &value));
    ASSERT_EQ(value.bytes.size, 52u);
    EXPECT_EQ(value.bytes.data[32] | value.bytes.data[34] << 16, 0x40000);
    ASSERT_TRUE(FindVersionBlock(data.data(), data.size(), "\\varfileinfo\\TRANSLATION", &value));
    ASSERT_EQ(value.bytes.size, 4u);
    EXPECT_EQ(value.bytes.data[1], 0x04);
    ASSERT_TRUE(FindVersionBlock(data.data(), data.size(),
                                 "\\StringFileInfo\\040904b0\\InternalName", &value));
    EXPECT_TRUE(value.text && value.wide);
    ASSERT_EQ(value.bytes.size, 30u); // 15 UTF-16 characters, zero included
    EXPECT_EQ(value.bytes.data[0], 'A');
    EXPECT_FALSE(FindVersionBlock(data.data(), data.size(),
                                  "\\StringFileInfo\\04090000\\InternalName", &value));
    EXPECT_FALSE(
        FindVersionBlock(data.data(), data.size(), "\\StringFileInfo\\040904b0\\Internal", &value));
  }
}

TEST(HostIdentityBlocks, TruncatedAndDamagedDataIsNeverReadPastItsEnd) {
  Layout narrow = HostLayout("Adobe Premiere", "6.0");
  narrow.wide = false;
  const char* paths[] = {"\\", "\\VarFileInfo\\Translation",
                         "\\StringFileInfo\\040904b0\\InternalName",
                         "\\StringFileInfo\\040904b0\\FileVersion"};
  for (const std::vector<uint8>& full : {CompiledPremiereResource(), Build(narrow)}) {
    for (std::size_t n = 0; n <= full.size(); ++n) {
      GuardedBytes data(std::vector<uint8>(full.begin(), full.begin() + long(n)));
      VersionBlockValue value{};
      for (const char* path : paths) {
        if (FindVersionBlock(data.data(), data.size(), path, &value)) {
          EXPECT_LE(value.bytes.data + value.bytes.size, data.data() + data.size());
        }
      }
      ByteSpan span{};
      RawSearchValue(data.data(), data.size(), "InternalName", 14, &span);
      RawSearchValue(data.data(), data.size(), "FileVersion", 12, &span);
    }
    // Every byte replaced by 0xFF in turn: lengths that overstate stay inside.
    for (std::size_t i = 0; i < full.size(); ++i) {
      std::vector<uint8> damaged = full;
      damaged[i] = 0xFF;
      GuardedBytes data(damaged);
      VersionBlockValue value{};
      for (const char* path : paths) {
        if (FindVersionBlock(data.data(), data.size(), path, &value)) {
          EXPECT_LE(value.bytes.data + value.bytes.size, data.data() + data.size());
        }
      }
    }
  }
}

// Identification of "the executable" through the native stand-in.
class HostIdentityQuery : public ::testing::Test {
protected:
  void SetUp() override {
    ResetHostIdentification();
    SetExecutableFileName("host.exe");
    SetExecutableVersionData({});
    FailSystemMemoryAfter(-1);
  }
  void TearDown() override {
    ResetHostIdentification();
    SetExecutableVersionData({});
    FailSystemMemoryAfter(-1);
  }
  static HostIdentity Identify(const std::vector<uint8>& bytes) {
    SetExecutableVersionData(bytes);
    HostIdentity id{};
    EXPECT_EQ(IdentifyHost(&id), noErr);
    return id;
  }
};

TEST_F(HostIdentityQuery, ExcludedHostIsIdentifiedUnderItsKeyOnly) {
  SetExecutableVersionData(CompiledPremiereResource());
  EXPECT_EQ(QueryHostVersion(FourCC("PrMr")), 0x0600000Au);
  EXPECT_EQ(QueryHostVersion(FourCC("8BIM")), 0u);
  EXPECT_EQ(hostIdentity.signature, FourCC("PrMr"));
}

TEST_F(HostIdentityQuery, UnknownKeyDoesNotIdentify) {
  SetExecutableVersionData(CompiledPremiereResource());
  EXPECT_EQ(QueryHostVersion(FourCC("XXXX")), 0u);
  EXPECT_EQ(QueryHostVersion(0), 0u);
  EXPECT_EQ(VersionInfoSizeQueries(), 0);
  EXPECT_FALSE(hostIdentificationAttempted);
}

TEST_F(HostIdentityQuery, IdentifiesOncePerProcessAlsoAfterAFailure) {
  // First attempt: no version resource at all.
  EXPECT_EQ(QueryHostVersion(FourCC("PrMr")), 0u);
  EXPECT_EQ(VersionInfoSizeQueries(), 1);
  SetExecutableVersionData(CompiledPremiereResource());
  EXPECT_EQ(QueryHostVersion(FourCC("PrMr")), 0u);
  EXPECT_EQ(QueryHostVersion(FourCC("8BIM")), 0u);
  EXPECT_EQ(VersionInfoSizeQueries(), 1);

  ResetHostIdentification();
  EXPECT_EQ(QueryHostVersion(FourCC("PrMr")), 0x0600000Au);
  SetExecutableVersionData({});
  EXPECT_EQ(QueryHostVersion(FourCC("PrMr")), 0x0600000Au);
  EXPECT_EQ(VersionInfoSizeQueries(), 1);
}

TEST_F(HostIdentityQuery, KeysOfAGroup) {
  SetExecutableVersionData(Build(HostLayout("Adobe Illustrator", "5.51")));
  EXPECT_EQ(QueryHostVersion(FourCC("ART3")), 0x0551000Au);
  EXPECT_EQ(QueryHostVersion(FourCC("ARTY")), 0x0551000Au);
  EXPECT_EQ(QueryHostVersion(FourCC("ART5")), 0x0551000Au);
  EXPECT_EQ(QueryHostVersion(FourCC("ALD5")), 0u);
}

TEST_F(HostIdentityQuery, OsCodeAndMissingFixedInfo) {
  Layout layout = HostLayout("Photoshp", "6.02");
  layout.fileOS = testres::kVosNTWindows32;
  HostIdentity id = Identify(Build(layout));
  EXPECT_EQ(id.signature, FourCC("8BIM"));
  EXPECT_EQ(id.osCode, 12);
  EXPECT_EQ(id.fix, 2);
  layout.fileOS = testres::kVosWindows16;
  EXPECT_EQ(Identify(Build(layout)).osCode, 11);

  // Without fixed file information a recognised host still answers 0.
  layout.fixedInfo = false;
  id = Identify(Build(layout));
  EXPECT_EQ(id.signature, FourCC("8BIM"));
  EXPECT_EQ(id.osCode, 0);
  SetExecutableVersionData(Build(layout));
  EXPECT_EQ(QueryHostVersion(FourCC("8BIM")), 0u);
}

TEST_F(HostIdentityQuery, StringTableFromTranslationOrDefaultPath) {
  Layout layout = HostLayout("PM65", "6.5");
  layout.language = 0x0411;
  layout.codePage = 0x03A4;
  layout.table = "041103a4";
  EXPECT_EQ(Identify(Build(layout)).signature, FourCC("AD65"));

  // No Translation: \StringFileInfo\04090000\ is used.
  layout.translation = false;
  EXPECT_EQ(Identify(Build(layout)).signature, 0u);
  layout.table = "04090000";
  const HostIdentity id = Identify(Build(layout));
  EXPECT_EQ(id.signature, FourCC("AD65"));
  EXPECT_EQ(id.minor, 5);

  // InternalName present but no FileVersion: the signature stays, version 0.0.0.
  Layout noVersion;
  noVersion.strings = {{"InternalName", "PM6"}};
  const HostIdentity partial = Identify(Build(noVersion));
  EXPECT_EQ(partial.signature, FourCC("ALD6"));
  EXPECT_EQ(partial.major, 0);
}

TEST_F(HostIdentityQuery, RawSearchWhenThePathIsMissing) {
  // A 16-bit resource whose table does not match the default path.
  Layout layout = HostLayout("Adobe Premiere", "6.10");
  layout.wide = false;
  layout.translation = false;
  layout.table = "040904E4";
  layout.fileOS = testres::kVosWindows16;
  const HostIdentity id = Identify(Build(layout));
  EXPECT_EQ(id.signature, FourCC("PrMr"));
  EXPECT_EQ(id.major, 6);
  EXPECT_EQ(id.minor, 1);
  EXPECT_EQ(id.osCode, 11);

  // The same data cut right after the InternalName key: the value is empty.
  std::vector<uint8> bytes = Build(layout);
  const std::string text(bytes.begin(), bytes.end());
  const std::size_t key = text.find(std::string("InternalName\0", 13));
  ASSERT_NE(key, std::string::npos);
  bytes.resize(key + 13);
  const HostIdentity cut = Identify(bytes);
  EXPECT_EQ(cut.signature, 0u);
  EXPECT_EQ(cut.minor, 1); // FileVersion came before the cut
}

TEST_F(HostIdentityQuery, OversizedResourceAndMemoryFailure) {
  std::vector<uint8> bytes = CompiledPremiereResource();
  bytes.resize(32767);
  EXPECT_EQ(Identify(bytes).signature, FourCC("PrMr"));
  bytes.resize(32768); // a signed 16-bit size: not read
  EXPECT_EQ(Identify(bytes).signature, 0u);

  SetExecutableVersionData(CompiledPremiereResource());
  const long liveBefore = LiveSystemMemoryBlocks();
  FailSystemMemoryAfter(0);
  HostIdentity id{FourCC("8BIM"), 1, 2, 3, 4};
  EXPECT_EQ(IdentifyHost(&id), memFullErr);
  EXPECT_EQ(id.signature, 0u);
  EXPECT_EQ(QueryHostVersion(FourCC("PrMr")), 0u);
  EXPECT_TRUE(hostIdentificationAttempted);
  EXPECT_EQ(LiveSystemMemoryBlocks(), liveBefore);
}

TEST_F(HostIdentityQuery, NewRecordIsExcludedOnlyInTheExcludedHost) {
  SetExecutableVersionData(CompiledPremiereResource());
  {
    SimulatedHost host;
    ASSERT_EQ(host.Call(filterSelectorParameters), noErr);
    EXPECT_EQ(GetParameters(&host.record)->hostExcluded, 1);
  }
  ResetHostIdentification();
  SetExecutableVersionData(Build(HostLayout("Photoshp", "6.0")));
  SimulatedHost host;
  ASSERT_EQ(host.Call(filterSelectorParameters), noErr);
  EXPECT_EQ(GetParameters(&host.record)->hostExcluded, 0);
  dialogRequested = false;
}

TEST_F(HostIdentityQuery, NoFileNameLeavesTheHostUnidentified) {
  SetExecutableVersionData(CompiledPremiereResource());
  SetExecutableFileName("");
  EXPECT_EQ(Identify(CompiledPremiereResource()).signature, 0u);
}

} // namespace
