#include "CodePages.h"

#include <string>

#include "Utf16.h"

namespace {

bool IsUtf8(uint32_t codePage) {
  return codePage == kCodePageUtf8 || codePage == 0 /* CP_ACP */ ||
         codePage == 3 /* CP_THREAD_ACP */;
}

// Decodes one UTF-8 sequence at text[i]; false for a malformed or overlong one,
// a surrogate or a value beyond U+10FFFF.
bool DecodeUtf8(const uint8_t* text, std::size_t size, std::size_t& i, uint32_t& c) {
  const uint8_t lead = text[i];
  std::size_t more = 0;
  uint32_t least = 0;
  if (lead < 0x80) {
    c = lead;
  } else if ((lead & 0xE0) == 0xC0) {
    c = lead & 0x1F, more = 1, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    c = lead & 0x0F, more = 2, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    c = lead & 0x07, more = 3, least = 0x10000;
  } else {
    return false;
  }
  for (std::size_t k = 1; k <= more; ++k) {
    if (i + k >= size || (text[i + k] & 0xC0) != 0x80) return false;
    c = (c << 6) | (text[i + k] & 0x3F);
  }
  if (more > 0 && (c < least || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000))) return false;
  i += more + 1;
  return true;
}

} // namespace

bool MultiByteToUtf16(uint32_t codePage, const char* text, int count, std::vector<uint16_t>& out,
                      uint32_t& error) {
  const bool utf8 = IsUtf8(codePage);
  const auto* bytes = reinterpret_cast<const uint8_t*>(text);
  const std::size_t size =
      count < 0 ? std::char_traits<char>::length(text) + 1 : std::size_t(count);
  out.clear();
  for (std::size_t i = 0; i < size;) {
    uint32_t c = 0;
    if (utf8 ? !DecodeUtf8(bytes, size, i, c) : bytes[i] >= 0x80) {
      error = kErrorNoUnicodeTranslation;
      return false;
    }
    if (!utf8) c = bytes[i++];
    if (c >= 0x10000) {
      out.push_back(uint16_t(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(uint16_t(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(uint16_t(c));
    }
  }
  return true;
}

bool Utf16ToMultiByte(uint32_t codePage, const uint16_t* text, int count, std::string& out,
                      uint32_t& error) {
  const bool utf8 = IsUtf8(codePage);
  std::size_t size = 0;
  if (count < 0) {
    while (text[size] != 0)
      ++size;
    ++size;
  } else {
    size = std::size_t(count);
  }
  for (std::size_t i = 0; i < size; ++i) {
    const bool surrogate = text[i] >= 0xD800 && text[i] < 0xE000;
    const bool paired =
        text[i] < 0xDC00 && i + 1 < size && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000;
    if ((utf8 && surrogate && !paired) || (!utf8 && text[i] >= 0x80)) {
      error = kErrorNoUnicodeTranslation;
      return false;
    }
    if (surrogate) ++i;
  }
  out = Utf8FromUtf16(text, size);
  return true;
}
