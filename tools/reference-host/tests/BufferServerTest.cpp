// The buffers the host serves: sampling, padding, planes, write-back clipping,
// and the pixel-map composition behind displayPixels.
#include <gtest/gtest.h>

#include <vector>

#include "BufferServer.h"

namespace {

// A small image whose pixel (row, col) holds row*16+col in red, col in green,
// row in blue and 200 in a fourth plane when there is one.
HostImage Numbered(int width, int height, int planes) {
  HostImage image;
  image.width = width;
  image.height = height;
  image.planes = planes;
  image.pixels.resize(std::size_t(width * height * planes));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = image.At(y, x);
      p[0] = uint8_t(y * 16 + x);
      p[1] = uint8_t(x);
      p[2] = uint8_t(y);
      if (planes == 4) p[3] = 200;
    }
  }
  return image;
}

struct Record {
  std::vector<uint8_t> storage = std::vector<uint8_t>(sizeof(FilterRecord), 0);
  FilterRecord& r = *reinterpret_cast<FilterRecord*>(storage.data());
  Record(Rect rect, int lo, int hi, Fixed rate, int16 padding) {
    r.inRect = r.outRect = rect;
    r.inLoPlane = r.outLoPlane = int16(lo);
    r.inHiPlane = r.outHiPlane = int16(hi);
    r.inputRate = r.maskRate = rate;
    r.inputPadding = r.outputPadding = r.maskPadding = padding;
  }
  const uint8_t* In(int row, int col, int planes) const {
    return static_cast<const uint8_t*>(r.inData) + row * r.inRowBytes + col * planes;
  }
};

TEST(BufferServer, FullResolutionStripWithPaddingOutsideTheImage) {
  HostImage image = Numbered(5, 4, 3);
  BufferServer server(image, Rect{0, 0, 4, 5});
  Record rec(Rect{2, -1, 6, 6}, 0, 2, 65536, 255);
  ASSERT_EQ(server.Serve(rec.r, "serve"), noErr);
  // Rows are padded to four bytes: 7 pixels * 3 planes = 21 -> 24.
  EXPECT_EQ(rec.r.inRowBytes, 24);
  EXPECT_EQ(rec.r.outRowBytes, 24);
  EXPECT_EQ(rec.In(0, 0, 3)[0], 255); // column -1
  EXPECT_EQ(rec.In(0, 1, 3)[0], 2 * 16 + 0);
  EXPECT_EQ(rec.In(1, 5, 3)[2], 3);   // row 3, column 4, blue
  EXPECT_EQ(rec.In(1, 6, 3)[1], 255); // column 5 is outside
  EXPECT_EQ(rec.In(2, 1, 3)[0], 255); // row 4 is outside
  // The output starts as a copy of the image, padded the same way.
  const auto* out = static_cast<const uint8_t*>(rec.r.outData);
  EXPECT_EQ(out[3], 2 * 16 + 0);
  EXPECT_EQ(server.Strips(), 1);
}

TEST(BufferServer, PaddingModes) {
  HostImage image = Numbered(4, 4, 3);
  BufferServer server(image, Rect{0, 0, 4, 4});
  Record fill(Rect{-1, -1, 1, 1}, 0, 0, 65536, 7);
  ASSERT_EQ(server.Serve(fill.r, "serve"), noErr);
  EXPECT_EQ(fill.In(0, 0, 1)[0], 7);
  EXPECT_EQ(fill.In(1, 1, 1)[0], 0);

  Record edge(Rect{-2, 2, 1, 6}, 0, 0, 65536, plugInWantsEdgeReplication);
  ASSERT_EQ(server.Serve(edge.r, "serve"), noErr);
  EXPECT_EQ(edge.In(0, 0, 1)[0], 2); // row -2 -> 0, column 2
  EXPECT_EQ(edge.In(2, 3, 1)[0], 3); // row 0, column 5 -> 3
  EXPECT_EQ(edge.In(2, 1, 1)[0], 3); // inside: row 0, column 3

  Record error(Rect{-1, 0, 1, 2}, 0, 2, 65536, plugInWantsErrorOnBoundsException);
  EXPECT_EQ(server.Serve(error.r, "serve"), paramErr);
  const void* refused = error.r.inData; // the record is packed: no reference to a member
  EXPECT_EQ(refused, nullptr);
  Record inside(Rect{0, 0, 2, 2}, 0, 2, 65536, plugInWantsErrorOnBoundsException);
  EXPECT_EQ(server.Serve(inside.r, "serve"), noErr);
}

