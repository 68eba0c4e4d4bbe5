// Reads a plug-in property list (the "PIPL" resource of a .8bf) without running
// the plug-in: its kind, name, category and the entry point for each architecture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PiplProperty {
  uint32_t vendor = 0;
  uint32_t key = 0;
  std::vector<uint8_t> data;
};

struct PiplInfo {
  std::vector<PiplProperty> properties;

  const PiplProperty* Find(uint32_t key) const;
  // The 'kind' code ('8BFM' for a filter), 0 when absent.
  uint32_t Kind() const;
  // A C string property such as '8664' or 'wx86' ("" when absent).
  std::string CString(uint32_t key) const;
  // A Pascal string property such as 'name' or 'catg' ("" when absent).
  std::string PString(uint32_t key) const;
};

// Parses the Windows form of the list (a reserved word 1, version 0, count, then
// the properties). Returns false with a reason in error when the bytes are not a
// well-formed list.
bool ParsePipl(const uint8_t* bytes, std::size_t size, PiplInfo& info, std::string& error);

// "8BFM" for FourCC 0x3842464D; unprintable bytes become '?'.
std::string FourCCText(uint32_t code);
// The inverse; false unless text holds exactly four characters.
bool ParseFourCC(const std::string& text, uint32_t& code);

// Checks that the list describes a filter ('8BFM') with an entry point for the
// architecture key ('8664' for 64-bit hosts, 'wx86' for 32-bit ones) and gives
// its name; traces what the list says. False with a message naming path.
bool FilterEntryName(const PiplInfo& info, uint32_t entryKey, const std::string& path,
                     std::string& entry, std::string& error);
