// The document that the host filters: 8-bit interleaved RGB or RGBA pixels, and
// the files it is read from and written to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct HostImage {
  int width = 0;
  int height = 0;
  int planes = 3;              // 3: RGB, 4: RGB with transparency as the last plane
  std::vector<uint8_t> pixels; // rows of width * planes bytes, no padding

  std::size_t RowBytes() const { return std::size_t(width) * std::size_t(planes); }
  uint8_t* At(int row, int col) {
    return pixels.data() + std::size_t(row) * RowBytes() + std::size_t(col) * std::size_t(planes);
  }
  const uint8_t* At(int row, int col) const {
    return pixels.data() + std::size_t(row) * RowBytes() + std::size_t(col) * std::size_t(planes);
  }
};

// Reads a PNG (or any 8-bit format stb_image knows, such as PPM); grey images are
// widened to RGB, grey with alpha to RGBA.
bool LoadImageFile(const std::string& path, HostImage& image, std::string& error);
// Writes PNG, or binary PPM (P6, RGB only) when the name ends in ".ppm".
bool SaveImageFile(const std::string& path, const HostImage& image, std::string& error);

// The built-in sample: a deterministic colour test chart with gradients, colour
// patches and a photographic-looking area, width x height (at least 1024 x 768 by
// default). With planes 4 the transparency falls off towards the bottom right.
HostImage MakeSampleImage(int width = 1024, int height = 768, int planes = 3);

// FNV-1a over bytes, for traces that let tests compare pixels.
uint32_t Fnv1a(const uint8_t* data, std::size_t size, uint32_t hash = 2166136261u);
