// Checks of an image file's structure before it is decoded. The decoder ignores
// PNG checksums and fills pixels that a file does not hold with zeros, so a damaged
// or cut-off file would otherwise be filtered as if it were a picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// PNG: the signature, every chunk complete with a matching CRC-32, IHDR first, at
// least one IDAT and an IEND. Binary PNM (P5, P6) and uncompressed BMP: the file
// holds every pixel its header claims. Other contents are left to the decoder.
bool CheckImageBytes(const std::vector<uint8_t>& bytes, std::string& error);
