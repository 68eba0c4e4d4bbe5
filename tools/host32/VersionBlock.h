// The tree of a version resource (VS_VERSIONINFO): nodes of length, value length,
// type, UTF-16 key, value and children, each on a 4-byte boundary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct VersionNode {
  std::size_t at = 0, end = 0, valueAt = 0, childrenAt = 0;
  uint16_t valueLength = 0; // characters for a text (any type but 0), bytes otherwise
  uint16_t type = 0;
  std::string key; // ASCII
};

// The node at path within the first limit bytes of data: "\\" (or "") is the root,
// then keys separated by backslashes, compared without regard to case. The tree
// is walked as the VERSION functions of Windows and Wine walk it (lengths that
// disagree with a node's key, value or parent are followed as they stand), but
// nothing at or past the limit is read: false when a key is missing or a node's
// key or value reaches the limit. A found node's end is held to the limit.
bool FindVersionNode(const uint8_t* data, std::size_t limit, const std::string& path,
                     VersionNode& node);
