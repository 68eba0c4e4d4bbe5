// Writes a photograph-like test image for timing the main job: smooth gradients of
// light and colour, a mid-scale texture and per-pixel sensor noise, so that it
// compresses about as badly as a real photograph and unlike a synthetic chart.
// Usage: tintara_photo OUT.png [WxH]   (default 6000x4000)
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "HostImage.h"

int main(int argc, char** argv) {
  int width = 6000, height = 4000;
  if (argc < 2 || (argc > 2 && std::sscanf(argv[2], "%dx%d", &width, &height) != 2) || width < 1 ||
      height < 1 || width > 30000 || height > 30000) {
    std::fprintf(stderr, "usage: tintara_photo OUT.png [WxH]\n");
    return 2;
  }
  HostImage image;
  image.width = width;
  image.height = height;
  image.planes = 3;
  image.pixels.resize(image.RowBytes() * std::size_t(height));
  uint32_t seed = 12345;
  const auto noise = [&seed]() {
    seed = seed * 1664525u + 1013904223u;
    return int((seed >> 8) % 5u);
  };
  for (int row = 0; row < height; ++row) {
    for (int col = 0; col < width; ++col) {
      const double u = double(col) / width, v = double(row) / height;
      const double light[3] = {60 + 120 * v + 40 * std::sin(u * 9 + v * 3),
                               80 + 100 * u * v + 50 * std::sin(v * 14),
                               150 - 90 * v + 30 * std::cos(u * 21)};
      const double texture =
          18 * std::sin(col * 0.07 + std::sin(row * 0.05) * 3) * std::sin(row * 0.09);
      uint8_t* pixel = image.At(row, col);
      for (int c = 0; c < 3; ++c) {
        const double value = light[c] + texture + (noise() + noise() - 4) * 0.8;
        pixel[c] = uint8_t(value < 0 ? 0 : value > 255 ? 255 : value);
      }
    }
  }
  std::string error;
  if (!SaveImageFile(argv[1], image, error)) {
    std::fprintf(stderr, "tintara_photo: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
