// The tree of a version resource (VS_VERSIONINFO): nodes of length, value length,
// type, UTF-16 key, value and children, each on a 4-byte boundary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct VersionNode {
  std::size_t at = 0, end = 0, valueAt = 0, childrenAt = 0;
  uint16_t valueLength = 0; // characters for a text (type 1), bytes otherwise
  uint16_t type = 0;
  std::string key; // ASCII
};

// The node at path within the first limit bytes of data: "\" (or "") is the root,
// then keys separated by backslashes, compared without regard to case. False when
// a key is missing or a node's lengths reach past its parent or the limit.
bool FindVersionNode(const uint8_t* data, std::size_t limit, const std::string& path,
                     VersionNode& node);
