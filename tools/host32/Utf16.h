// UTF-16 text of Windows resources as UTF-8, the code page of the emulated
// system's ANSI functions (so Japanese texts pass through the A functions whole).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Converts count units (unpaired surrogates become U+FFFD).
std::string Utf8FromUtf16(const uint16_t* units, std::size_t count);
// The longest leading part of text of at most limit bytes that ends on a
// character boundary.
std::size_t Utf8Fit(const std::string& text, std::size_t limit);
