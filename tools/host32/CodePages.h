// Text conversions between a Windows code page and UTF-16, for the stand-ins of
// MultiByteToWideChar and WideCharToMultiByte. UTF-8 (65001), which is also this
// host's ANSI code page (CP_ACP, CP_THREAD_ACP), is converted in full; every
// other code page only for 7-bit ASCII text, which all of them share: anything
// else fails with ERROR_NO_UNICODE_TRANSLATION rather than come out wrong.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kCodePageUtf8 = 65001;
constexpr uint32_t kErrorNoUnicodeTranslation = 1113;

// count bytes of text (count < 0: up to and including its terminating zero)
// into out; false with the Windows error code.
bool MultiByteToUtf16(uint32_t codePage, const char* text, int count, std::vector<uint16_t>& out,
                      uint32_t& error);
// count units of text (count < 0: up to and including its terminating zero)
// into out; false with the Windows error code.
bool Utf16ToMultiByte(uint32_t codePage, const uint16_t* text, int count, std::string& out,
                      uint32_t& error);
