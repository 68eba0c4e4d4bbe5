#include "HostImage.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <memory>

#include "ImageFileChecks.h"
#include "PngWriter.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_PNM
#define STBI_ONLY_BMP
#include <stb_image.h>

namespace {

// The largest side the host's 16-bit rectangles leave room for.
constexpr int kMaxSide = 30000;

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  long size = -1;
  if (file && std::fseek(file.get(), 0, SEEK_END) == 0) size = std::ftell(file.get());
  if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) {
    error = "cannot read image " + path;
    return false;
  }
  // The decoder takes the length as an int.
  if (size > long(INT_MAX)) {
    error = "image " + path + " is larger than 2 GB";
    return false;
  }
  bytes.resize(std::size_t(size));
  if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
    error = "cannot read image " + path;
    return false;
  }
  return true;
}

} // namespace

bool LoadImageFile(const std::string& path, HostImage& image, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, bytes, error)) return false;
  if (!CheckImageBytes(bytes, error)) {
    error = "damaged image " + path + ": " + error;
    return false;
  }
  int width = 0, height = 0, channels = 0;
  const int size = int(bytes.size());
  if (!stbi_info_from_memory(bytes.data(), size, &width, &height, &channels)) {
    error =
        "cannot read image " + path + ": " + (stbi_failure_reason() ? stbi_failure_reason() : "?");
    return false;
  }
  // Checked before decoding, so that a header's claim cannot make the host allocate.
  if (width > kMaxSide || height > kMaxSide) {
    error = "image " + path + " is larger than the 30000 pixels the host's 16-bit rectangles allow";
    return false;
  }
  int wanted = (channels == 2 || channels == 4) ? 4 : 3;
  unsigned char* data =
      stbi_load_from_memory(bytes.data(), size, &width, &height, &channels, wanted);
  if (data == nullptr) {
    error = "cannot decode image " + path + ": " + stbi_failure_reason();
    return false;
  }
  image.width = width;
  image.height = height;
  image.planes = wanted;
  image.pixels.assign(data, data + std::size_t(width) * std::size_t(height) * std::size_t(wanted));
  stbi_image_free(data);
  return true;
}

bool SaveImageFile(const std::string& path, const HostImage& image, std::string& error) {
  bool ppm = path.size() > 4 && path.compare(path.size() - 4, 4, ".ppm") == 0;
  if (!ppm) return WritePng(path, image, error);
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    error = "cannot write " + path;
    return false;
  }
  std::fprintf(file, "P6\n%d %d\n255\n", image.width, image.height);
  for (int row = 0; row < image.height; ++row) {
    for (int col = 0; col < image.width; ++col)
      std::fwrite(image.At(row, col), 1, 3, file);
  }
  bool ok = std::fclose(file) == 0;
  if (!ok) error = "cannot write " + path;
  return ok;
}

namespace {

uint8_t Clamp8(double value) {
  if (value <= 0) return 0;
  if (value >= 255) return 255;
  return uint8_t(value + 0.5);
}

// Hue (0..6) to RGB at full saturation and value.
void Hue(double h, double rgb[3]) {
  double x = 1 - std::fabs(std::fmod(h, 2.0) - 1);
  int sector = int(h) % 6;
  const double table[6][3] = {{1, x, 0}, {x, 1, 0}, {0, 1, x}, {0, x, 1}, {x, 0, 1}, {1, 0, x}};
  for (int i = 0; i < 3; ++i)
    rgb[i] = table[sector][i];
}

// A smooth landscape-like scene: sky gradient, sun, hills with texture and a lake.
void Scene(double u, double v, double rgb[3]) {
  double horizon = 0.45 + 0.05 * std::sin(u * 7.0);
  if (v < horizon) {
    double t = v / horizon;
    rgb[0] = 90 + 120 * t;
    rgb[1] = 140 + 80 * t;
    rgb[2] = 230 - 30 * t;
    double dx = u - 0.72, dy = v - 0.18;
    double sun = std::exp(-(dx * dx + dy * dy) * 220.0);
    rgb[0] += 140 * sun;
    rgb[1] += 110 * sun;
    rgb[2] += 20 * sun;
    return;
  }
  double hill = 0.62 + 0.08 * std::sin(u * 11.0 + 1.3) + 0.03 * std::sin(u * 37.0);
  if (v < hill) {
    double shade = 0.6 + 0.4 * std::sin(u * 90.0 + v * 60.0) * std::sin(v * 140.0);
    rgb[0] = 40 + 50 * shade;
    rgb[1] = 90 + 70 * shade;
    rgb[2] = 30 + 20 * shade;
    return;
  }
  double ripple = 0.5 + 0.5 * std::sin(v * 300.0 + std::sin(u * 25.0) * 4.0);
  rgb[0] = 30 + 40 * ripple;
  rgb[1] = 70 + 50 * ripple;
  rgb[2] = 120 + 80 * ripple;
}

} // namespace

HostImage MakeSampleImage(int width, int height, int planes) {
  HostImage image;
  image.width = width;
  image.height = height;
  image.planes = planes;
  image.pixels.resize(std::size_t(width) * std::size_t(height) * std::size_t(planes));
  int bandHeight = height / 8;
  for (int row = 0; row < height; ++row) {
    for (int col = 0; col < width; ++col) {
      double rgb[3] = {0, 0, 0};
      double u = double(col) / width, v = double(row) / height;
      if (row < bandHeight) {
        // Hue sweep, fading to white at the top.
        Hue(u * 6.0, rgb);
        double white = 1.0 - double(row) / bandHeight;
        for (double& c : rgb)
          c = 255 * (c + (1 - c) * white * 0.6);
      } else if (row < 2 * bandHeight) {
        // Grey ramp, 0 at the left to 255 at the right.
        rgb[0] = rgb[1] = rgb[2] = 255.0 * col / (width - 1);
      } else if (row < 3 * bandHeight) {
        // Red, green and blue ramps side by side.
        int third = col * 3 / width;
        double t = 255.0 * (col - third * width / 3) / (width / 3);
        rgb[third] = t;
      } else if (row < 4 * bandHeight) {
        // Twelve colour patches with a fine checkerboard strip below them.
        int patch = col * 12 / width;
        Hue(patch * 0.5, rgb);
        double value = (patch % 2) ? 0.55 : 0.95;
        for (double& c : rgb)
          c *= 255 * value;
        if (row >= 4 * bandHeight - bandHeight / 4) {
          rgb[0] = rgb[1] = rgb[2] = ((row / 2 + col / 2) % 2) ? 255 : 0;
        }
      } else {
        Scene(u, (v - 0.5) * 2.0, rgb);
      }
      uint8_t* pixel = image.At(row, col);
      for (int i = 0; i < 3; ++i)
        pixel[i] = Clamp8(rgb[i]);
      if (planes == 4) pixel[3] = Clamp8(255.0 * (1.0 - 0.8 * u * v));
    }
  }
  return image;
}

uint32_t Fnv1a(const uint8_t* data, std::size_t size, uint32_t hash) {
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= data[i];
    hash *= 16777619u;
  }
  return hash;
}
