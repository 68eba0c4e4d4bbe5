// The in-memory scripting descriptor that the host hands to a plug-in at Start and
// takes back after Finish, its text form (handle contents and files) and the read
// and write suites over it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sdk/DescriptorProcs.h"

struct DescriptorItem {
  uint32_t key = 0;
  uint32_t type = 0; // typeInteger, typeFloat, typeUnitFloat, typeBoolean, typeEnumerated,
                     // 'TEXT', 'type' (class), 'alis', 'Objc' (object)
  int32_t integer = 0;
  double number = 0;  // float and unit float
  uint32_t unit = 0;  // unit float: unit; enumerated: enumeration type; class and object: class
  uint32_t value = 0; // enumerated: the value
  bool boolean = false;
  std::string text; // text, alias bytes, or an object's descriptor in text form
};

struct Descriptor {
  std::vector<DescriptorItem> items;

  // Replaces an item with the same key, or appends.
  void Put(const DescriptorItem& item);
  const DescriptorItem* Find(uint32_t key) const;
};

// One item per line: 'Amnt' 'UntF' '#Prc' 42.5 / 'disP' 'enum' 'mooD' 'moD1' /
// 'entI' 'bool' true / 'Cnt ' 'long' 3 / 'Flt ' 'doub' 0.5 / 'Nm  ' 'TEXT' "text" /
// 'Cls ' 'type' 'Lyr ' / 'Als ' 'alis' "bytes" / 'Obj ' 'Objc' 'Cls ' "nested text".
// A code with a byte outside printable ASCII is written '\xNN\xNN\xNN\xNN'.
std::string DescriptorToText(const Descriptor& descriptor);
bool DescriptorFromText(const std::string& text, Descriptor& descriptor, std::string& error);
// 'abcd' for a code of printable characters; otherwise all four bytes escaped as
// '\xNN\xNN\xNN\xNN', so that no code is written as another.
std::string Quote4(uint32_t code);
// The integer that a number read for typeInteger stands for: whole and within
// +-2147483647, or refused.
bool IntegerValue(double number, int32_t& value);

// A JSON array of {"key", "type", "unit"/"enumType"/"class", "value"} objects, one
// per line (DescriptorJson.cpp). Codes are strings of four characters, one per byte
// (U+0000 to U+00FF). Texts are strings when their bytes are UTF-8, otherwise
// arrays of the byte values. Numbers that JSON cannot hold are the strings "nan",
// "inf" and "-inf". Anything else is refused with the object and the key named.
std::string DescriptorToJson(const Descriptor& descriptor);
bool DescriptorFromJson(const std::string& text, Descriptor& descriptor, std::string& error);

// Files: JSON when the name ends in ".json", otherwise the text form.
bool LoadDescriptorFile(const std::string& path, Descriptor& descriptor, std::string& error);
bool SaveDescriptorFile(const std::string& path, const Descriptor& descriptor, std::string& error);

// The suites (read: 18 procedures, write: 16), version 0. Descriptor handles are
// handles of the host's handle suite holding the text form.
ReadDescriptorProcs* DescriptorReadProcs();
WriteDescriptorProcs* DescriptorWriteProcs();
// A new handle holding the descriptor, or null when it cannot be allocated.
Handle NewDescriptorHandle(const Descriptor& descriptor);
bool ReadDescriptorHandle(Handle handle, Descriptor& descriptor, std::string& error);
// Readers and writers that the plug-in opened and never closed.
int OpenDescriptorTokens();
