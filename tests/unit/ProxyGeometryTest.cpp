// The proxy geometry: the worked rectangles at zoom 1 and 2, with and without pan,
// the host's answer, and stored values outside the record's range.
#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "engine/ProxyGeometry.h"

namespace {

class ProxyTest : public ::testing::Test {
protected:
  void SetUp() override {
    host.UseAdvanceState([this] {
      advanceCalls++;
      return answer;
    });
    host.record.planes = 4;
  }
  void Compute(Rect filterRect, int16 zoom, int16 offsetH = 0, int16 offsetV = 0) {
    host.record.filterRect = filterRect;
    rig.params.zoom = zoom;
    rig.params.offsetH = offsetH;
    rig.params.offsetV = offsetV;
    ComputeProxy(&globals);
  }

  SimulatedHost host;
  ParameterRig rig{host.record};
  int16 result = 0;
  // The preview area's right and bottom are its width and height.
  PluginGlobals globals{&result, &host.record, {40, 30, 190, 170}};
  int advanceCalls = 0;
  OSErr answer = noErr;
};

TEST_F(ProxyTest, ZoomTwoCentred) {
  Compute(Rect{0, 0, 1000, 1500}, 2);
  const FilterRecord& fr = host.record;
  EXPECT_EQ(fr.filterRect, (Rect{310, 580, 690, 920}));
  EXPECT_EQ(fr.inRect, (Rect{155, 290, 345, 460}));
  EXPECT_EQ(fr.outRect, fr.inRect);
  EXPECT_EQ(fr.maskRect, fr.inRect);
  EXPECT_EQ(fr.inputRate, 131072);
  EXPECT_EQ(fr.maskRate, 131072);
  EXPECT_EQ(rig.params.imageRect, (Rect{0, 0, 1000, 1500}));
  EXPECT_EQ(fr.inLoPlane, 0);
  EXPECT_EQ(fr.inHiPlane, 3);
  EXPECT_EQ(fr.outLoPlane, 0);
  EXPECT_EQ(fr.outHiPlane, 3);
  EXPECT_EQ(fr.inputPadding, 255);
  EXPECT_EQ(fr.outputPadding, 255);
  EXPECT_EQ(fr.maskPadding, 255);
  EXPECT_EQ(advanceCalls, 1);
  EXPECT_EQ(result, noErr);
  EXPECT_TRUE(ProxyBuffersDelivered());
}

TEST_F(ProxyTest, ZoomTwoWithOffsets) {
  Compute(Rect{0, 0, 1000, 1500}, 2, -100, 50);
  EXPECT_EQ(host.record.filterRect, (Rect{360, 480, 740, 820}));
  EXPECT_EQ(host.record.inRect, (Rect{180, 240, 370, 410}));
}

TEST_F(ProxyTest, OddDifferenceGoesToTheFarSide) {
  Compute(Rect{0, 0, 1000, 1001}, 2);
  EXPECT_EQ(host.record.filterRect.left, 330);
  EXPECT_EQ(host.record.filterRect.right, 670);
}

TEST_F(ProxyTest, SmallImageAtZoomTwoAndOne) {
  Compute(Rect{0, 0, 200, 300}, 2);
  EXPECT_EQ(host.record.filterRect, (Rect{0, 0, 200, 300}));
  EXPECT_EQ(host.record.inRect, (Rect{0, 0, 100, 150}));
  EXPECT_EQ(host.record.inputRate, 131072);

  // A pan of 9 moves the area right by 9 and down by as much as the image allows (5).
  Compute(Rect{0, 0, 200, 300}, 1, 9, 9);
  EXPECT_EQ(host.record.filterRect, (Rect{10, 74, 200, 244}));
  Compute(Rect{0, 0, 200, 300}, 1);
  EXPECT_EQ(host.record.filterRect, (Rect{5, 65, 195, 235}));
  EXPECT_EQ(host.record.inRect, host.record.filterRect);
  EXPECT_EQ(host.record.inputRate, 65536);
}

TEST_F(ProxyTest, OffsetsAreHeldToWhatAPanAllows) {
  // An image exactly as wide and tall as zoom x the preview: no pan is possible, so
  // a replayed offset (the dialog's first request comes before any pan limit)
  // leaves the area on the image instead of a pixel past its edge.
  for (int16 offset : {int16(1), int16(-1), int16(7), int16(-32768), int16(32767)}) {
    Compute(Rect{10, 20, 390, 360}, 2, offset, offset);
    EXPECT_EQ(host.record.filterRect, (Rect{10, 20, 390, 360})) << offset;
    EXPECT_EQ(host.record.inRect, (Rect{5, 10, 195, 180})) << offset;
    Compute(Rect{0, 0, 190, 170}, 1, offset, offset);
    EXPECT_EQ(host.record.filterRect, (Rect{0, 0, 190, 170})) << offset;
  }
  // A wider image pans up to its edges and no further.
  Compute(Rect{0, 0, 1000, 1500}, 1, 1000, -1000);
  EXPECT_EQ(host.record.filterRect, (Rect{0, 1330, 190, 1500}));
  Compute(Rect{0, 0, 1000, 1500}, 1, 664, 404);
  EXPECT_EQ(host.record.filterRect, (Rect{809, 1329, 999, 1499}));
}

TEST_F(ProxyTest, TheAreaIsClippedToTheImage) {
  // A filter rectangle reaching past the image (a hostile or careless host) gives a
  // source area inside the image.
  host.record.imageSize = Point{100, 120}; // v, h
  Compute(Rect{-20, -10, 300, 400}, 1);
  EXPECT_EQ(host.record.filterRect, (Rect{0, 0, 100, 120}));
  EXPECT_EQ(rig.params.imageRect, (Rect{-20, -10, 300, 400})); // the host's, restored later
  host.record.imageSize = Point{0, 0};                         // no size given: nothing to clip to
  Compute(Rect{-20, -10, 150, 140}, 1);
  EXPECT_EQ(host.record.filterRect, (Rect{-20, -10, 150, 140}));
}

TEST_F(ProxyTest, APreviewAreaWithoutExtentAsksForNoPixels) {
  // A right or bottom of 0 or below is no width or height: the area is empty and
  // lies on the image, never turned inside out past it.
  for (int16 extent : {int16(0), int16(-1), int16(-400), int16(-32768)}) {
    globals.previewRect = Rect{0, 0, extent, extent};
    Compute(Rect{7, 91, 176, 98}, 12, 5, 5);
    const Rect& f = host.record.filterRect;
    EXPECT_EQ(f.top, f.bottom) << extent;
    EXPECT_EQ(f.left, f.right) << extent;
    EXPECT_GE(f.top, 7);
    EXPECT_LE(f.bottom, 176);
    EXPECT_GE(f.left, 91);
    EXPECT_LE(f.right, 98);
  }
}

TEST_F(ProxyTest, SecondCallWithoutRestoreTreatsTheAreaAsTheImage) {
  Compute(Rect{0, 0, 1000, 1500}, 1);
  const Rect first = host.record.filterRect;
  EXPECT_EQ(first, (Rect{405, 665, 595, 835}));
  ComputeProxy(&globals);
  EXPECT_EQ(rig.params.imageRect, first);
  EXPECT_EQ(host.record.filterRect, first);
}

TEST_F(ProxyTest, HostAnswerLandsInTheResult) {
  answer = -108;
  Compute(Rect{0, 0, 100, 100}, 1);
  EXPECT_EQ(result, -108);
  EXPECT_FALSE(ProxyBuffersDelivered());
  answer = noErr;
  Compute(Rect{0, 0, 100, 100}, 1);
  EXPECT_EQ(result, noErr);
  EXPECT_TRUE(ProxyBuffersDelivered());
}

TEST_F(ProxyTest, NoAdvanceStateIsNeverCalled) {
  host.UseAdvanceState(nullptr);
  result = 0;
  Compute(Rect{0, 0, 1000, 1500}, 2);
  EXPECT_EQ(result, noErr);
  EXPECT_FALSE(ProxyBuffersDelivered());
  EXPECT_EQ(host.record.inRect, (Rect{155, 290, 345, 460}));
}

TEST_F(ProxyTest, StoredZoomBelowOneCountsAsOne) {
  for (int16 zoom : {int16(0), int16(-3)}) {
    Compute(Rect{0, 0, 200, 300}, zoom);
    EXPECT_EQ(host.record.filterRect, (Rect{5, 65, 195, 235}));
    EXPECT_EQ(host.record.inputRate, 65536);
  }
}

TEST(ScaleRect, TruncatesTowardZero) {
  Rect r{-5, -3, 7, 9};
  ScaleRect(&r, 1, 2);
  EXPECT_EQ(r, (Rect{-2, -1, 3, 4}));
  Rect s{100, 30000, -100, 7};
  ScaleRect(&s, 3, 4);
  EXPECT_EQ(s, (Rect{75, 22500, -75, 5}));
  Rect t{1, 2, 3, 4};
  ScaleRect(&t, 1, 0);
  EXPECT_EQ(t, (Rect{1, 2, 3, 4}));
}

} // namespace
