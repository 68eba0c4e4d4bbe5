// VERSION: the host executable's version resource, served from the block given
// on the command line (none otherwise). As on Windows, the size asked for is
// twice the block plus four bytes: the A functions keep their converted texts
// in the second half. Malformed trees are read as Windows and Wine read them
// (VersionBlock.h), so that host identification goes the same way.
#include <algorithm>
#include <cstring>

#include "StandIns.h"
#include "Utf16.h"
#include "VersionBlock.h"

namespace {

constexpr uint32_t kErrorResourceTypeNotFound = 1813;

uint16_t U16(const uint8_t* data, std::size_t at) {
  return uint16_t(data[at] | (data[at + 1] << 8));
}

std::size_t BlockLength() {
  const std::vector<uint8_t>& block = World().versionResource;
  if (block.size() < 2) return 0;
  return std::min<std::size_t>(U16(block.data(), 0), block.size());
}

bool Serves(const char* file) {
  if (!World().haveVersion || file == nullptr || World().hostPath != file || BlockLength() == 0) {
    SetLastErrorValue(kErrorResourceTypeNotFound);
    return false;
  }
  return true;
}

DWORD WINAPI GetFileVersionInfoSizeAStandIn(const char* file, DWORD* handle) {
  if (handle != nullptr) *handle = 0;
  if (!Serves(file)) return 0;
  return DWORD(2 * BlockLength() + 4);
}

BOOL WINAPI GetFileVersionInfoAStandIn(const char* file, DWORD, DWORD size, void* data) {
  if (!Serves(file) || data == nullptr) return 0;
  const std::size_t length = BlockLength(), total = 2 * length + 4;
  auto* out = static_cast<uint8_t*>(data);
  std::memset(out, 0, std::min<std::size_t>(size, total));
  std::memcpy(out, World().versionResource.data(), std::min<std::size_t>(size, length));
  if (size >= length + 4) std::memcpy(out + length, "FE2X", 4);
  return 1;
}

BOOL WINAPI VerQueryValueAStandIn(const void* block, const char* path, void** value, UINT* length) {
  if (block == nullptr || path == nullptr || value == nullptr || length == nullptr) return 0;
  auto* data = static_cast<uint8_t*>(const_cast<void*>(block));
  // The block as GetFileVersionInfoA copied it: no node reaches past its length.
  const std::size_t limit = std::min<std::size_t>(U16(data, 0), BlockLength());
  VersionNode node;
  if (!FindVersionNode(data, limit, path, node)) return 0;
  if (node.type == 0) {
    *value = data + node.valueAt;
    *length = node.valueLength;
    return 1;
  }
  // A text: converted into the second half, at the same distance from its start;
  // an empty one is found, with nothing converted.
  char* ansi = reinterpret_cast<char*>(data + limit + 4 + node.valueAt);
  *value = ansi;
  *length = 0;
  if (node.valueLength == 0) return 1;
  std::vector<uint16_t> units(node.valueLength);
  std::memcpy(units.data(), data + node.valueAt, 2 * units.size());
  std::string text = Utf8FromUtf16(units.data(), units.size());
  text = text.substr(0, text.find('\0'));
  const std::size_t fit = Utf8Fit(text, 2 * std::size_t(node.valueLength) - 1);
  std::memcpy(ansi, text.data(), fit);
  ansi[fit] = '\0';
  *length = node.valueLength;
  return 1;
}

} // namespace

const StandIn kVersionStandIns[] = {
    {"GetFileVersionInfoA", reinterpret_cast<void*>(&GetFileVersionInfoAStandIn)},
    {"GetFileVersionInfoSizeA", reinterpret_cast<void*>(&GetFileVersionInfoSizeAStandIn)},
    {"VerQueryValueA", reinterpret_cast<void*>(&VerQueryValueAStandIn)},
    {nullptr, nullptr},
};
