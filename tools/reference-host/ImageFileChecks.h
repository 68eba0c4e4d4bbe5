// Checks of an image file's structure before it is decoded, for what the decoder
// lets through: it ignores PNG checksums and fills pixels that a PNM or BMP file
// does not hold with zeros, so a damaged or cut-off file would otherwise be
// filtered as if it were a picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// PNG: every chunk up to IEND complete, with a matching CRC-32 (the decoder checks
// the chunks' order and contents). Binary PNM (P5, P6) and uncompressed BMP: the file
// holds every pixel its header claims. Other contents are left to the decoder.
bool CheckImageBytes(const std::vector<uint8_t>& bytes, std::string& error);
