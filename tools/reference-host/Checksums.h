// The two checksums of PNG files: CRC-32 over each chunk, Adler-32 over the
// uncompressed image data of the zlib stream.
#pragma once

#include <cstddef>
#include <cstdint>

// Continues a CRC-32 (the polynomial of PNG and zlib); start with crc 0.
uint32_t Crc32(const uint8_t* data, std::size_t size, uint32_t crc = 0);
// Continues an Adler-32; start with adler 1.
uint32_t Adler32(const uint8_t* data, std::size_t size, uint32_t adler = 1);
