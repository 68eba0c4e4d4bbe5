#include "host/VersionData.h"

#include <cstring>

namespace {

uint16 ReadWord(const uint8* p) {
  return static_cast<uint16>(p[0] | (p[1] << 8));
}

std::size_t AlignFour(std::size_t offset) {
  return (offset + 3) & ~std::size_t{3};
}

// One block of a version resource, as offsets into the data.
struct Block {
  std::size_t end;           // one past the block, never beyond its parent
  std::size_t keyStart;      // first character of the key
  std::size_t valueStart;    // the value, inside the block
  std::size_t valueSize;     // in bytes, cut at the block's end
  std::size_t childrenStart; // the first child block
  bool text;
};

// Reads the block at start, which must end by limit. A block states its length,
// its value's length (characters for 32-bit text, bytes otherwise), for the
// 32-bit kind a type word, then its zero-terminated key; the value and the
// children each start at the next multiple of four.
bool ReadBlock(const uint8* data, std::size_t start, std::size_t limit, bool wide, Block* block) {
  const std::size_t header = wide ? 6 : 4;
  if (start > limit || limit - start < header) return false;
  const std::size_t length = ReadWord(data + start);
  const std::size_t valueLength = ReadWord(data + start + 2);
  if (length < header) return false;
  // A stated length beyond the parent is cut to it, so that nothing outside is read.
  block->end = (length > limit - start) ? limit : start + length;
  block->text = wide && ReadWord(data + start + 4) == 1;
  block->keyStart = start + header;

  std::size_t keyEnd = block->keyStart;
  const std::size_t unit = wide ? 2 : 1;
  for (;;) {
    if (block->end - keyEnd < unit) return false; // key without its zero
    const bool zero = wide ? ReadWord(data + keyEnd) == 0 : data[keyEnd] == 0;
    keyEnd += unit;
    if (zero) break;
  }
  block->valueStart = AlignFour(keyEnd);
  if (block->valueStart > block->end) block->valueStart = block->end;
  const std::size_t wanted = block->text ? valueLength * 2 : valueLength;
  block->valueSize =
      wanted < block->end - block->valueStart ? wanted : block->end - block->valueStart;
  block->childrenStart = AlignFour(block->valueStart + block->valueSize);
  return true;
}

// Whether the block's key is the path component (length characters), letters
// compared without regard to case.
bool KeyIs(const uint8* data, const Block& block, bool wide, const char* component,
           std::size_t length) {
  const std::size_t unit = wide ? 2 : 1;
  std::size_t at = block.keyStart;
  for (std::size_t i = 0; i <= length; ++i, at += unit) {
    if (block.end - at < unit) return false;
    const unsigned c = wide ? ReadWord(data + at) : data[at];
    const unsigned want = i < length ? static_cast<unsigned char>(component[i]) : 0u;
    if (FoldLetter(c) != FoldLetter(want)) return false;
  }
  return true;
}

} // namespace

bool FindVersionBlock(const uint8* data, std::size_t size, const char* path,
                      VersionBlockValue* value) {
  if (data == nullptr || path == nullptr || size < 6) return false;
  // The 16-bit kind has its key's first character where the 32-bit kind has the
  // low byte of its type word (0 or 1).
  const bool wide = data[4] < ' ';
  Block block{};
  if (!ReadBlock(data, 0, size, wide, &block)) return false;

  const char* p = path;
  while (*p != '\0') {
    if (*p == '\\') {
      ++p;
      continue;
    }
    const char* componentEnd = std::strchr(p, '\\');
    const std::size_t length = componentEnd ? std::size_t(componentEnd - p) : std::strlen(p);
    bool found = false;
    std::size_t child = block.childrenStart;
    Block candidate{};
    while (child < block.end && ReadBlock(data, child, block.end, wide, &candidate)) {
      if (KeyIs(data, candidate, wide, p, length)) {
        found = true;
        break;
      }
      child = AlignFour(candidate.end);
    }
    if (!found) return false;
    block = candidate;
    p += length;
  }
  value->bytes = ByteSpan{data + block.valueStart, block.valueSize};
  value->text = block.text;
  value->wide = wide;
  return true;
}

