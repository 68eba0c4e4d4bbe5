// VERSION: the host executable's version resource, served from the block given
// on the command line (none otherwise). As on Windows, the size asked for is
// twice the block plus four bytes: the A functions keep their converted texts
// in the second half.
#include <cstring>

#include "StandIns.h"
#include "Utf16.h"

namespace {

constexpr uint32_t kErrorResourceTypeNotFound = 1813;

// One node of the version block: length, value length, type, key, value, children.
struct Node {
  std::size_t at = 0, end = 0, valueAt = 0, childrenAt = 0;
  uint16_t valueLength = 0, type = 0;
  std::string key;
};

std::size_t Align4(std::size_t at) {
  return (at + 3) & ~std::size_t(3);
}

uint16_t U16(const uint8_t* data, std::size_t at) {
  return uint16_t(data[at] | (data[at + 1] << 8));
}

bool ParseNode(const uint8_t* data, std::size_t limit, std::size_t at, Node& node) {
  if (at + 6 > limit) return false;
  const uint16_t length = U16(data, at);
  if (length < 6 || at + length > limit) return false;
  node.at = at;
  node.end = at + length;
  node.valueLength = U16(data, at + 2);
  node.type = U16(data, at + 4);
  node.key.clear();
  std::size_t key = at + 6;
  for (; key + 2 <= node.end && U16(data, key) != 0; key += 2)
    node.key += char(U16(data, key) & 0x7F);
  node.valueAt = Align4(key + 2);
  const std::size_t valueBytes =
      node.type == 1 ? 2 * std::size_t(node.valueLength) : node.valueLength;
  if (node.valueAt + valueBytes > node.end) return false;
  node.childrenAt = Align4(node.valueAt + valueBytes);
  return true;
}

bool SameKey(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(uint8_t(a[i])) != std::tolower(uint8_t(b[i]))) return false;
  }
  return true;
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
  const std::size_t limit = U16(data, 0);
  Node node;
  if (!ParseNode(data, limit, 0, node)) return 0;
  std::string rest = path;
  while (!rest.empty()) {
    const std::size_t slash = rest.find('\\');
    const std::string part = rest.substr(0, slash);
    rest = slash == std::string::npos ? "" : rest.substr(slash + 1);
    if (part.empty()) continue;
    bool found = false;
    for (std::size_t at = node.childrenAt; at < node.end && !found;) {
      Node child;
      if (!ParseNode(data, node.end, at, child)) return 0;
      if (SameKey(child.key, part)) {
        node = child;
        found = true;
      }
      at = Align4(child.end);
    }
    if (!found) return 0;
  }
  if (node.valueLength == 0) return 0;
  if (node.type != 1) {
    *value = data + node.valueAt;
    *length = node.valueLength;
    return 1;
  }
  // A text: converted into the second half, at the same distance from its start.
  std::vector<uint16_t> units(node.valueLength);
  std::memcpy(units.data(), data + node.valueAt, 2 * units.size());
  std::string text = Utf8FromUtf16(units.data(), units.size());
  text = text.substr(0, text.find('\0'));
  char* ansi = reinterpret_cast<char*>(data + limit + 4 + node.valueAt);
  const std::size_t fit = Utf8Fit(text, 2 * std::size_t(node.valueLength) - 1);
  std::memcpy(ansi, text.data(), fit);
  ansi[fit] = '\0';
  *value = ansi;
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
