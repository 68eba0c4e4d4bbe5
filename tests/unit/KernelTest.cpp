// The tone kernel: the rule's values, pixel layouts, abort and progress, buffers
// sized exactly to the geometry, and the fast kernel against the plain reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "engine/ToneKernel.h"
#include "engine/TonePlan.h"
#include "reference/ToneBuffersReference.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Kernel = void (*)(PluginGlobals*, bool);

class KernelTest : public ::testing::Test {
protected:
  // One row of `columns` pixels, interleaved, inStep bytes in and planes bytes out.
  void Geometry(int16 rows, int16 columns, int16 inStep, int16 planes, int16 mode) {
    FilterRecord& fr = host.record;
    fr.filterRect = Rect{0, 0, rows, columns};
    fr.outRect = fr.inRect = fr.filterRect;
    fr.inLoPlane = 0;
    fr.inHiPlane = int16(inStep - 1);
    fr.planes = planes;
    fr.imageMode = mode;
  }
  // Runs the kernel on copies of `in` and `out`, rows without padding, in guarded
  // buffers.
  Bytes Run(const Bytes& in, const Bytes& out, Kernel kernel = ToneBuffers) {
    GuardedBuffer inBuffer(in.size()), outBuffer(out.size());
    std::copy(in.begin(), in.end(), inBuffer.data());
    std::copy(out.begin(), out.end(), outBuffer.data());
    host.record.inData = inBuffer.data();
    host.record.outData = outBuffer.data();
    const int32 rows = std::max(1, host.record.outRect.bottom - host.record.outRect.top);
    host.record.inRowBytes = int32(in.size()) / rows;
    host.record.outRowBytes = int32(out.size()) / rows;
    kernel(&globals, true);
    return outBuffer.Bytes();
  }
  // Tones pixels of three bytes and checks both kernels give `expected`.
  void ExpectRgb(const Bytes& in, const Bytes& expected) {
    const int16 columns = int16(in.size() / 3);
    Geometry(1, columns, 3, 3, plugInModeRGBColor);
    EXPECT_EQ(Run(in, Bytes(in.size(), 0xEE)), expected);
    EXPECT_EQ(Run(in, Bytes(in.size(), 0xEE), ToneBuffersReference), expected);
  }

  SimulatedHost host;
  ParameterRig rig{host.record};
  int16 result = 0;
  PluginGlobals globals{&result, &host.record, {}};
};

TEST(PlanesForMode, TableAndDefault) {
  const int16 expected[] = {1, 1, 3, 3, 4, 3, 3, 9, 1, 3, 1, 3};
  for (int16 mode = 0; mode < 12; ++mode)
    EXPECT_EQ(PlanesForMode(mode, 9), expected[mode]);
  EXPECT_EQ(PlanesForMode(-1, 9), 9);
  EXPECT_EQ(PlanesForMode(12, 0), 0);
  EXPECT_EQ(PlanesForMode(plugInModeMultichannel, 0), 0);
}

TEST_F(KernelTest, RuleValues) {
  rig.Tone(0, 255, 255, true, true, true);
  // Red with tone 0, green and blue with tone 255, from the same sums.
  ExpectRgb({10, 20, 30, 0, 0, 0, 255, 255, 255, 1, 1, 1},
            {15, 78, 78, 0, 63, 63, 191, 255, 255, 0, 64, 64});
  rig.Tone(255, 0, 0, true, false, false);
  ExpectRgb({0, 0, 0, 255, 255, 255}, {63, 0, 0, 255, 255, 255});
  rig.Tone(0, 20, 0, false, true, false);
  ExpectRgb({200, 100, 40}, {200, 90, 40});
  rig.Tone(0, 0, 0, true, true, true);
  ExpectRgb({1, 1, 1, 10, 20, 30}, {0, 0, 0, 15, 15, 15});
  // Channels are summed from the input, not from bytes already toned.
  rig.Tone(255, 255, 255, true, true, true);
  ExpectRgb({255, 255, 255, 0, 0, 0}, {255, 255, 255, 63, 63, 63});
}

TEST_F(KernelTest, FlagsClearCopyHandledPlanesOnly) {
  rig.Tone(200, 200, 200, false, false, false);
  Geometry(1, 2, 4, 4, plugInModeRGBColor);
  EXPECT_EQ(Run({1, 2, 3, 4, 5, 6, 7, 8}, Bytes(8, 0xEE)), (Bytes{1, 2, 3, 0xEE, 5, 6, 7, 0xEE}));
}