bool RawSearchValue(const uint8* data, std::size_t size, const char* key, std::size_t valueOffset,
                    ByteSpan* value) {
  const std::size_t keyLength = std::strlen(key);
  if (data == nullptr || keyLength == 0 || size <= keyLength) return false;
  // i + keyLength is the key's zero byte, which must lie inside the data.
  for (std::size_t i = 0; i + keyLength < size; ++i) {
    if (data[i + keyLength] != 0) continue;
    std::size_t k = 0;
    while (k < keyLength &&
           FoldLetter(data[i + k]) == FoldLetter(static_cast<unsigned char>(key[k])))
      ++k;
    if (k != keyLength) continue;

    std::size_t start = i + valueOffset;
    if (start < size && data[start] == 0) start += 2;
    if (start >= size) {
      *value = ByteSpan{data + size, 0}; // the key ends the data: an empty value
      return true;
    }
    std::size_t end = start;
    while (end < size && data[end] != 0)
      ++end;
    *value = ByteSpan{data + start, end - start};
    return true;
  }
  return false;
}

bool BuildStringTablePath(uint32 translation, const char* name, char* path, std::size_t capacity) {
  static const char kPrefix[] = "\\StringFileInfo\\";
  char hex[9];
  std::size_t digits = 0;
  uint32 rest = translation;
  do {
    hex[digits++] = "0123456789abcdef"[rest & 0xF];
    rest >>= 4;
  } while (rest != 0);

  const std::size_t nameLength = std::strlen(name);
  const bool leadingZero = (translation >> 28) == 0;
  const std::size_t total =
      (sizeof kPrefix - 1) + (leadingZero ? 1 : 0) + digits + 1 + nameLength + 1;
  if (capacity == 0) return false;
  if (total > capacity) {
    path[0] = '\0';
    return false;
  }
  char* out = path;
  std::memcpy(out, kPrefix, sizeof kPrefix - 1);
  out += sizeof kPrefix - 1;
  if (leadingZero) *out++ = '0';
  while (digits > 0)
    *out++ = hex[--digits];
  *out++ = '\\';
  std::memcpy(out, name, nameLength + 1);
  return true;
}

bool ParseVersionNumber(const char* text, std::size_t length, int32* value, int* digits) {
  *value = 0;
  *digits = 0;
  std::size_t i = 0;
  while (i < length && text[i] == ' ')
    ++i;
  bool negative = false;
  if (i < length && text[i] == '-') {
    negative = true;
    ++i;
    while (i < length && text[i] == ' ')
      ++i;
  }
  int count = 0;
  int32 magnitude = 0;
  while (i < length && text[i] >= '0' && text[i] <= '9') {
    if (count < 9) magnitude = magnitude * 10 + (text[i] - '0');
    ++count;
    ++i;
  }
  while (i < length && text[i] == ' ')
    ++i;
  if (count == 0 || i != length) return false;
  if (count > 9) magnitude = 2147483647;
  *value = negative ? -magnitude : magnitude;
  *digits = count;
  return true;
}

void ParseFileVersion(const char* value, std::size_t length, HostIdentity* identity) {
  // The value is copied into a length-counted string of at most 254 characters.
  char text[kFileVersionMaxLength];
  std::size_t n = 0;
  while (n < length && n < kFileVersionMaxLength && value[n] != '\0') {
    text[n] = value[n];
    ++n;
  }

  std::size_t separator = n;
  for (std::size_t i = n; i > 0; --i) {
    if (text[i - 1] == '.' || text[i - 1] == ',') {
      separator = i - 1;
      break;
    }
  }
  const std::size_t headLength = separator;
  const char* tail = separator < n ? text + separator + 1 : text + n;
  const std::size_t tailLength = separator < n ? n - separator - 1 : 0;

  int32 head = 0;
  int headDigits = 0;
  ParseVersionNumber(text, headLength, &head, &headDigits);
  int32 v = 0;
  int d = 0;
  ParseVersionNumber(tail, tailLength, &v, &d);

  int32 minor = 0;
  int32 fix = 0;
  if (v > 9) {
    minor = v / 10;
    fix = v % 10;
  } else if (d > 1) {
    fix = v; // a tail such as 05 is the third number
  } else {
    minor = v;
  }
  identity->major = static_cast<uint8>(static_cast<uint32>(head) & 0xFF);
  identity->minor = static_cast<uint8>(static_cast<uint32>(minor) & 0xFF);
  identity->fix = static_cast<uint8>(static_cast<uint32>(fix) & 0xFF);
}
