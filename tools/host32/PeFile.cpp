#include "PeFile.h"

namespace {

constexpr uint32_t kNamedEntry = 0x80000000u;
constexpr uint32_t kSubdirectory = 0x80000000u;
constexpr int kMaxDirectories = 16;

bool Within(const std::vector<uint8_t>& bytes, std::size_t at, std::size_t size) {
  return at <= bytes.size() && size <= bytes.size() - at;
}

} // namespace

bool ReadU16(const std::vector<uint8_t>& bytes, std::size_t at, uint16_t& value) {
  if (!Within(bytes, at, 2)) return false;
  value = uint16_t(bytes[at] | (bytes[at + 1] << 8));
  return true;
}

bool ReadU32(const std::vector<uint8_t>& bytes, std::size_t at, uint32_t& value) {
  if (!Within(bytes, at, 4)) return false;
  value = uint32_t(bytes[at]) | (uint32_t(bytes[at + 1]) << 8) | (uint32_t(bytes[at + 2]) << 16) |
          (uint32_t(bytes[at + 3]) << 24);
  return true;
}

bool PeFile::Parse(std::vector<uint8_t> bytes, std::string& error) {
  bytes_ = std::move(bytes);
  sections_.clear();
  directories_.clear();
  uint16_t mz = 0;
  uint32_t pe = 0, signature = 0;
  if (!ReadU16(bytes_, 0, mz) || mz != 0x5A4D || !ReadU32(bytes_, 0x3C, pe) ||
      !ReadU32(bytes_, pe, signature) || signature != 0x00004550) {
    error = "not a Windows executable (no MZ and PE headers)";
    return false;
  }
  const std::size_t fileHeader = std::size_t(pe) + 4;
  uint16_t sectionCount = 0, optionalSize = 0, magic = 0;
  if (!ReadU16(bytes_, fileHeader, machine_) || !ReadU16(bytes_, fileHeader + 2, sectionCount) ||
      !ReadU16(bytes_, fileHeader + 16, optionalSize) || !ReadU16(bytes_, fileHeader + 20, magic)) {
    error = "truncated PE header";
    return false;
  }
  const std::size_t optional = fileHeader + 20;
  if (magic != 0x10B && magic != 0x20B) {
    error = "unknown optional header magic";
    return false;
  }
  is32_ = magic == 0x10B;
  uint32_t directoryCount = 0;
  const std::size_t directoriesAt = optional + (is32_ ? 96 : 112);
  bool ok = ReadU32(bytes_, optional + 16, entryPoint_) &&
            ReadU32(bytes_, optional + 56, sizeOfImage_) &&
            ReadU32(bytes_, optional + 60, sizeOfHeaders_) &&
            ReadU32(bytes_, directoriesAt - 4, directoryCount);
  if (is32_) ok = ok && ReadU32(bytes_, optional + 28, imageBase_);
  if (!ok || directoriesAt + 8 * std::size_t(directoryCount) > optional + optionalSize) {
    error = "truncated optional header";
    return false;
  }
  for (uint32_t i = 0; i < directoryCount && i < kMaxDirectories; ++i) {
    uint32_t address = 0, size = 0;
    if (!ReadU32(bytes_, directoriesAt + 8 * i, address) ||
        !ReadU32(bytes_, directoriesAt + 8 * i + 4, size)) {
      error = "truncated data directories";
      return false;
    }
    directories_.push_back(address);
    directories_.push_back(size);
  }
  const std::size_t table = optional + optionalSize;
  for (uint16_t i = 0; i < sectionCount; ++i) {
    PeSection s;
    const std::size_t at = table + 40 * std::size_t(i);
    if (!ReadU32(bytes_, at + 8, s.virtualSize) || !ReadU32(bytes_, at + 12, s.virtualAddress) ||
        !ReadU32(bytes_, at + 16, s.rawSize) || !ReadU32(bytes_, at + 20, s.rawOffset)) {
      error = "truncated section table";
      return false;
    }
    if (s.rawSize != 0 && !Within(bytes_, s.rawOffset, s.rawSize)) {
      error = "a section's bytes lie beyond the end of the file";
      return false;
    }
    sections_.push_back(s);
  }
  return true;
}

