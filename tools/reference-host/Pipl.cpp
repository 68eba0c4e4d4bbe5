#include "Pipl.h"

#include <cstring>

#include "Trace.h"
#include "sdk/PITypes.h"

namespace {

uint32_t ReadU32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

} // namespace

const PiplProperty* PiplInfo::Find(uint32_t key) const {
  for (const auto& property : properties) {
    if (property.key == key) return &property;
  }
  return nullptr;
}

uint32_t PiplInfo::Kind() const {
  const PiplProperty* kind = Find(0x6B696E64); // 'kind'
  if (kind == nullptr || kind->data.size() < 4) return 0;
  return ReadU32(kind->data.data());
}

std::string PiplInfo::CString(uint32_t key) const {
  const PiplProperty* property = Find(key);
  if (property == nullptr) return {};
  std::string text(property->data.begin(), property->data.end());
  return text.substr(0, text.find('\0'));
}

std::string PiplInfo::PString(uint32_t key) const {
  const PiplProperty* property = Find(key);
  if (property == nullptr || property->data.empty()) return {};
  std::size_t length = property->data[0];
  if (length + 1 > property->data.size()) length = property->data.size() - 1;
  return std::string(property->data.begin() + 1, property->data.begin() + 1 + long(length));
}

bool ParsePipl(const uint8_t* bytes, std::size_t size, PiplInfo& info, std::string& error) {
  info.properties.clear();
  if (size < 10) {
    error = "property list shorter than its 10-byte header";
    return false;
  }
  if (bytes[0] != 1 || bytes[1] != 0) {
    error = "property list does not start with the reserved word 1";
    return false;
  }
  uint32_t version = ReadU32(bytes + 2);
  if (version != 0) {
    error = "property list version " + std::to_string(version) + ", expected 0";
    return false;
  }
  uint32_t count = ReadU32(bytes + 6);
  std::size_t offset = 10;
  for (uint32_t i = 0; i < count; ++i) {
    if (size - offset < 16) {
      error = "property " + std::to_string(i) + " runs past the end of the list";
      return false;
    }
    PiplProperty property;
    property.vendor = ReadU32(bytes + offset);
    property.key = ReadU32(bytes + offset + 4);
    uint32_t length = ReadU32(bytes + offset + 12);
    offset += 16;
    if (length > size - offset) {
      error = "property '" + FourCCText(property.key) + "' claims " + std::to_string(length) +
              " bytes, more than the list holds";
      return false;
    }
    property.data.assign(bytes + offset, bytes + offset + length);
    // Lengths may or may not count the padding to four bytes: always round up.
    std::size_t padded = (std::size_t(length) + 3) & ~std::size_t(3);
    offset += padded < size - offset ? padded : size - offset;
    info.properties.push_back(std::move(property));
  }
  return true;
}

std::string FourCCText(uint32_t code) {
  std::string text(4, '?');
  for (int i = 0; i < 4; ++i) {
    char c = char((code >> (24 - 8 * i)) & 0xFF);
    if (c >= 0x20 && c < 0x7F) text[std::size_t(i)] = c;
  }
  return text;
}

bool ParseFourCC(const std::string& text, uint32_t& code) {
  if (text.size() != 4) return false;
  code = 0;
  for (char c : text)
    code = (code << 8) | uint8_t(c);
  return true;
}

bool FilterEntryName(const PiplInfo& info, uint32_t entryKey, const std::string& path,
                     std::string& entry, std::string& error) {
  const uint32_t kindFilter = FourCC("8BFM");
  const uint32_t entryX64 = FourCC("8664"), entryX86 = FourCC("wx86");
  const uint32_t name = FourCC("name"), category = FourCC("catg");
  uint32_t kind = info.Kind();
  std::string x64 = info.CString(entryX64);
  std::string x86 = info.CString(entryX86);
  HostTrace().Line(
      "pipl kind='%s' name=\"%s\" category=\"%s\" 8664=\"%s\" wx86=\"%s\" properties=%zu",
      FourCCText(kind).c_str(), info.PString(name).c_str(), info.PString(category).c_str(),
      x64.c_str(), x86.c_str(), info.properties.size());
  if (kind != kindFilter) {
    error = path + ": plug-in kind '" + FourCCText(kind) + "', not a filter ('8BFM')";
    return false;
  }
  entry = info.CString(entryKey);
  if (entry.empty()) {
    // Each key names the hosts it is for; the message says which the file has.
    const uint32_t entryArm64 = FourCC("wa64");
    const auto hosts = [&](uint32_t key) {
      return key == entryX64 ? "64-bit" : key == entryArm64 ? "ARM64" : "32-bit";
    };
    std::string other;
    for (uint32_t key : {entryX64, entryX86, entryArm64}) {
      if (key != entryKey && other.empty() && !info.CString(key).empty())
        other =
            " (it is a " + std::string(hosts(key)) + " plug-in, entry '" + info.CString(key) + "')";
    }
    error = path + ": no '" + FourCCText(entryKey) + "' entry for " + hosts(entryKey) + " hosts" +
            other;
    return false;
  }
  return true;
}
