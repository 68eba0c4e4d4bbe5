#include "host/HostIdentity.h"

#include "host/HostVersion.h"
#include "host/SystemMemory.h"
#include "host/VersionData.h"

HostIdentity hostIdentity{};
bool hostIdentificationAttempted = false;

namespace {

struct HostNameRow {
  const char* internalName;
  OSType signature;
};

// Tried in order; the first row that the InternalName value matches wins.
constexpr HostNameRow kHostNames[] = {
    {"CorelDrw", FourCC("Cdrw")},
    {"PhotoPnt", FourCC("Mprn")},
    {"DeBabelizer Pro", FourCC("BABL")},
    {"Adobe After Effects", FourCC("FXTC")},
    {"Adobe Illustrator", FourCC("ART5")},
    {"PM5", FourCC("ALD5")},
    {"PM6", FourCC("ALD6")},
    {"PM65", FourCC("AD65")},
    {"PhotoDeluxe", FourCC("PHUT")},
    {"Photoshp", FourCC("8BIM")},
    {"Adobe Premiere", FourCC("PrMr")},
};

// Keys in groups, each ended by 0: a key stands for the entries from its own
// position to the end of its group.
constexpr OSType kHostKeys[] = {
    FourCC("Cdrw"),
    0,
    FourCC("Mprn"),
    0,
    FourCC("BABL"),
    0,
    FourCC("FXTC"),
    0,
    FourCC("ART3"),
    FourCC("ARTZ"),
    FourCC("ARTY"),
    FourCC("ART5"),
    0,
    FourCC("ALD5"),
    FourCC("ALD6"),
    FourCC("AD65"),
    0,
    FourCC("PHUT"),
    0,
    FourCC("8BIM"),
    0,
    FourCC("PrMr"),
    0,
};
constexpr int kHostKeyCount = int(sizeof kHostKeys / sizeof kHostKeys[0]);
static_assert(kHostKeyCount == 23);

// dwFileOS values of the fixed file information.
constexpr uint32 kFileOSNT = 0x00040000;        // VOS_NT
constexpr uint32 kFileOSWindows16 = 0x00000001; // VOS__WINDOWS16
// dwFileOS lies at this offset of VS_FIXEDFILEINFO.
constexpr uint32 kFileOSOffset = 32;

// The executable's file name: a 256-byte buffer holding at most 255 characters.
constexpr uint32 kFileNameCapacity = 256;
// The version data's size is a signed 16-bit count: larger resources are not read.
constexpr uint32 kMaxVersionDataSize = 0x7FFF;
// Language 0x0409 with code page 0, used when the resource has no Translation.
constexpr uint32 kDefaultTranslation = 0x04090000;

uint32 ReadLong(const uint8* p) {
  return uint32(p[0]) | uint32(p[1]) << 8 | uint32(p[2]) << 16 | uint32(p[3]) << 24;
}

// Asks the operating system for a block's value; the answer is a span that
// lies inside the value the query returned.
bool QueryValue(const uint8* data, uint32 size, const char* path, ByteSpan* value) {
  const void* address = nullptr;
  uint32 length = 0;
  if (!QueryVersionValue(data, size, path, &address, &length) || address == nullptr) return false;
  *value = ByteSpan{static_cast<const uint8*>(address), length};
  return true;
}

const char* AsText(const ByteSpan& span) {
  return reinterpret_cast<const char*>(span.data);
}

void IdentifyFromVersionData(const uint8* data, uint32 size, HostIdentity* identity) {
  ByteSpan value{};
  if (QueryValue(data, size, "\\", &value) && value.size >= kFileOSOffset + 4) {
    identity->osCode = OsCodeFromFileOS(ReadLong(value.data + kFileOSOffset));
  }

  uint32 translation = kDefaultTranslation;
  if (QueryValue(data, size, "\\VarFileInfo\\Translation", &value) && value.size >= 4) {
    const uint32 language = uint32(value.data[0]) | uint32(value.data[1]) << 8;
    const uint32 codePage = uint32(value.data[2]) | uint32(value.data[3]) << 8;
    translation = language << 16 | codePage;
  }

  char path[kStringTablePathCapacity];
  if (BuildStringTablePath(translation, "InternalName", path, sizeof path) &&
      QueryValue(data, size, path, &value)) {
    identity->signature = MatchHostName(AsText(value), value.size);
    if (!BuildStringTablePath(translation, "FileVersion", path, sizeof path) ||
        !QueryValue(data, size, path, &value)) {
      return;
    }
    ParseFileVersion(AsText(value), value.size, identity);
    return;
  }

  // No string table under the computed path: search the raw data for the keys.
  if (RawSearchValue(data, size, "InternalName", kInternalNameValueOffset, &value)) {
    identity->signature = MatchHostName(AsText(value), value.size);
  }
  if (RawSearchValue(data, size, "FileVersion", kFileVersionValueOffset, &value)) {
    ParseFileVersion(AsText(value), value.size, identity);
  }
}

} // namespace