TEST_F(KernelTest, FourPlaneRgbKeepsFourthByteAndCmykCopiesIt) {
  rig.Tone(100, 0, 0, true, false, true);
  const Bytes in = {10, 20, 30, 40, 50, 60, 70, 80, 0, 0, 0, 9};
  Geometry(1, 3, 4, 4, plugInModeRGBColor);
  EXPECT_EQ(Run(in, Bytes(12, 0xEE)), (Bytes{40, 20, 15, 0xEE, 70, 60, 45, 0xEE, 25, 0, 0, 0xEE}));
  Geometry(1, 3, 4, 4, plugInModeCMYKColor);
  EXPECT_EQ(Run(in, Bytes(12, 0xEE)), (Bytes{40, 20, 15, 40, 70, 60, 45, 80, 25, 0, 0, 9}));
}

TEST_F(KernelTest, ModesWithoutPlaneCountWriteNothingButAskEveryPixel) {
  rig.Tone(100, 100, 100, true, true, true);
  for (int16 mode : {plugInModeMultichannel, int16(12), int16(-3)}) {
    host.abortCalls = 0;
    host.progress.clear();
    Geometry(2, 3, 3, 3, mode);
    host.record.inRowBytes = host.record.outRowBytes = 9;
    GuardedBuffer in(18), out(18);
    in.Fill(1);
    out.Fill(2);
    const Bytes before = out.Bytes();
    host.record.inData = in.data();
    host.record.outData = out.data();
    ToneBuffers(&globals, true);
    EXPECT_EQ(out.Bytes(), before);
    EXPECT_EQ(host.abortCalls, 6);
    EXPECT_EQ(host.progress.size(), 2u);
  }
}

TEST_F(KernelTest, EmptyRectangles) {
  for (Kernel kernel : {ToneBuffers, ToneBuffersReference}) {
    for (int16 height : {int16(0), int16(-4)}) {
      host.abortCalls = 0;
      host.progress.clear();
      Geometry(1, 4, 3, 3, plugInModeRGBColor);
      host.record.outRect.bottom = int16(host.record.outRect.top + height);
      kernel(&globals, true);
      EXPECT_EQ(host.abortCalls, 0);
      EXPECT_TRUE(host.progress.empty());
    }
    // Zero width: progress for each row, no question.
    host.abortCalls = 0;
    host.progress.clear();
    Geometry(3, 0, 3, 3, plugInModeRGBColor);
    kernel(&globals, true);
    EXPECT_EQ(host.abortCalls, 0);
    EXPECT_EQ(host.progress.size(), 3u);
  }
}

TEST_F(KernelTest, AbortAtFirstPixelAndMidImage) {
  rig.Tone(0, 0, 0, true, true, true);
  for (Kernel kernel : {ToneBuffers, ToneBuffersReference}) {
    Geometry(3, 4, 3, 3, plugInModeRGBColor);
    host.record.inRowBytes = host.record.outRowBytes = 12;
    GuardedBuffer in(36), out(36);
    std::fill(in.data(), in.data() + 36, 40);
    host.record.inData = in.data();
    host.record.outData = out.data();

    std::fill(out.data(), out.data() + 36, 0xEE);
    host.abortCalls = 0;
    host.abortAtCall = 1;
    host.progress.clear();
    result = 0;
    kernel(&globals, true);
    EXPECT_EQ(result, userCanceledErr);
    EXPECT_EQ(host.abortCalls, 1);
    EXPECT_EQ(out.Bytes(), Bytes(36, 0xEE));
    EXPECT_EQ(host.progress.size(), 1u);

    // The 7th question (second row, third pixel) answers true: six pixels written.
    std::fill(out.data(), out.data() + 36, 0xEE);
    host.abortCalls = 0;
    host.abortAtCall = 7;
    host.progress.clear();
    result = 0;
    kernel(&globals, false);
    EXPECT_EQ(result, userCanceledErr);
    EXPECT_EQ(host.abortCalls, 7);
    Bytes expected(36, 0xEE);
    std::fill(expected.begin(), expected.begin() + 18, 30);
    EXPECT_EQ(out.Bytes(), expected);
    EXPECT_TRUE(host.progress.empty());
  }
}

