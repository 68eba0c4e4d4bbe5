#include "VersionBlock.h"

#include <cctype>

namespace {

std::size_t Align4(std::size_t at) {
  return (at + 3) & ~std::size_t(3);
}

uint16_t U16(const uint8_t* data, std::size_t at) {
  return uint16_t(data[at] | (data[at + 1] << 8));
}

bool ParseNode(const uint8_t* data, std::size_t limit, std::size_t at, VersionNode& node) {
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

} // namespace

bool FindVersionNode(const uint8_t* data, std::size_t limit, const std::string& path,
                     VersionNode& node) {
  if (!ParseNode(data, limit, 0, node)) return false;
  std::string rest = path;
  while (!rest.empty()) {
    const std::size_t slash = rest.find('\\');
    const std::string part = rest.substr(0, slash);
    rest = slash == std::string::npos ? "" : rest.substr(slash + 1);
    if (part.empty()) continue;
    bool found = false;
    for (std::size_t at = node.childrenAt; at < node.end && !found;) {
      VersionNode child;
      if (!ParseNode(data, node.end, at, child)) return false;
      if (SameKey(child.key, part)) {
        node = child;
        found = true;
      }
      at = Align4(child.end);
    }
    if (!found) return false;
  }
  return true;
}
