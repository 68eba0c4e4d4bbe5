// The preview panel's arithmetic: pan limits, the pan buttons, dragging, double
// click, the zoom buttons' rules and the placing of the proxy.
#include <gtest/gtest.h>

#include "ui/DialogIds.h"
#include "ui/PreviewMath.h"

namespace {

PreviewState WithLimits(int32 left, int32 top, int32 right, int32 bottom) {
  PreviewState s{};
  s.panLimitLeft = left;
  s.panLimitTop = top;
  s.panLimitRight = right;
  s.panLimitBottom = bottom;
  return s;
}

TEST(PreviewMathTest, PanLimitsAreTheRoomOnEachSideOfTheSource) {
  PreviewState s{};
  // Source (310, 580, 690, 920) in an image (0, 0, 1000, 1500).
  SetPanLimits(s, Rect{310, 580, 690, 920}, Rect{0, 0, 1000, 1500});
  EXPECT_EQ(s.panLimitLeft, 580);
  EXPECT_EQ(s.panLimitTop, 310);
  EXPECT_EQ(s.panLimitRight, 580);
  EXPECT_EQ(s.panLimitBottom, 310);
  // An image no larger than the source on an axis: no room at all.
  SetPanLimits(s, Rect{0, 0, 200, 300}, Rect{0, 0, 200, 300});
  EXPECT_EQ(s.panLimitLeft + s.panLimitRight + s.panLimitTop + s.panLimitBottom, 0);
}

TEST(PreviewMathTest, ClampTestsTheLowerEndFirst) {
  EXPECT_EQ(ClampToLimits(-100, 30, 40), -30);
  EXPECT_EQ(ClampToLimits(100, 30, 40), 40);
  EXPECT_EQ(ClampToLimits(5, 30, 40), 5);
  // Contradictory limits (garbage geometry): the upper end wins, as tested last.
  EXPECT_EQ(ClampToLimits(-100, -50, 20), 20);
}

TEST(PreviewMathTest, PanButtonsMoveFiftyPixelsInTheirDirections) {
  const struct {
    int id;
    int32 h, v;
  } cases[] = {{kIdPanE, 50, -50}, {kIdPanC, 50, 50}, {kIdPanD, 50, 0},  {kIdPanQ, -50, -50},
               {kIdPanZ, -50, 50}, {kIdPanA, -50, 0}, {kIdPanW, 0, -50}, {kIdPanX, 0, 50}};
  for (const auto& c : cases) {
    PreviewState s = WithLimits(500, 500, 500, 500);
    ASSERT_TRUE(ApplyPanButton(s, c.id)) << c.id;
    EXPECT_EQ(s.panH, c.h) << c.id;
    EXPECT_EQ(s.panV, c.v) << c.id;
  }
  PreviewState s = WithLimits(500, 500, 500, 500);
  EXPECT_FALSE(ApplyPanButton(s, kIdZoomIn));
  EXPECT_FALSE(ApplyPanButton(s, 1012));
  EXPECT_EQ(s.panH, 0);
}

TEST(PreviewMathTest, PanAtLimitsAndCornersClampsEachAxis) {
  PreviewState s = WithLimits(60, 60, 80, 80);
  s.panH = 80; // at the right limit
  ASSERT_TRUE(ApplyPanButton(s, kIdPanD));
  EXPECT_EQ(s.panH, 80);
  ASSERT_TRUE(ApplyPanButton(s, kIdPanE)); // still moves up
  EXPECT_EQ(s.panH, 80);
  EXPECT_EQ(s.panV, -50);
  ASSERT_TRUE(ApplyPanButton(s, kIdPanE)); // up to the top limit
  EXPECT_EQ(s.panV, -60);
  // From the top-right corner, Q moves left only.
  ASSERT_TRUE(ApplyPanButton(s, kIdPanQ));
  EXPECT_EQ(s.panH, 30);
  EXPECT_EQ(s.panV, -60);
  // A pan position outside the (new) limits is clamped before the move.
  s = WithLimits(10, 10, 10, 10);
  s.panH = 400;
  ASSERT_TRUE(ApplyPanButton(s, kIdPanA));
  EXPECT_EQ(s.panH, -10);
  // No room on an axis: the offset stays 0.
  s = WithLimits(0, 0, 0, 0);
  ASSERT_TRUE(ApplyPanButton(s, kIdPanC));
  EXPECT_EQ(s.panH, 0);
  EXPECT_EQ(s.panV, 0);
}

TEST(PreviewMathTest, DragAtZoomThreeMovesThreeImagePixelsPerScreenPixel) {
  PreviewState s = WithLimits(500, 500, 500, 500);
  BeginDrag(s, 100, 100);
  EXPECT_EQ(s.dragging, 1);
  DragTo(s, 3, 110, 100); // 10 pixels right
  EXPECT_EQ(s.dragDeltaH, -30);
  EXPECT_EQ(s.dragOffsetH, -30);
  EXPECT_EQ(s.dragOffsetV, 0);
  EXPECT_EQ(s.panH, 0); // the pan position moves only at button up
  EndDrag(s);
  EXPECT_EQ(s.dragging, 0);
  EXPECT_EQ(s.panH, -30);
  EXPECT_EQ(s.dragDeltaH, 0);
  EXPECT_EQ(s.dragDeltaV, 0);
}

TEST(PreviewMathTest, DragPastALimitHoldsAndTurnsBackAtOnce) {
  PreviewState s = WithLimits(20, 500, 500, 500);
  BeginDrag(s, 100, 100);
  DragTo(s, 1, 110, 100); // offset -10
  EXPECT_EQ(s.dragOffsetH, -10);
  DragTo(s, 1, 130, 100); // -30 would pass the left limit of 20
  EXPECT_EQ(s.dragOffsetH, -20);
  EXPECT_EQ(s.panH, -20);
  EXPECT_EQ(s.anchorX, 130);
  DragTo(s, 1, 150, 100); // the cursor goes on, the offset stays
  EXPECT_EQ(s.dragOffsetH, -20);
  EXPECT_EQ(s.anchorX, 150);
  DragTo(s, 1, 149, 100); // the first pixel back moves the image again
  EXPECT_EQ(s.dragOffsetH, -19);
  EndDrag(s);
  EXPECT_EQ(s.panH, -19);
}

TEST(PreviewMathTest, ClickWithoutMovingAndButtonUpWithoutDragChangeNothing) {
  PreviewState s = WithLimits(500, 500, 500, 500);
  s.panH = 40;
  s.panV = -60;
  BeginDrag(s, 70, 80);
  EndDrag(s);
  EXPECT_EQ(s.panH, 40);
  EXPECT_EQ(s.panV, -60);
  EndDrag(s);
  EXPECT_EQ(s.panH, 40);
}

TEST(PreviewMathTest, AbandonedDragLeavesPanPositionAndDragging) {
  PreviewState s = WithLimits(500, 500, 500, 500);
  BeginDrag(s, 100, 100);
  DragTo(s, 2, 120, 90);
  AbandonDrag(s);
  EXPECT_EQ(s.dragging, 0);
  EXPECT_EQ(s.dragDeltaH, 0);
  EXPECT_EQ(s.dragDeltaV, 0);
  EXPECT_EQ(s.panH, 0);
}

TEST(PreviewMathTest, DoubleClickCentres) {
  PreviewState s = WithLimits(500, 500, 500, 500);
  s.panH = 150;
  s.panV = -100;
  s.anchorX = 9;
  s.dragOffsetV = 7;
  CentrePan(s);
  EXPECT_EQ(s.panH, 0);
  EXPECT_EQ(s.panV, 0);
  EXPECT_EQ(s.anchorX, 0);
  EXPECT_EQ(s.dragOffsetV, 0);
}

TEST(PreviewMathTest, PanPositionSurvivesAZoomLessOneForOddValues) {
  PreviewState s = WithLimits(500, 500, 500, 500);
  s.panH = 101;
  s.panV = -101;
  CarryPanAcrossZoom(s, 101, -101);
  EXPECT_EQ(s.panH, 100);
  EXPECT_EQ(s.panV, -100);
  // Clamped to the new, smaller limits.
  s = WithLimits(30, 30, 30, 30);
  s.panH = 200;
  CarryPanAcrossZoom(s, 200, 0);
  EXPECT_EQ(s.panH, 30);
}

TEST(PreviewMathTest, HitTestIsInclusiveOnAllFourEdges) {
  const PreviewBounds b{10, 20, 110, 220};
  EXPECT_TRUE(InsidePreview(b, 10, 20));
  EXPECT_TRUE(InsidePreview(b, 110, 220));
  EXPECT_FALSE(InsidePreview(b, 9, 50));
  EXPECT_FALSE(InsidePreview(b, 111, 50));
  EXPECT_FALSE(InsidePreview(b, 50, 19));
  EXPECT_FALSE(InsidePreview(b, 50, 221));
}

TEST(PreviewMathTest, ZoomButtonsFollowTheThousandPixelExample) {
  const Rect image{0, 0, 1000, 1000};
  const PreviewBounds bounds{0, 0, 200, 300};
  ZoomDecision d = OpeningZoomButtons(image, bounds);
  EXPECT_EQ(d.zoomIn, ButtonChange::Disable);
  EXPECT_EQ(d.zoomOut, ButtonChange::Leave); // 1000 / 2 = 500 is not below 300

  d = DecideZoom(kIdZoomOut, 1, image, bounds);
  EXPECT_EQ(d.zoom, 2);
  EXPECT_EQ(d.zoomOut, ButtonChange::Leave); // 1000 / 3 = 333
  EXPECT_EQ(d.zoomIn, ButtonChange::Enable);
  EXPECT_EQ(d.focus, 0);

  d = DecideZoom(kIdZoomOut, 2, image, bounds);
  EXPECT_EQ(d.zoom, 3);
  EXPECT_EQ(d.zoomOut, ButtonChange::Disable); // 1000 / 4 = 250 is below 300
  EXPECT_EQ(d.focus, kIdZoomIn);

  d = DecideZoom(kIdZoomIn, 3, image, bounds);
  EXPECT_EQ(d.zoom, 2);
  EXPECT_EQ(d.zoomIn, ButtonChange::Enable);
  EXPECT_EQ(d.zoomOut, ButtonChange::Enable); // 1000 / 2 = 500 is above 200
  EXPECT_EQ(d.focus, 0);

  d = DecideZoom(kIdZoomIn, 2, image, bounds);
  EXPECT_EQ(d.zoom, 1);
  EXPECT_EQ(d.zoomIn, ButtonChange::Disable);
  EXPECT_EQ(d.focus, kIdZoomOut);
}

TEST(PreviewMathTest, SmallImageStartsWithReductionDisabled) {
  // Less than twice the proxy's right coordinate wide.
  const ZoomDecision d = OpeningZoomButtons(Rect{0, 0, 1000, 399}, PreviewBounds{0, 0, 200, 300});
  EXPECT_EQ(d.zoomOut, ButtonChange::Disable);
}

TEST(PreviewMathTest, ZoomNeverLeavesItsRangeWhateverTheRecordHolds) {
  const Rect image{0, 0, 1000, 1000};
  const PreviewBounds bounds{0, 0, 0, 0}; // nothing ever too small
  EXPECT_EQ(DecideZoom(kIdZoomIn, 0, image, bounds).zoom, 1);
  EXPECT_EQ(DecideZoom(kIdZoomIn, -5, image, bounds).zoom, 1);
  EXPECT_EQ(DecideZoom(kIdZoomOut, -5, image, bounds).zoom, 2);
  const ZoomDecision top = DecideZoom(kIdZoomOut, kMaxZoom - 1, image, bounds);
  EXPECT_EQ(top.zoom, kMaxZoom);
  EXPECT_EQ(top.zoomOut, ButtonChange::Disable);
  EXPECT_EQ(DecideZoom(kIdZoomOut, kMaxZoom, image, bounds).zoom, kMaxZoom);
  EXPECT_EQ(EffectiveZoom(0), 1);
  EXPECT_EQ(EffectiveZoom(-3), 1);
  EXPECT_EQ(EffectiveZoom(4), 4);
}

TEST(PreviewMathTest, ProxyIsCentredOnTheAnchorHalvingScreenCoordinates) {
  // Anchor at screen (101, 200)-(200, 300), client origin (40, 60), proxy 50 x 30.
  const PreviewBounds b = PlaceProxy(101, 200, 200, 300, 40, 60, Rect{0, 0, 30, 50});
  EXPECT_EQ(b.left, (101 + 200 - 50) / 2 - 40); // 125 - 40
  EXPECT_EQ(b.top, (200 + 300 - 30) / 2 - 60);
  EXPECT_EQ(b.right, b.left + 50);
  EXPECT_EQ(b.bottom, b.top + 30);
  // A proxy larger than the anchor overhangs it on both sides.
  const PreviewBounds big = PlaceProxy(100, 100, 160, 170, 0, 0, Rect{10, 20, 210, 220});
  EXPECT_EQ(big.left, 30);
  EXPECT_EQ(big.right, 230);
  EXPECT_EQ(big.top, 35);
  EXPECT_EQ(big.bottom, 235);
}

} // namespace
