// The image files of the host: the PNG writer's output read back by the decoder,
// and the refusal of damaged or cut-off PNG, PNM and BMP files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

#include "HostImage.h"
#include "ImageFileChecks.h"
#include "PngWriter.h"

namespace {

// Named after the process as well: the native and sanitizer suites (and other
// checkouts on the machine) run these tests at the same time in the same folder.
std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "tintara-image-" + std::to_string(getpid()) + "-" + name;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

enum class Content { Noise, Flat, Gradient };

HostImage MakeImage(int width, int height, int planes, Content content) {
  HostImage image;
  image.width = width;
  image.height = height;
  image.planes = planes;
  image.pixels.resize(image.RowBytes() * std::size_t(height));
  std::mt19937 random(uint32_t(width * 131 + height * 7 + planes));
  for (int row = 0; row < height; ++row) {
    for (int col = 0; col < width; ++col) {
      uint8_t* pixel = image.At(row, col);
      for (int p = 0; p < planes; ++p) {
        switch (content) {
        case Content::Noise:
          pixel[p] = uint8_t(random());
          break;
        case Content::Flat:
          pixel[p] = uint8_t(40 * p + 7);
          break;
        case Content::Gradient:
          pixel[p] = uint8_t(row * (p + 1) + col * 3 + int(random() % 3));
          break;
        }
      }
    }
  }
  return image;
}

TEST(PngWriter, WhatItWritesDecodesToTheSamePixels) {
  struct Case {
    int width, height, planes;
    Content content;
  };
  // Single pixels and columns (no left or upper neighbours), odd widths, and images
  // larger than one deflate block (runs then reach back across a block's start),
  // with content that makes literals, runs or both.
  const Case cases[] = {
      {1, 1, 3, Content::Noise},    {1, 1, 4, Content::Flat},         {1, 9, 3, Content::Gradient},
      {7, 5, 3, Content::Noise},    {5, 7, 4, Content::Gradient},     {300, 300, 4, Content::Noise},
      {600, 400, 3, Content::Flat}, {640, 200, 3, Content::Gradient}, {1000, 3, 4, Content::Flat}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + "x" +
                 std::to_string(c.planes) + " content " + std::to_string(int(c.content)));
    const HostImage image = MakeImage(c.width, c.height, c.planes, c.content);
    const std::string path = TempPath("roundtrip.png");
    std::string error;
    ASSERT_TRUE(SaveImageFile(path, image, error)) << error;
    EXPECT_TRUE(CheckImageBytes(ReadBytes(path), error)) << error;
    HostImage back;
    ASSERT_TRUE(LoadImageFile(path, back, error)) << error;
    EXPECT_EQ(back.width, c.width);
    EXPECT_EQ(back.height, c.height);
    EXPECT_EQ(back.planes, c.planes);
    EXPECT_TRUE(back.pixels == image.pixels);
    std::remove(path.c_str());
  }
}

TEST(PngWriter, FlatImagesShrinkToRuns) {
  const HostImage flat = MakeImage(1000, 1000, 3, Content::Flat);
  const std::string path = TempPath("flat.png");
  std::string error;
  ASSERT_TRUE(WritePng(path, flat, error)) << error;
  // 3 MB of one colour: the runs must carry it, not one literal per byte.
  EXPECT_LT(ReadBytes(path).size(), 20000u);
  std::remove(path.c_str());
}

class DamagedFiles : public ::testing::Test {
protected:
  void SetUp() override {
    const std::string path = TempPath("good.png");
    ASSERT_TRUE(WritePng(path, MakeImage(40, 30, 3, Content::Gradient), error)) << error;
    png = ReadBytes(path);
    std::remove(path.c_str());
  }
  bool Accepted(const std::vector<uint8_t>& bytes) {
    error.clear();
    return CheckImageBytes(bytes, error);
  }
  std::vector<uint8_t> png;
  std::string error;
};

