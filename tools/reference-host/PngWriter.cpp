#include "PngWriter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <zlib.h>

namespace {

// Compressed data is written out in IDAT chunks of this size.
constexpr std::size_t kChunkBytes = 1 << 20;
// Runs of one repeated byte become matches at distance 1 and every other byte a
// literal (Z_RLE; the level only has to be above 0). On filtered photographs this
// comes within a few percent of a full LZ77 search at a fraction of its time, and
// flat areas (screenshots, charts) still shrink to a few bits per run. memLevel 9
// gives blocks of 32K symbols, so Huffman tables cost less per byte.
constexpr int kLevel = 1, kMemLevel = 9, kStrategy = Z_RLE;

void Store32(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[i] = uint8_t(value >> (24 - 8 * i));
}

bool WriteChunk(FILE* file, const char* type, const uint8_t* data, std::size_t size) {
  uint8_t head[8], tail[4];
  Store32(head, uint32_t(size));
  std::memcpy(head + 4, type, 4);
  uLong crc = crc32(0, head + 4, 4);
  // crc32 with a null buffer answers its initial value: IEND's has no data.
  if (size != 0) crc = crc32(crc, data, uInt(size));
  Store32(tail, uint32_t(crc));
  return std::fwrite(head, 1, 8, file) == 8 &&
         (size == 0 || std::fwrite(data, 1, size, file) == size) &&
         std::fwrite(tail, 1, 4, file) == 4;
}

// The Paeth predictor written without branches, so that the row loop vectorises.
int Paeth(int a, int b, int c) {
  const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
  const int bc = pb <= pc ? b : c;
  return pa <= pb && pa <= pc ? a : bc;
}

// Filters one row into out[1..] with the given filter type (out[0]) and answers the
// sum of the residuals taken as signed bytes, the usual estimate of how well the
// row will compress. The first pixel has no left neighbour (taken as 0).
uint64_t FilterRow(int type, const uint8_t* row, const uint8_t* above, std::size_t bytes,
                   std::size_t pixelBytes, uint8_t* out) {
  out[0] = uint8_t(type);
  uint8_t* r = out + 1;
  const std::size_t head = pixelBytes < bytes ? pixelBytes : bytes;
  switch (type) {
  case 1: // Sub
    for (std::size_t i = 0; i < head; ++i)
      r[i] = row[i];
    for (std::size_t i = head; i < bytes; ++i)
      r[i] = uint8_t(row[i] - row[i - pixelBytes]);
    break;
  case 2: // Up
    for (std::size_t i = 0; i < bytes; ++i)
      r[i] = uint8_t(row[i] - above[i]);
    break;
  case 3: // Average
    for (std::size_t i = 0; i < head; ++i)
      r[i] = uint8_t(row[i] - above[i] / 2);
    for (std::size_t i = head; i < bytes; ++i)
      r[i] = uint8_t(row[i] - (row[i - pixelBytes] + above[i]) / 2);
    break;
  default: // Paeth; without a left neighbour it predicts the byte above
    for (std::size_t i = 0; i < head; ++i)
      r[i] = uint8_t(row[i] - above[i]);
    for (std::size_t i = head; i < bytes; ++i)
      r[i] = uint8_t(row[i] - Paeth(row[i - pixelBytes], above[i], above[i - pixelBytes]));
    break;
  }
  uint64_t cost = 0;
  for (std::size_t i = 0; i < bytes; ++i)
    cost += uint64_t(std::abs(int(int8_t(r[i]))));
  return cost;
}

} // namespace

bool WritePng(const std::string& path, const HostImage& image, std::string& error) {
  if (image.width <= 0 || image.height <= 0 || (image.planes != 3 && image.planes != 4)) {
    error = "cannot write PNG " + path + ": not an 8-bit RGB or RGBA image";
    return false;
  }
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file) {
    error = "cannot write PNG " + path;
    return false;
  }
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  uint8_t header[13];
  Store32(header, uint32_t(image.width));
  Store32(header + 4, uint32_t(image.height));
  // Bit depth 8; colour type 2 (RGB) or 6 (RGBA); deflate; adaptive filters; not interlaced.
  const uint8_t rest[5] = {8, uint8_t(image.planes == 4 ? 6 : 2), 0, 0, 0};
  std::memcpy(header + 8, rest, 5);
  bool ok = std::fwrite(kSignature, 1, 8, file.get()) == 8 &&
            WriteChunk(file.get(), "IHDR", header, sizeof header);

  z_stream zlib{};
  if (!ok || deflateInit2(&zlib, kLevel, Z_DEFLATED, 15, kMemLevel, kStrategy) != Z_OK) {
    std::fclose(file.release());
    error = "cannot write PNG " + path;
    return false;
  }
  std::unique_ptr<z_stream, int (*)(z_stream*)> stream(&zlib, deflateEnd);
  std::vector<uint8_t> compressed(kChunkBytes);
  zlib.next_out = compressed.data();
  zlib.avail_out = uInt(compressed.size());
  // Hands zlib one filtered row (or, with Z_FINISH, the end of the stream) and
  // writes out every IDAT chunk that fills meanwhile.
  const auto compress = [&](const uint8_t* data, std::size_t size, int flush) {
    zlib.next_in = const_cast<Bytef*>(data);
    zlib.avail_in = uInt(size);
    for (;;) {
      const int status = deflate(&zlib, flush);
      if (flush == Z_FINISH ? status == Z_STREAM_END : zlib.avail_in == 0 && zlib.avail_out != 0)
        return true;
      // zlib stops short of the goal only when the output is full.
      if (status == Z_STREAM_ERROR || zlib.avail_out != 0 ||
          !WriteChunk(file.get(), "IDAT", compressed.data(), compressed.size()))
        return false;
      zlib.next_out = compressed.data();
      zlib.avail_out = uInt(compressed.size());
    }
  };

  const std::size_t rowBytes = image.RowBytes();
  std::vector<uint8_t> zeros(rowBytes, 0);
  std::vector<uint8_t> candidates[4];
  for (auto& candidate : candidates)
    candidate.resize(rowBytes + 1);
  for (int row = 0; ok && row < image.height; ++row) {
    const uint8_t* pixels = image.At(row, 0);
    const uint8_t* above = row > 0 ? image.At(row - 1, 0) : zeros.data();
    int best = 0;
    uint64_t bestCost = UINT64_MAX;
    for (int type = 1; type <= 4; ++type) {
      uint64_t cost = FilterRow(type, pixels, above, rowBytes, std::size_t(image.planes),
                                candidates[type - 1].data());
      if (cost < bestCost) {
        bestCost = cost;
        best = type - 1;
      }
    }
    ok = compress(candidates[best].data(), rowBytes + 1, Z_NO_FLUSH);
  }
  ok = ok && compress(nullptr, 0, Z_FINISH) &&
       WriteChunk(file.get(), "IDAT", compressed.data(), compressed.size() - zlib.avail_out) &&
       WriteChunk(file.get(), "IEND", nullptr, 0);
  ok = std::fclose(file.release()) == 0 && ok;
  if (!ok) error = "cannot write PNG " + path;
  return ok;
}