TEST_F(KernelTest, ProgressCountsFromFilterTop) {
  Geometry(3, 2, 3, 3, plugInModeRGBColor);
  host.record.filterRect = Rect{10, 0, 110, 2};
  host.record.outRect = Rect{50, 0, 53, 2};
  Run(Bytes(6 * 3, 1), Bytes(6 * 3, 0));
  const std::vector<std::pair<int32, int32>> expected = {{40, 100}, {41, 100}, {42, 100}};
  EXPECT_EQ(host.progress, expected);
}

TEST_F(KernelTest, PixelsWithFewerBytesThanTheRuleReadsStayInsideTheBuffers) {
  rig.Tone(255, 255, 255, true, true, true);
  // One plane per pixel (grayscale, duotone, bitmap, 16-bit gray, and an RGB image
  // delivered with one plane): the pixel has no three values to sum; it is copied.
  for (int16 mode : {plugInModeGrayScale, plugInModeDuotone, plugInModeBitmap, plugInModeGray16,
                     plugInModeRGBColor}) {
    Geometry(1, 5, 1, 1, mode);
    EXPECT_EQ(Run({1, 2, 3, 4, 5}, Bytes(5, 0xEE)), (Bytes{1, 2, 3, 4, 5})) << mode;
  }
  // Two planes for an RGB image: both copied.
  Geometry(1, 3, 2, 2, plugInModeRGBColor);
  EXPECT_EQ(Run({1, 2, 3, 4, 5, 6}, Bytes(6, 0xEE)), (Bytes{1, 2, 3, 4, 5, 6}));
  // Three input bytes but two output planes: toned from three, two written.
  Geometry(1, 2, 3, 2, plugInModeRGBColor);
  EXPECT_EQ(Run({0, 0, 0, 255, 255, 255}, Bytes(4, 0xEE)), (Bytes{63, 63, 255, 255}));
  // CMYK delivered with three planes: the fourth byte exists on neither side.
  Geometry(1, 2, 3, 3, plugInModeCMYKColor);
  EXPECT_EQ(Run({0, 0, 0, 4, 4, 4}, Bytes(6, 0xEE)), (Bytes{63, 63, 63, 66, 66, 66}));
  // Output planes 0 or below, or an inverted plane range: nothing is written.
  Geometry(1, 2, 3, 0, plugInModeRGBColor);
  EXPECT_EQ(Run({1, 2, 3, 4, 5, 6}, Bytes(1, 0xEE)), Bytes(1, 0xEE));
  Geometry(1, 2, 0, 3, plugInModeRGBColor);
  EXPECT_EQ(Run(Bytes(1, 7), Bytes(6, 0xEE)), Bytes(6, 0xEE));
}

TEST_F(KernelTest, TonesOutsideTheByteRangeDoNotWrap) {
  rig.Tone(1000, -50, 32767, true, true, true);
  ExpectRgb({255, 255, 255, 10, 20, 30, 0, 0, 0}, {255, 191, 255, 78, 15, 78, 63, 0, 63});
  rig.Tone(-32768, 256, 0, true, true, false);
  ExpectRgb({255, 255, 255}, {191, 255, 255});
}

// The fast kernel against the reference over the axes that change its paths.
struct Layout {
  int16 mode;
  int16 inStep;
  int16 planes;
};

// Each vector set that the processor has (AVX2 and SSE4.1, or NEON), and none.
class FastKernelTest : public KernelTest, public ::testing::WithParamInterface<ToneVectors> {
protected:
  void SetUp() override {
    if (LimitToneVectors(GetParam()) != GetParam()) GTEST_SKIP() << "the processor lacks this set";
  }
  void TearDown() override { LimitToneVectors(ToneVectors::Avx2); }
};

// A limit never hands the kernel a set of another processor family: limiting an
// x86 processor to NEON leaves no vectors, limiting ARM64 to AVX2 leaves NEON.
TEST(ToneVectorsLimit, KeepsToTheProcessorsOwnFamily) {
  const ToneVectors available = ToneVectorsAvailable();
#if defined(__aarch64__)
  EXPECT_EQ(available, ToneVectors::Neon);
#endif
  for (ToneVectors limit :
       {ToneVectors::None, ToneVectors::Neon, ToneVectors::Sse41, ToneVectors::Avx2}) {
    const ToneVectors inUse = LimitToneVectors(limit);
    SCOPED_TRACE(int(limit));
    EXPECT_LE(inUse, limit);
    EXPECT_EQ(ToneVectorsInUse(), inUse);
    if (inUse != ToneVectors::None) {
      EXPECT_EQ(inUse == ToneVectors::Neon, available == ToneVectors::Neon);
    }
  }
  EXPECT_EQ(LimitToneVectors(ToneVectors::Avx2), available);
}