uint32_t PeFile::DirectoryAddress(int index) const {
  std::size_t at = 2 * std::size_t(index);
  return at < directories_.size() ? directories_[at] : 0;
}

uint32_t PeFile::DirectorySize(int index) const {
  std::size_t at = 2 * std::size_t(index) + 1;
  return at < directories_.size() ? directories_[at] : 0;
}

bool PeFile::RvaToOffset(uint32_t rva, uint32_t size, uint32_t& offset) const {
  for (const PeSection& s : sections_) {
    if (rva >= s.virtualAddress && rva - s.virtualAddress < s.rawSize &&
        size <= s.rawSize - (rva - s.virtualAddress)) {
      offset = s.rawOffset + (rva - s.virtualAddress);
      return true;
    }
  }
  if (rva < sizeOfHeaders_ && size <= sizeOfHeaders_ - rva && Within(bytes_, rva, size)) {
    offset = rva;
    return true;
  }
  return false;
}

// Finds key among the entries of the resource directory at offset `directory`
// (relative to the resource section); target is the entry's data or subdirectory
// offset with its flag bit.
bool PeFile::FindEntry(uint32_t directory, const ResourceKey& key, uint32_t& target) const {
  const uint32_t base = DirectoryAddress(2);
  uint32_t at = 0;
  uint16_t named = 0, numbered = 0;
  if (!RvaToOffset(base + directory, 16, at) || !ReadU16(bytes_, at + 12, named) ||
      !ReadU16(bytes_, at + 14, numbered))
    return false;
  const bool first = key.name.empty() && key.id == 0;
  for (uint32_t i = 0; i < uint32_t(named) + numbered; ++i) {
    uint32_t nameField = 0, offset = 0;
    if (!ReadU32(bytes_, at + 16 + 8 * i, nameField) ||
        !ReadU32(bytes_, at + 16 + 8 * i + 4, offset))
      return false;
    bool match = first;
    if (!match && (nameField & kNamedEntry) && !key.name.empty()) {
      uint32_t nameAt = 0;
      uint16_t length = 0;
      if (!RvaToOffset(base + (nameField & ~kNamedEntry), 2, nameAt) ||
          !ReadU16(bytes_, nameAt, length))
        return false;
      if (length == key.name.size()) {
        match = true;
        for (uint16_t c = 0; c < length && match; ++c) {
          uint16_t unit = 0;
          match = ReadU16(bytes_, nameAt + 2 + 2 * std::size_t(c), unit) &&
                  unit == uint8_t(key.name[c]);
        }
      }
    } else if (!match && !(nameField & kNamedEntry) && key.name.empty()) {
      match = nameField == key.id;
    }
    if (match) {
      target = offset;
      return true;
    }
  }
  return false;
}

bool PeFile::ReadResource(const ResourceKey& type, const ResourceKey& name,
                          std::vector<uint8_t>& data) const {
  if (DirectoryAddress(2) == 0) return false;
  uint32_t typeDir = 0, nameDir = 0, languageEntry = 0;
  if (!FindEntry(0, type, typeDir) || !(typeDir & kSubdirectory)) return false;
  if (!FindEntry(typeDir & ~kSubdirectory, name, nameDir) || !(nameDir & kSubdirectory))
    return false;
  if (!FindEntry(nameDir & ~kSubdirectory, ResourceKey{}, languageEntry) ||
      (languageEntry & kSubdirectory))
    return false;
  uint32_t entryAt = 0, rva = 0, size = 0, dataAt = 0;
  if (!RvaToOffset(DirectoryAddress(2) + languageEntry, 16, entryAt) ||
      !ReadU32(bytes_, entryAt, rva) || !ReadU32(bytes_, entryAt + 4, size) ||
      !RvaToOffset(rva, size, dataAt))
    return false;
  data.assign(bytes_.begin() + long(dataAt), bytes_.begin() + long(dataAt + size));
  return true;
}
