// Writes 8-bit RGB or RGBA images as PNG, quickly: each row takes whichever of the
// Sub, Up, Average and Paeth filters leaves the smallest residuals, and the
// filtered rows go through zlib's run-length deflate (see PngWriter.cpp).
#pragma once

#include <string>

#include "HostImage.h"

bool WritePng(const std::string& path, const HostImage& image, std::string& error);