TEST(BufferServer, SamplingTakesThePixelAtTheScaledCoordinate) {
  HostImage image = Numbered(10, 9, 3);
  BufferServer server(image, Rect{0, 0, 9, 10});
  Record half(Rect{1, 1, 5, 5}, 0, 2, 2 * 65536, 255);
  ASSERT_EQ(server.Serve(half.r, "serve"), noErr);
  EXPECT_EQ(half.In(0, 0, 3)[0], 2 * 16 + 2);
  EXPECT_EQ(half.In(2, 3, 3)[0], 6 * 16 + 8);
  EXPECT_EQ(half.In(3, 0, 3)[0], 8 * 16 + 2);
  EXPECT_EQ(half.In(3, 3, 3)[0], 8 * 16 + 8);
  // Rate 1.5: row 3 -> 4 (floor 4.5), column 5 -> 7 (floor 7.5).
  Record fractional(Rect{3, 5, 4, 6}, 0, 0, 98304, 255);
  ASSERT_EQ(server.Serve(fractional.r, "serve"), noErr);
  EXPECT_EQ(fractional.In(0, 0, 1)[0], 4 * 16 + 7);
  // A sampled rectangle reaching past the image pads at the image's edge: row 5 -> 10.
  Record past(Rect{4, 0, 6, 1}, 0, 0, 2 * 65536, 99);
  ASSERT_EQ(server.Serve(past.r, "serve"), noErr);
  EXPECT_EQ(past.In(0, 0, 1)[0], 8 * 16);
  EXPECT_EQ(past.In(1, 0, 1)[0], 99);
  // Sampled buffers are previews, not strips.
  EXPECT_EQ(server.Strips(), 0);
}

TEST(BufferServer, PlaneRangeIsServedAndChecked) {
  HostImage image = Numbered(3, 3, 4);
  BufferServer server(image, Rect{0, 0, 3, 3});
  Record alpha(Rect{0, 0, 1, 3}, 2, 3, 65536, 255);
  ASSERT_EQ(server.Serve(alpha.r, "serve"), noErr);
  EXPECT_EQ(alpha.r.inColumnBytes, 2);
  EXPECT_EQ(alpha.In(0, 2, 2)[0], 0);   // blue = row 0
  EXPECT_EQ(alpha.In(0, 2, 2)[1], 200); // transparency
  Record beyond(Rect{0, 0, 1, 1}, 0, 4, 65536, 255);
  EXPECT_EQ(server.Serve(beyond.r, "serve"), paramErr);
}

TEST(BufferServer, WriteBackIsClippedToImageAndFilterRectangle) {
  HostImage image = Numbered(6, 6, 3);
  HostImage before = image;
  BufferServer server(image, Rect{1, 1, 4, 5});
  Record rec(Rect{0, -1, 8, 7}, 0, 2, 65536, 255);
  ASSERT_EQ(server.Serve(rec.r, "serve"), noErr);
  auto* out = static_cast<uint8_t*>(rec.r.outData);
  for (int y = 0; y < 8; ++y) {
    for (int i = 0; i < 8 * 3; ++i)
      out[y * rec.r.outRowBytes + i] = 1;
  }
  // Nothing changes until the output is flushed.
  EXPECT_EQ(image.pixels, before.pixels);
  server.Flush();
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x) {
      bool inside = y >= 1 && y < 4 && x >= 1 && x < 5;
      EXPECT_EQ(image.At(y, x)[0], inside ? 1 : before.At(y, x)[0]) << y << "," << x;
    }
  }
  // A second flush writes nothing again.
  image = before;
  server.Flush();
  EXPECT_EQ(image.pixels, before.pixels);
}

TEST(BufferServer, SampledOutputIsNeverWrittenBack) {
  HostImage image = Numbered(8, 8, 3);
  HostImage before = image;
  BufferServer server(image, Rect{0, 0, 8, 8});
  Record rec(Rect{0, 0, 4, 4}, 0, 2, 2 * 65536, 255);
  ASSERT_EQ(server.Serve(rec.r, "serve"), noErr);
  static_cast<uint8_t*>(rec.r.outData)[0] = 77;
  server.Flush();
  EXPECT_EQ(image.pixels, before.pixels);
}

TEST(BufferServer, EmptyRectanglesGiveNoBuffers) {
  HostImage image = Numbered(4, 4, 3);
  BufferServer server(image, Rect{0, 0, 4, 4});
  Record rec(Rect{2, 2, 2, 4}, 0, 2, 65536, 255);
  ASSERT_EQ(server.Serve(rec.r, "serve"), noErr);
  // Copied out first: fields of the packed record may sit misaligned.
  const void* in = rec.r.inData;
  const void* out = rec.r.outData;
  EXPECT_EQ(in, nullptr);
  EXPECT_EQ(out, nullptr);
}

PSPixelMap Map(const std::vector<uint8_t>& pixels, int width, int height, int32 mode,
               int colBytes) {
  PSPixelMap map{};
  map.version = 1;
  map.bounds = VRect{10, 20, 10 + height, 20 + width};
  map.imageMode = mode;
  map.rowBytes = width * colBytes;
  map.colBytes = colBytes;
  map.planeBytes = 1;
  map.baseAddr = const_cast<uint8_t*>(pixels.data());
  return map;
}

