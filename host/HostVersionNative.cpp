#include "host/HostVersionNative.h"

#include <cstring>
#include <string>

#include "host/HostIdentity.h"
#include "host/HostVersion.h"
#include "host/VersionData.h"

namespace {
std::vector<uint8> versionData;
std::string fileName = "host.exe";
int sizeQueries = 0;
std::string narrowText; // the last text value, converted like VerQueryValueA does
} // namespace

void SetExecutableVersionData(std::vector<uint8> bytes) {
  versionData = std::move(bytes);
}
void SetExecutableFileName(const char* name) {
  fileName = name;
}
int VersionInfoSizeQueries() {
  return sizeQueries;
}
void ResetHostIdentification() {
  hostIdentity = HostIdentity{};
  hostIdentificationAttempted = false;
  sizeQueries = 0;
}

bool GetExecutableFileName(char* buffer, uint32 capacity) {
  if (fileName.empty() || fileName.size() + 1 > capacity) return false;
  std::memcpy(buffer, fileName.c_str(), fileName.size() + 1);
  return true;
}

uint32 GetVersionInfoSize(const char* name) {
  ++sizeQueries;
  if (fileName != name) return 0;
  return static_cast<uint32>(versionData.size());
}

bool ReadVersionInfo(const char* name, uint32 size, void* data) {
  if (fileName != name || versionData.empty()) return false;
  const std::size_t n = size < versionData.size() ? size : versionData.size();
  std::memcpy(data, versionData.data(), n);
  return true;
}

bool QueryVersionValue(const void* data, uint32 size, const char* path, const void** value,
                       uint32* length) {
  VersionBlockValue block{};
  if (!FindVersionBlock(static_cast<const uint8*>(data), size, path, &block)) return false;
  if (!(block.text && block.wide)) {
    *value = block.bytes.data;
    *length = static_cast<uint32>(block.bytes.size);
    return true;
  }
  // UTF-16 text comes back narrow, with its length in characters; characters
  // outside ASCII become '?' (enough for the names and versions tested here).
  narrowText.clear();
  for (std::size_t i = 0; i + 1 < block.bytes.size; i += 2) {
    const unsigned c = block.bytes.data[i] | block.bytes.data[i + 1] << 8;
    narrowText.push_back(c < 0x80 ? char(c) : '?');
  }
  *value = narrowText.c_str();
  *length = static_cast<uint32>(narrowText.size());
  return true;
}
