// Reading a Windows version resource (VS_VERSIONINFO) as plain bytes: the block
// walker behind the native stand-in of VerQueryValue, the raw key search that host
// identification falls back on, the string table path and FileVersion parsing.
#pragma once

#include <cstddef>

#include "host/HostIdentity.h"

// An ASCII lower-case letter in upper case, any other character as it is: names
// and keys in version data compare without regard to case.
constexpr unsigned FoldLetter(unsigned c) {
  return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c;
}

// A run of bytes that lies inside the data it was found in.
struct ByteSpan {
  const uint8* data;
  std::size_t size;
};

// The value of a version resource block.
struct VersionBlockValue {
  ByteSpan bytes; // the value's bytes as stored in the resource
  bool text;      // the value is text
  bool wide;      // the resource is the 32-bit kind, whose texts are UTF-16LE
};

// Finds the block that a path such as "\StringFileInfo\040904b0\InternalName"
// names ("\" is the root block) in size bytes of version resource; keys are
// compared without regard to case. Handles the 32-bit (UTF-16 keys) and the
// 16-bit (narrow keys) resource kinds. Never reads outside the data.
bool FindVersionBlock(const uint8* data, std::size_t size, const char* path,
                      VersionBlockValue* value);

// Offsets of a value from the first character of its key in the raw search.
constexpr std::size_t kInternalNameValueOffset = 14;
constexpr std::size_t kFileVersionValueOffset = 12;

// Looks in size bytes for the first place where the key's text (letters A to Z
// without regard to case) is followed by a zero byte. Found: true and the value
// that starts valueOffset bytes after the key's first character (two bytes later
// when the byte there is zero) and runs to its zero byte. The value is cut at the
// end of the data and is empty when it would start beyond it.
bool RawSearchValue(const uint8* data, std::size_t size, const char* key, std::size_t valueOffset,
                    ByteSpan* value);

// Room for the longest string table path plus a name such as "InternalName".
constexpr std::size_t kStringTablePathCapacity = 64;

// Writes "\StringFileInfo\" + ("0" when the top four bits of the translation are
// zero) + the translation in lowercase hexadecimal without leading zeros + "\" +
// name. False (and an empty path) when it does not fit.
bool BuildStringTablePath(uint32 translation, const char* name, char* path, std::size_t capacity);

// FileVersion values are cut to this many characters before parsing.
constexpr std::size_t kFileVersionMaxLength = 254;

// Sets major, minor and fix from a FileVersion value (read up to its zero byte,
// at most length bytes); the other fields are left alone.
void ParseFileVersion(const char* value, std::size_t length, HostIdentity* identity);

// Parses optional spaces, an optional '-' (spaces may follow), at least one
// digit and optional trailing spaces, nothing else. More than nine digits give
// 2147483647 before the sign. False (value 0, digits 0) when the text is not
// such a number; otherwise digits is the number of digits read.
bool ParseVersionNumber(const char* text, std::size_t length, int32* value, int* digits);
