#include "VersionBlock.h"

#include <algorithm>
#include <cctype>

namespace {

std::size_t Align4(std::size_t at) {
  return (at + 3) & ~std::size_t(3);
}

uint16_t U16(const uint8_t* data, std::size_t at) {
  return uint16_t(data[at] | (data[at + 1] << 8));
}

// A node as the VERSION functions of Windows and Wine read it: its key runs to
// its terminator and its value follows, wherever its length says the node
// ends; only the limit bounds what is read. A value of any type but 0 is a text.
bool ParseNode(const uint8_t* data, std::size_t limit, std::size_t at, VersionNode& node) {
  if (at + 6 > limit) return false;
  const uint16_t length = U16(data, at);
  node.at = at;
  node.end = std::min(at + length, limit);
  node.valueLength = U16(data, at + 2);
  node.type = U16(data, at + 4);
  node.key.clear();
  std::size_t key = at + 6;
  for (; key + 2 <= limit && U16(data, key) != 0; key += 2)
    node.key += char(U16(data, key) & 0x7F);
  if (key + 2 > limit) return false;
  node.valueAt = Align4(key + 2);
  const std::size_t valueBytes =
      node.type != 0 ? 2 * std::size_t(node.valueLength) : node.valueLength;
  if (node.valueAt + valueBytes > limit) return false;
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
    // The children follow one another while they start inside the node; a
    // child of length 0 ends the search.
    bool found = false;
    for (std::size_t at = node.childrenAt; at < node.end && !found;) {
      VersionNode child;
      if (!ParseNode(data, limit, at, child)) return false;
      if (SameKey(child.key, part)) {
        node = child;
        found = true;
      } else if (child.end == child.at) {
        return false;
      }
      at = child.at + Align4(U16(data, child.at));
    }
    if (!found) return false;
  }
  return true;
}
