// Version resources for host identification tests: a builder that writes
// VS_VERSIONINFO bytes in the layout resource compilers produce (32-bit kind with
// UTF-16 keys, or the 16-bit kind with narrow keys), and a buffer that ends at a
// page that cannot be read, so that a read past the data faults.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "sdk/PITypes.h"

namespace testres {

constexpr uint32 kVosNT = 0x00040000;
constexpr uint32 kVosWindows16 = 0x00000001;
constexpr uint32 kVosNTWindows32 = 0x00040004;

struct Node {
  std::string key;
  std::vector<uint8> value;
  bool text = false;
  std::vector<Node> children;
};

inline void PutWord(std::vector<uint8>& out, std::size_t at, std::size_t v) {
  out[at] = uint8(v & 0xFF);
  out[at + 1] = uint8((v >> 8) & 0xFF);
}
inline void Pad(std::vector<uint8>& out) {
  while (out.size() % 4 != 0)
    out.push_back(0);
}

inline void Write(const Node& node, bool wide, std::vector<uint8>& out) {
  Pad(out);
  const std::size_t start = out.size();
  out.resize(out.size() + (wide ? 6 : 4), 0);
  if (wide) PutWord(out, start + 4, node.text ? 1 : 0);
  for (char c : node.key) {
    out.push_back(uint8(c));
    if (wide) out.push_back(0);
  }
  out.push_back(0);
  if (wide) out.push_back(0);
  Pad(out);
  std::size_t valueLength = node.value.size();
  if (wide && node.text) {
    for (uint8 c : node.value) {
      out.push_back(c);
      out.push_back(0);
    }
    valueLength = node.value.size(); // characters, zero included
  } else {
    out.insert(out.end(), node.value.begin(), node.value.end());
  }
  for (const Node& child : node.children)
    Write(child, wide, out);
  PutWord(out, start, out.size() - start);
  PutWord(out, start + 2, valueLength);
}

inline Node Text(const std::string& key, const std::string& value) {
  Node n{key, std::vector<uint8>(value.begin(), value.end()), true, {}};
  n.value.push_back(0);
  return n;
}

inline std::vector<uint8> FixedInfo(uint32 fileOS) {
  std::vector<uint8> v(52, 0);
  const uint32 words[] = {0xFEEF04BD, 0x00010000, 0, 0, 0, 0, 0x3F, 0, fileOS, 1};
  for (std::size_t i = 0; i < sizeof words / sizeof words[0]; ++i)
    for (int b = 0; b < 4; ++b)
      v[i * 4 + std::size_t(b)] = uint8(words[i] >> (8 * b));
  return v;
}

struct Layout {
  bool wide = true;
  bool fixedInfo = true;
  uint32 fileOS = kVosNT;
  bool translation = true;
  uint16 language = 0x0409;
  uint16 codePage = 0x04B0;
  std::string table = "040904b0";
  std::vector<std::pair<std::string, std::string>> strings;
};

inline std::vector<uint8> Build(const Layout& layout) {
  Node root{"VS_VERSION_INFO",
            layout.fixedInfo ? FixedInfo(layout.fileOS) : std::vector<uint8>{},
            false,
            {}};
  Node table{layout.table, {}, true, {}};
  for (const auto& [key, value] : layout.strings)
    table.children.push_back(Text(key, value));
  root.children.push_back(Node{"StringFileInfo", {}, true, {table}});
  if (layout.translation) {
    Node translation{"Translation",
                     {uint8(layout.language), uint8(layout.language >> 8), uint8(layout.codePage),
                      uint8(layout.codePage >> 8)},
                     false,
                     {}};
    root.children.push_back(Node{"VarFileInfo", {}, true, {translation}});
  }
  std::vector<uint8> out;
  Write(root, layout.wide, out);
  return out;
}

inline Layout HostLayout(const std::string& internalName, const std::string& fileVersion) {
  Layout s;
  s.strings = {{"CompanyName", "Wimble"},
               {"FileVersion", fileVersion},
               {"InternalName", internalName},
               {"ProductName", internalName}};
  return s;
}

// Bytes placed so that the byte after the last one lies on a page without access.
class GuardedBytes {
public:
  explicit GuardedBytes(const std::vector<uint8>& bytes) {
    page_ = std::size_t(sysconf(_SC_PAGESIZE));
    const std::size_t dataPages = (bytes.size() + page_ - 1) / page_ + 1;
    length_ = (dataPages + 1) * page_;
    base_ = static_cast<uint8*>(
        mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    mprotect(base_ + dataPages * page_, page_, PROT_NONE);
    data_ = base_ + dataPages * page_ - bytes.size();
    if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
    size_ = bytes.size();
  }
  ~GuardedBytes() { munmap(base_, length_); }
  GuardedBytes(const GuardedBytes&) = delete;
  GuardedBytes& operator=(const GuardedBytes&) = delete;
  const uint8* data() const { return data_; }
  std::size_t size() const { return size_; }

private:
  uint8* base_ = nullptr;
  uint8* data_ = nullptr;
  std::size_t page_ = 0, length_ = 0, size_ = 0;
};

} // namespace testres