TEST(ComposePixelMap, RgbWithoutMaskBecomesBgrx) {
  std::vector<uint8_t> pixels = {10, 20, 30, 40, 50, 60};
  PSPixelMap map = Map(pixels, 2, 1, plugInModeRGBColor, 3);
  std::vector<uint8_t> bgrx;
  int w = 0, h = 0;
  std::string error;
  ASSERT_TRUE(ComposePixelMap(map, map.bounds, bgrx, w, h, error));
  EXPECT_EQ(w, 2);
  EXPECT_EQ(h, 1);
  EXPECT_EQ(bgrx, (std::vector<uint8_t>{30, 20, 10, 0, 60, 50, 40, 0}));
}

TEST(ComposePixelMap, MaskBlendsOverCheckerboardAndIsIgnoredBeforeVersion1) {
  std::vector<uint8_t> pixels = {0, 0, 0, 0, 0, 0, 100, 100, 100};
  std::vector<uint8_t> mask = {0, 255, 128};
  PSPixelMap map = Map(pixels, 3, 1, plugInModeRGBColor, 3);
  PSPixelMask pixelMask{nullptr, mask.data(), 3, 1, kSimplePSMask};
  map.masks = &pixelMask;
  std::vector<uint8_t> bgrx;
  int w = 0, h = 0;
  std::string error;
  ASSERT_TRUE(ComposePixelMap(map, map.bounds, bgrx, w, h, error));
  // Column 20 at row 10: checkerboard square (1 + 2) % 2 -> 204; fully transparent.
  EXPECT_EQ(bgrx[0], 204);
  EXPECT_EQ(bgrx[4], 0);                                   // opaque black
  EXPECT_EQ(bgrx[8], (100 * 128 + 204 * 127 + 127) / 255); // half
  pixelMask.maskDescription = kInvertPSMask;
  ASSERT_TRUE(ComposePixelMap(map, map.bounds, bgrx, w, h, error));
  EXPECT_EQ(bgrx[0], 0);
  map.version = 0;
  ASSERT_TRUE(ComposePixelMap(map, map.bounds, bgrx, w, h, error));
  EXPECT_EQ(bgrx[0], 0);
  EXPECT_EQ(bgrx[8], 100);
}

TEST(ComposePixelMap, ClipsTheSourceToTheBoundsAndReadsGrey) {
  std::vector<uint8_t> pixels = {1, 2, 3, 4};
  PSPixelMap map = Map(pixels, 2, 2, plugInModeGrayScale, 1);
  std::vector<uint8_t> bgrx;
  int w = 0, h = 0;
  std::string error;
  ASSERT_TRUE(ComposePixelMap(map, VRect{11, 0, 50, 21}, bgrx, w, h, error));
  EXPECT_EQ(w, 1);
  EXPECT_EQ(h, 1);
  EXPECT_EQ(bgrx, (std::vector<uint8_t>{3, 3, 3, 0}));
}

TEST(ComposePixelMap, RefusesWhatItCannotShow) {
  std::vector<uint8_t> pixels(12);
  std::vector<uint8_t> bgrx;
  int w = 0, h = 0;
  std::string error;
  PSPixelMap cmyk = Map(pixels, 1, 1, plugInModeCMYKColor, 4);
  EXPECT_FALSE(ComposePixelMap(cmyk, cmyk.bounds, bgrx, w, h, error));
  PSPixelMap none = Map(pixels, 1, 1, plugInModeRGBColor, 3);
  none.baseAddr = nullptr;
  EXPECT_FALSE(ComposePixelMap(none, none.bounds, bgrx, w, h, error));
  PSPixelMap zero = Map(pixels, 1, 1, plugInModeRGBColor, 0);
  EXPECT_FALSE(ComposePixelMap(zero, zero.bounds, bgrx, w, h, error));
}

} // namespace

namespace {

TEST(BufferServer, InputComesFromTheImageAsTheRunFoundIt) {
  // A full-resolution preview written back early in the run must not be read
  // again as input: editors filter from a snapshot of the source.
  HostImage image = Numbered(4, 4, 3);
  BufferServer server(image, Rect{0, 0, 4, 4});
  Record first(Rect{0, 0, 2, 2}, 0, 0, 65536, 255);
  ASSERT_EQ(server.Serve(first.r, "serve"), noErr);
  static_cast<uint8_t*>(first.r.outData)[0] = 99;
  Record again(Rect{0, 0, 2, 2}, 0, 0, 65536, 255);
  ASSERT_EQ(server.Serve(again.r, "serve"), noErr); // flushes the first output
  EXPECT_EQ(image.At(0, 0)[0], 99);
  EXPECT_EQ(static_cast<const uint8_t*>(again.r.inData)[0], 0);   // the source
  EXPECT_EQ(static_cast<const uint8_t*>(again.r.outData)[0], 99); // the destination
}

} // namespace
