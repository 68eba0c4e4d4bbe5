// Host identification on arbitrary version data: the block walker, the raw key
// search, host name matching and FileVersion parsing, each on bytes that end
// exactly where the input ends, and then the whole identification through the
// native stand-in of the operating system's version calls.
#include <cstdlib>
#include <vector>

#include "host/HostIdentity.h"
#include "host/HostVersionNative.h"
#include "host/VersionData.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool Inside(const ByteSpan& span, const uint8_t* data, size_t size) {
  if (span.size == 0) return true;
  return span.data >= data && span.data + span.size <= data + size;
}

const char* AsText(const ByteSpan& span) {
  return reinterpret_cast<const char*>(span.data);
}

void CheckIdentity(const HostIdentity& identity) {
  Check(identity.osCode == 0 || identity.osCode == 10 || identity.osCode == 11 ||
        identity.osCode == 12);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The raw search on the data itself: anything it finds lies inside the data.
  ByteSpan value{};
  HostIdentity identity{};
  if (RawSearchValue(data, size, "InternalName", kInternalNameValueOffset, &value)) {
    Check(Inside(value, data, size));
    MatchHostName(AsText(value), value.size);
  }
  if (RawSearchValue(data, size, "FileVersion", kFileVersionValueOffset, &value)) {
    Check(Inside(value, data, size));
    ParseFileVersion(AsText(value), value.size, &identity);
  }

  // The bytes as a name and as a version text.
  const char* text = reinterpret_cast<const char*>(data);
  const OSType signature = MatchHostName(text, size);
  if (signature != 0) Check(FindHostKey(signature) >= 0);
  ParseFileVersion(text, size, &identity);
  int32 number = 0;
  int digits = 0;
  if (!ParseVersionNumber(text, size, &number, &digits)) Check(number == 0 && digits == 0);

  // The block walker along the paths that identification queries.
  uint32 translation = size >= 4 ? uint32(data[0]) | uint32(data[1]) << 8 | uint32(data[2]) << 16 |
                                       uint32(data[3]) << 24
                                 : 0x04090000;
  char path[kStringTablePathCapacity];
  const char* fixedPaths[] = {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo"};
  VersionBlockValue block{};
  for (const char* p : fixedPaths) {
    if (FindVersionBlock(data, size, p, &block)) Check(Inside(block.bytes, data, size));
  }
  for (const char* name : {"InternalName", "FileVersion"}) {
    if (BuildStringTablePath(translation, name, path, sizeof path) &&
        FindVersionBlock(data, size, path, &block)) {
      Check(Inside(block.bytes, data, size));
    }
  }

  // The whole identification, as the plug-in runs it once per process.
  ResetHostIdentification();
  SetExecutableFileName("host.exe");
  SetExecutableVersionData(std::vector<uint8>(data, data + size));
  const uint32 excluded = QueryHostVersion(FourCC("PrMr"));
  CheckIdentity(hostIdentity);
  Check(hostIdentificationAttempted);
  if (excluded != 0) Check(hostIdentity.signature == FourCC("PrMr"));
  const uint32 photoshop = QueryHostVersion(FourCC("8BIM"));
  if (photoshop != 0) Check(photoshop == PackHostVersion(hostIdentity));
  Check(VersionInfoSizeQueries() == 1); // identified once, not per query
  return 0;
}