OSType MatchHostName(const char* value, std::size_t length) {
  if (value == nullptr || length == 0 || value[0] == '\0') return 0;
  for (const HostNameRow& row : kHostNames) {
    std::size_t i = 0;
    // The value must end (zero byte or end of data) within the row's name.
    while (i < length && value[i] != '\0' && row.internalName[i] != '\0' &&
           FoldLetter(static_cast<unsigned char>(value[i])) ==
               FoldLetter(static_cast<unsigned char>(row.internalName[i])))
      ++i;
    const bool valueEnded = i == length || value[i] == '\0';
    if (valueEnded) return row.signature;
  }
  return 0;
}

uint8 OsCodeFromFileOS(uint32 fileOS) {
  if (fileOS == kFileOSNT) return 10;
  if (fileOS == kFileOSWindows16) return 11;
  return 12;
}

uint32 PackHostVersion(const HostIdentity& identity) {
  return uint32(identity.major) << 24 | uint32(identity.minor) << 20 | uint32(identity.fix) << 16 |
         uint32(identity.osCode);
}

int FindHostKey(OSType key) {
  if (key == 0) return -1;
  for (int i = 0; i < kHostKeyCount; ++i) {
    if (kHostKeys[i] == key) return i;
  }
  return -1;
}

bool HostKeyCovers(int position, OSType signature) {
  if (position < 0 || signature == 0) return false;
  for (int i = position; i < kHostKeyCount && kHostKeys[i] != 0; ++i) {
    if (kHostKeys[i] == signature) return true;
  }
  return false;
}

int16 IdentifyHost(HostIdentity* identity) {
  *identity = HostIdentity{};

  char fileName[kFileNameCapacity] = {};
  if (!GetExecutableFileName(fileName, kFileNameCapacity)) return noErr;

  const uint32 size = GetVersionInfoSize(fileName);
  if (size == 0 || size > kMaxVersionDataSize) return noErr;

  // One byte more than the data, zero-filled.
  auto* data = static_cast<uint8*>(AllocateLockedSystemMemory(size + 1));
  if (data == nullptr) return memFullErr;
  if (ReadVersionInfo(fileName, size, data)) IdentifyFromVersionData(data, size, identity);
  FreeLockedSystemMemory(data);
  return noErr;
}

uint32 QueryHostVersion(OSType key) {
  const int position = FindHostKey(key);
  if (position < 0) return 0;
  if (!hostIdentificationAttempted) {
    if (IdentifyHost(&hostIdentity) != noErr) hostIdentity = HostIdentity{};
    hostIdentificationAttempted = true;
  }
  if (hostIdentity.signature == 0 || hostIdentity.osCode == 0) return 0;
  if (!HostKeyCovers(position, hostIdentity.signature)) return 0;
  return PackHostVersion(hostIdentity);
}
