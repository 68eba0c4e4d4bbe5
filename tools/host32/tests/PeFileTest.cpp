// The emulated host reads resources from files it did not build: the lookup must
// find named and numbered entries in 32- and 64-bit files, and a damaged file
// must give "no resource", never a read outside its bytes (the asan preset runs
// these cases under AddressSanitizer).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "PeFile.h"
#include "Utf16.h"

namespace {

constexpr uint32_t kSectionRva = 0x1000, kSectionRaw = 0x200;

void Put16(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
void Put32(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

// A directory at `at` (relative to the section) with entries {name or id, target}.
struct Entry {
  uint32_t name; // an id, or (with the high bit) the offset of a counted UTF-16 name
  uint32_t target;
};
void Directory(std::vector<uint8_t>& b, uint32_t at, uint16_t named, std::vector<Entry> entries) {
  Put16(b, kSectionRaw + at + 12, named);
  Put16(b, kSectionRaw + at + 14, uint16_t(entries.size() - named));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    Put32(b, kSectionRaw + at + 16 + 8 * i, entries[i].name);
    Put32(b, kSectionRaw + at + 20 + 8 * i, entries[i].target);
  }
}

// A library with two resources: type "PIPL" name 16000 ("pipl") and type 6
// names 1 ("one") and 1001 ("thousand-and-one").
std::vector<uint8_t> MakeLibrary(bool pe32) {
  std::vector<uint8_t> b(kSectionRaw + 0x200, 0);
  b[0] = 'M';
  b[1] = 'Z';
  Put32(b, 0x3C, 0x40);
  Put32(b, 0x40, 0x00004550);
  const std::size_t file = 0x44, optional = file + 20;
  const uint16_t optionalSize = pe32 ? 224 : 240;
  Put16(b, file, pe32 ? 0x14C : 0x8664);
  Put16(b, file + 2, 1);
  Put16(b, file + 16, optionalSize);
  Put16(b, optional, pe32 ? 0x10B : 0x20B);
  Put32(b, optional + 56, 0x2000); // SizeOfImage
  Put32(b, optional + 60, 0x200);  // SizeOfHeaders
  const std::size_t directories = optional + (pe32 ? 96 : 112);
  Put32(b, directories - 4, 16);
  Put32(b, directories + 16, kSectionRva); // resources
  Put32(b, directories + 20, 0x200);
  const std::size_t section = optional + optionalSize;
  Put32(b, section + 8, 0x200);
  Put32(b, section + 12, kSectionRva);
  Put32(b, section + 16, 0x200);
  Put32(b, section + 20, kSectionRaw);
  const uint32_t sub = 0x80000000u;
  Directory(b, 0x000, 1, {{sub | 0x1C0, sub | 0x020}, {6, sub | 0x040}});
  Directory(b, 0x020, 0, {{16000, sub | 0x070}});
  Directory(b, 0x040, 0, {{1, sub | 0x090}, {1001, sub | 0x0B0}});
  Directory(b, 0x070, 0, {{0x409, 0x100}});
  Directory(b, 0x090, 0, {{0x409, 0x110}});
  Directory(b, 0x0B0, 0, {{0x409, 0x120}});
  const char* texts[] = {"pipl", "one", "thousand-and-one"};
  for (uint32_t i = 0; i < 3; ++i) {
    Put32(b, kSectionRaw + 0x100 + 16 * i, kSectionRva + 0x140 + 0x10 * i * 2);
    Put32(b, kSectionRaw + 0x104 + 16 * i, uint32_t(std::strlen(texts[i])));
    std::memcpy(&b[kSectionRaw + 0x140 + 0x20 * i], texts[i], std::strlen(texts[i]));
  }
  Put16(b, kSectionRaw + 0x1C0, 4);
  for (int i = 0; i < 4; ++i)
    Put16(b, kSectionRaw + 0x1C2 + 2 * i, uint8_t("PIPL"[i]));
  return b;
}

std::string Resource(const PeFile& file, ResourceKey type, ResourceKey name) {
  std::vector<uint8_t> data;
  if (!file.ReadResource(type, name, data)) return "<none>";
  return std::string(data.begin(), data.end());
}

TEST(PeFile, FindsNamedAndNumberedResourcesIn32And64BitFiles) {
  for (bool pe32 : {true, false}) {
    PeFile file;
    std::string error;
    ASSERT_TRUE(file.Parse(MakeLibrary(pe32), error)) << error;
    EXPECT_EQ(file.Is32(), pe32);
    EXPECT_EQ(Resource(file, {0, "PIPL"}, {16000, {}}), "pipl");
    EXPECT_EQ(Resource(file, {0, "PIPL"}, {}), "pipl");
    EXPECT_EQ(Resource(file, {6, {}}, {1001, {}}), "thousand-and-one");
    EXPECT_EQ(Resource(file, {6, {}}, {}), "one"); // the first of the type
    EXPECT_EQ(Resource(file, {0, "PIP"}, {}), "<none>");
    EXPECT_EQ(Resource(file, {0, "PIPLX"}, {}), "<none>");
    EXPECT_EQ(Resource(file, {6, {}}, {2, {}}), "<none>");
    EXPECT_EQ(Resource(file, {16, {}}, {}), "<none>");
  }
}

TEST(PeFile, RefusesFilesThatAreNotExecutables) {
  std::string error;
  PeFile file;
  EXPECT_FALSE(file.Parse({}, error));
  std::vector<uint8_t> bytes = MakeLibrary(true);
  bytes[0x40] = 'X'; // no PE signature
  EXPECT_FALSE(file.Parse(bytes, error));
  bytes = MakeLibrary(true);
  Put32(bytes, 0x3C, 0xFFFFFFF0u); // header offset beyond the file
  EXPECT_FALSE(file.Parse(bytes, error));
}

uint32_t Get32(const std::vector<uint8_t>& b, std::size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

// Whether some resource data entry in the file's resource section (address and size,
// wherever a damaged tree may have led the lookup) names exactly these bytes: the
// resource must come from the offset that its entry gives, through the file's own
// section table (or in the headers), not merely match a run of bytes found anywhere.
bool NamedByADataEntry(const PeFile& file, const std::vector<uint8_t>& bytes,
                       const std::vector<uint8_t>& data) {
  for (std::size_t entry = kSectionRaw; entry + 8 <= bytes.size(); ++entry) {
    const uint32_t rva = Get32(bytes, entry), size = Get32(bytes, entry + 4);
    if (size != data.size()) continue;
    // An address in the headers is its own file offset.
    if (rva < file.SizeOfHeaders() && rva + std::size_t(size) <= bytes.size() &&
        std::equal(data.begin(), data.end(), bytes.begin() + long(rva)))
      return true;
    for (const PeSection& s : file.Sections()) {
      if (rva < s.virtualAddress || rva - s.virtualAddress >= s.rawSize) continue;
      const std::size_t at = std::size_t(rva - s.virtualAddress) + s.rawOffset;
      if (at + size <= bytes.size() &&
          std::equal(data.begin(), data.end(), bytes.begin() + long(at)))
        return true;
    }
  }
  return false;
}

// Every shortened file and every byte of the headers and the resource tree set to
// 0xFF, 0x00 or 0x80: parsing and lookups give "no resource" or bytes that the file
// holds, never anything from outside it (AddressSanitizer sees any read past it).
// A resource found must be the bytes that one of the file's data entries names; a
// file cut before the end of a resource's data cannot give that resource.
TEST(PeFile, DamagedFilesNeverReadOutsideTheirBytes) {
  const std::vector<uint8_t> good = MakeLibrary(true);
  constexpr std::size_t kPiplEnd = kSectionRaw + 0x140 + 4; // where "pipl" ends
  int parsed = 0, found = 0;
  // Looks both resources up in bytes; counts what parsed and what was found.
  auto probe = [&](const std::vector<uint8_t>& bytes, const std::string& what) {
    PeFile file;
    std::string error;
    if (!file.Parse(bytes, error)) return;
    ++parsed;
    for (const auto& [type, name] : {std::pair<ResourceKey, ResourceKey>{{0, "PIPL"}, {16000, {}}},
                                     std::pair<ResourceKey, ResourceKey>{{6, {}}, {}}}) {
      std::vector<uint8_t> data;
      if (!file.ReadResource(type, name, data)) continue;
      ++found;
      EXPECT_LE(data.size(), bytes.size()) << what;
      if (!data.empty()) {
        EXPECT_TRUE(NamedByADataEntry(file, bytes, data))
            << what << ": the resource's bytes are not the ones a data entry of the file names";
      }
    }
  };
  for (std::size_t length = 0; length < good.size(); ++length) {
    const std::vector<uint8_t> cut(good.begin(), good.begin() + long(length));
    probe(cut, "cut to " + std::to_string(length));
    if (length < kPiplEnd) {
      PeFile file;
      std::string error;
      std::vector<uint8_t> data;
      EXPECT_FALSE(file.Parse(cut, error) && file.ReadResource({0, "PIPL"}, {16000, {}}, data))
          << "cut to " << length << " still gives the resource that lies past its end";
    }
  }
  for (std::size_t at = 0; at < good.size(); ++at) {
    if (at >= 0x180 && at < kSectionRaw) continue; // zero padding of the headers
    for (uint8_t value : {uint8_t(0xFF), uint8_t(0x00), uint8_t(0x80)}) {
      std::vector<uint8_t> bytes = good;
      bytes[at] = value;
      probe(bytes, "byte " + std::to_string(at) + " set to " + std::to_string(value));
    }
  }
  // The damage reached the lookups: many files still parsed and gave resources.
  EXPECT_GT(parsed, 100);
  EXPECT_GT(found, 100);
}

TEST(Utf16, ConvertsPairsAndReplacesLoneSurrogates) {
  const uint16_t text[] = {'T', 0x30D0, 0xD83D, 0xDE00, 0xDC00, 'x', 0xD800};
  EXPECT_EQ(Utf8FromUtf16(text, 7), "T\xE3\x83\x90\xF0\x9F\x98\x80\xEF\xBF\xBDx\xEF\xBF\xBD");
}

TEST(Utf16, FitsTextWithoutCuttingACharacter) {
  const std::string text = "ab\xE3\x83\x90z"; // a, b, a three-byte character, z
  EXPECT_EQ(Utf8Fit(text, 10), text.size());
  EXPECT_EQ(Utf8Fit(text, 5), 5u);
  EXPECT_EQ(Utf8Fit(text, 4), 2u);
  EXPECT_EQ(Utf8Fit(text, 3), 2u);
  EXPECT_EQ(Utf8Fit(text, 0), 0u);
}

} // namespace
