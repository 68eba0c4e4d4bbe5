// Reading a Windows executable file (PE32 or PE32+) as bytes: its headers, the
// section that holds a relative address, and its resources. Every offset is
// checked against the file, so a damaged file gives an error and never a read
// outside the bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PeSection {
  uint32_t virtualAddress = 0;
  uint32_t virtualSize = 0;
  uint32_t rawOffset = 0;
  uint32_t rawSize = 0;
};

// A resource type or name: a number, or a string such as "PIPL".
struct ResourceKey {
  uint16_t id = 0;
  std::string name; // used when not empty
};

class PeFile {
public:
  // Parses the headers of bytes; false with a reason.
  bool Parse(std::vector<uint8_t> bytes, std::string& error);

  bool Is32() const { return is32_; }
  uint16_t Machine() const { return machine_; }
  uint32_t ImageBase() const { return imageBase_; }
  uint32_t SizeOfImage() const { return sizeOfImage_; }
  uint32_t SizeOfHeaders() const { return sizeOfHeaders_; }
  uint32_t EntryPoint() const { return entryPoint_; }
  // Relative address and size of data directory index (0 exports, 1 imports,
  // 2 resources, 5 base relocations, 9 thread-local storage); 0,0 when absent.
  uint32_t DirectoryAddress(int index) const;
  uint32_t DirectorySize(int index) const;
  const std::vector<PeSection>& Sections() const { return sections_; }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

  // The resource of the given type and name (name id 0 with an empty name: the
  // first one of the type); false when the file has none.
  bool ReadResource(const ResourceKey& type, const ResourceKey& name,
                    std::vector<uint8_t>& data) const;

private:
  // File offset of `size` bytes at relative address rva; false when they do not
  // lie within one section's stored bytes (or the headers).
  bool RvaToOffset(uint32_t rva, uint32_t size, uint32_t& offset) const;
  bool FindEntry(uint32_t directory, const ResourceKey& key, uint32_t& target) const;

  std::vector<uint8_t> bytes_;
  std::vector<PeSection> sections_;
  bool is32_ = false;
  uint16_t machine_ = 0;
  uint32_t imageBase_ = 0, sizeOfImage_ = 0, sizeOfHeaders_ = 0, entryPoint_ = 0;
  std::vector<uint32_t> directories_; // address, size pairs
};

// Little-endian reads from a byte vector; false when the bytes are not there.
bool ReadU16(const std::vector<uint8_t>& bytes, std::size_t at, uint16_t& value);
bool ReadU32(const std::vector<uint8_t>& bytes, std::size_t at, uint32_t& value);