std::string VectorsName(const ::testing::TestParamInfo<ToneVectors>& set) {
  const char* const names[] = {"None", "Neon", "Sse41", "Avx2"};
  return names[int(set.param)];
}

INSTANTIATE_TEST_SUITE_P(Vectors, FastKernelTest,
                         ::testing::Values(ToneVectors::None, ToneVectors::Neon, ToneVectors::Sse41,
                                           ToneVectors::Avx2),
                         VectorsName);

TEST_P(FastKernelTest, FastMatchesReferenceOverEdgeAxes) {
  std::vector<Layout> layouts;
  for (int16 mode = -1; mode <= 12; ++mode) {
    layouts.push_back({mode, 3, 3});
    layouts.push_back({mode, 4, 4});
    layouts.push_back({mode, 1, 1});
  }
  for (Layout extra : std::vector<Layout>{{3, 4, 3},
                                          {3, 3, 4},
                                          {4, 3, 3},
                                          {4, 5, 5},
                                          {3, 2, 2},
                                          {1, 2, 2},
                                          {9, 4, 4},
                                          {3, 5, 3}}) {
    layouts.push_back(extra);
  }
  const int16 columnCounts[] = {1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 15, 16, 17, 31, 33, 64, 101};
  const int16 tones[][3] = {{0, 0, 0}, {255, 255, 255}, {1, 130, 254}, {77, 3, 200}};
  const Boolean applies[][3] = {{0, 0, 0}, {1, 1, 1}, {1, 0, 1}, {0, 1, 0}};
  std::mt19937 random(5);
  int cases = 0;
  for (const Layout& layout : layouts) {
    for (int16 columns : columnCounts) {
      for (int padding : {0, 3}) {
        for (bool inPlace : {false, true}) {
          if (inPlace && layout.inStep != layout.planes) continue;
          const int16 rows = 3;
          const int32 inRow = columns * layout.inStep + padding;
          const int32 outRow = columns * layout.planes + padding;
          const size_t inSize = size_t(inRow * (rows - 1) + columns * layout.inStep);
          const size_t outSize = size_t(outRow * (rows - 1) + columns * layout.planes);
          const int variant = cases++ % 4;
          rig.Tone(tones[variant][0], tones[variant][1], tones[variant][2],
                   applies[(cases / 4) % 4][0], applies[(cases / 4) % 4][1],
                   applies[(cases / 4) % 4][2]);
          // No abort, or an abort somewhere in the image.
          const int abortAt = cases % 3 == 0 ? int(random() % unsigned(rows * columns)) + 1 : -1;

          Bytes outputs[2];
          int16 results[2];
          int calls[2];
          std::vector<std::pair<int32, int32>> progress[2];
          const Kernel kernels[2] = {ToneBuffersReference, ToneBuffers};
          for (int k = 0; k < 2; ++k) {
            GuardedBuffer in(inSize), out(outSize);
            in.Fill(unsigned(cases));
            out.Fill(unsigned(cases) + 99);
            Geometry(rows, columns, layout.inStep, layout.planes, layout.mode);
            host.record.inData = in.data();
            host.record.outData = inPlace ? in.data() : out.data();
            host.record.inRowBytes = inRow;
            host.record.outRowBytes = inPlace ? inRow : outRow;
            host.abortCalls = 0;
            host.abortAtCall = abortAt;
            host.progress.clear();
            result = 0;
            kernels[k](&globals, true);
            outputs[k] = inPlace ? in.Bytes() : out.Bytes();
            results[k] = result;
            calls[k] = host.abortCalls;
            progress[k] = host.progress;
          }
          SCOPED_TRACE(testing::Message()
                       << "mode " << layout.mode << " inStep " << layout.inStep << " planes "
                       << layout.planes << " columns " << columns << " padding " << padding
                       << " inPlace " << inPlace << " abortAt " << abortAt);
          ASSERT_EQ(outputs[1], outputs[0]);
          ASSERT_EQ(results[1], results[0]);
          ASSERT_EQ(calls[1], calls[0]);
          ASSERT_EQ(progress[1], progress[0]);
        }
      }
    }
  }
  EXPECT_GT(cases, 1500);
}

} // namespace