TEST_F(DamagedFiles, PngWithABadCrcOrCutShortIsRefused) {
  ASSERT_TRUE(Accepted(png)) << error;
  std::vector<uint8_t> flipped = png;
  flipped[png.size() / 2] ^= 0x10; // inside the image data
  EXPECT_FALSE(Accepted(flipped));
  EXPECT_NE(error.find("CRC"), std::string::npos) << error;
  std::vector<uint8_t> badHeader = png;
  badHeader[16] ^= 1; // the width, covered by IHDR's CRC
  EXPECT_FALSE(Accepted(badHeader));
  // Cut anywhere before the end of IEND: after the signature, in a chunk's length, data or CRC.
  for (std::size_t size :
       {std::size_t(8), std::size_t(20), png.size() / 2, png.size() - 12, png.size() - 1}) {
    EXPECT_FALSE(Accepted(std::vector<uint8_t>(png.begin(), png.begin() + ptrdiff_t(size))))
        << size;
  }
  std::vector<uint8_t> trailing = png;
  trailing.insert(trailing.end(), {1, 2, 3});
  EXPECT_TRUE(Accepted(trailing)) << error; // what follows IEND is not read
  std::vector<uint8_t> huge = png;
  huge[33] = 0xFF; // the first IDAT's length: past the end of the file
  EXPECT_FALSE(Accepted(huge));
}

TEST_F(DamagedFiles, PnmAndBmpMustHoldEveryPixelTheirHeadersClaim) {
  const std::vector<uint8_t> pixels(12, 0x80);
  std::vector<uint8_t> ppm = Bytes("P6\n# a comment\n2 2\n255\n");
  ppm.insert(ppm.end(), pixels.begin(), pixels.end());
  EXPECT_TRUE(Accepted(ppm)) << error;
  ppm.pop_back();
  EXPECT_FALSE(Accepted(ppm));
  std::vector<uint8_t> wide = Bytes("P6 2 2 65535 ");
  wide.insert(wide.end(), 24, 0x10); // two bytes per sample above 255
  EXPECT_TRUE(Accepted(wide)) << error;
  wide.resize(wide.size() - 12);
  EXPECT_FALSE(Accepted(wide));
  EXPECT_FALSE(Accepted(Bytes("P5 3000 2000 255\n")));
  EXPECT_FALSE(Accepted(Bytes("P6 2 2")));
  EXPECT_FALSE(Accepted(Bytes("P6 99999999999 1 255\n")));

  // A 2x2 24-bit BMP: rows of 6 bytes padded to 8, the data at byte 54.
  std::vector<uint8_t> bmp(54 + 16, 0);
  const auto put32 = [&](std::size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
      bmp[at + std::size_t(i)] = uint8_t(value >> (8 * i));
  };
  bmp[0] = 'B';
  bmp[1] = 'M';
  put32(2, uint32_t(bmp.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, 2);
  put32(22, 2);
  bmp[26] = 1;
  bmp[28] = 24;
  EXPECT_TRUE(Accepted(bmp)) << error;
  std::vector<uint8_t> cut(bmp.begin(), bmp.end() - 1);
  EXPECT_FALSE(Accepted(cut));
  put32(22, 0x7FFFFFFF); // a height far beyond the file
  EXPECT_FALSE(Accepted(bmp));
}

TEST_F(DamagedFiles, LoadingRefusesThemWithAMessage) {
  std::vector<uint8_t> flipped = png;
  flipped[png.size() / 2] ^= 0x10;
  const std::string path = TempPath("damaged.png");
  WriteBytes(path, flipped);
  HostImage image;
  EXPECT_FALSE(LoadImageFile(path, image, error));
  EXPECT_NE(error.find("CRC"), std::string::npos) << error;
  WriteBytes(path, Bytes("P6\n4 4\n255\nshort"));
  EXPECT_FALSE(LoadImageFile(path, image, error));
  EXPECT_NE(error.find("file holds"), std::string::npos) << error;
  // Chunks with good CRCs in an order the decoder refuses: IHDR and IEND, no IDAT;
  // IEND alone.
  const std::vector<uint8_t> end(png.end() - 12, png.end());
  std::vector<uint8_t> noData(png.begin(), png.begin() + 8 + 25),
      endAlone(png.begin(), png.begin() + 8);
  noData.insert(noData.end(), end.begin(), end.end());
  endAlone.insert(endAlone.end(), end.begin(), end.end());
  for (const auto* file : {&noData, &endAlone}) {
    ASSERT_TRUE(Accepted(*file)) << error;
    WriteBytes(path, *file);
    EXPECT_FALSE(LoadImageFile(path, image, error));
    EXPECT_NE(error.find(path + ": "), std::string::npos) << error;
  }
  // A well-formed header whose size the host cannot take is refused before decoding.
  std::vector<uint8_t> big = Bytes("P5 40000 1 255\n");
  big.insert(big.end(), 40000, 0);
  WriteBytes(path, big);
  EXPECT_FALSE(LoadImageFile(path, image, error));
  EXPECT_NE(error.find("30000"), std::string::npos) << error;
  std::remove(path.c_str());
}

} // namespace
