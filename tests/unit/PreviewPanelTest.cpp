// The preview panel's operations against a simulated host: which paths fetch a
// proxy (advanceState), from which rectangle, and what they leave in the record;
// and that nothing calls advanceState on a host that does not offer it.
#include <gtest/gtest.h>

#include <vector>

#include "SimulatedHost.h"
#include "plugin/TintParameters.h"
#include "ui/DialogIds.h"
#include "ui/PreviewPanel.h"

namespace {

class PreviewPanelTest : public ::testing::Test {
protected:
  void SetUp() override {
    globals.result = &host.result;
    globals.filterRecord = &host.record;
    host.result = 0;
    CreateDefaultParameters(&globals);
    params = GetParameters(&host.record);
    ASSERT_NE(params, nullptr);
    host.record.filterRect = Rect{0, 0, 1000, 1500};
    host.record.imageMode = plugInModeRGBColor;
    globals.previewRect = Rect{0, 0, 190, 170};
    host.UseAdvanceState([this] { return Deliver(); });
    state = PreviewState{};
    state.previewBounds = PreviewBounds{0, 0, 170, 190};
    // What the dialog's opening does before the first proxy.
    params->zoom = 1;
    params->usePreview = 1;
    params->imageRect = host.record.filterRect;
  }

  // Serves buffers for the requested proxy rectangle, as a host does, and records
  // the source rectangle it was asked for.
  OSErr Deliver() {
    FilterRecord& fr = host.record;
    fetches.push_back(fr.filterRect);
    const int w = fr.inRect.right - fr.inRect.left;
    const int h = fr.inRect.bottom - fr.inRect.top;
    const int planes = fr.planes;
    const size_t size = size_t(w > 0 ? w : 0) * size_t(h > 0 ? h : 0) * size_t(planes);
    in.assign(size + 1, 100);
    out.assign(size + 1, 100);
    fr.inData = in.data();
    fr.outData = out.data();
    fr.inRowBytes = fr.outRowBytes = w * planes;
    if (failNext > 0) {
      --failNext;
      return -1;
    }
    return noErr;
  }

  void Open() {
    FetchOpeningProxy(&globals);
    UpdatePanLimits(&globals, state);
  }

  SimulatedHost host;
  PluginGlobals globals{};
  TintParameters* params = nullptr;
  PreviewState state{};
  std::vector<Rect> fetches;
  std::vector<unsigned char> in, out;
  int failNext = 0;
};

bool SameRect(const Rect& a, const Rect& b) {
  return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}

TEST_F(PreviewPanelTest, OpeningFetchesOnceAndMeasuresThePanLimits) {
  Open();
  ASSERT_EQ(fetches.size(), 1u);
  EXPECT_TRUE(SameRect(fetches[0], Rect{405, 665, 595, 835}));
  EXPECT_EQ(params->usePreview, 1);
  EXPECT_EQ(state.panLimitLeft, 665);
  EXPECT_EQ(state.panLimitRight, 665);
  EXPECT_EQ(state.panLimitTop, 405);
  EXPECT_EQ(state.panLimitBottom, 405);
}

TEST_F(PreviewPanelTest, FailingFirstFetchTurnsThePreviewOffAndClearsTheResult) {
  failNext = 1;
  Open();
  EXPECT_EQ(params->usePreview, 0);
  EXPECT_EQ(host.result, noErr);
}

TEST_F(PreviewPanelTest, PanButtonRefetchesFromTheFullRectangleEvenAtALimit) {
  Open();
  for (int i = 0; i < 20; ++i)
    ASSERT_TRUE(PanPreview(&globals, state, kIdPanD));
  EXPECT_EQ(params->offsetH, 665); // held at the right limit
  const size_t before = fetches.size();
  ASSERT_TRUE(PanPreview(&globals, state, kIdPanD));
  EXPECT_EQ(fetches.size(), before + 1); // still refetched
  EXPECT_EQ(params->offsetH, 665);
  EXPECT_TRUE(SameRect(fetches.back(), Rect{405, 1330, 595, 1500}));
  // E at the right limit still moves up; the source comes from the full
  // rectangle again, not from the last source area.
  ASSERT_TRUE(PanPreview(&globals, state, kIdPanE));
  EXPECT_EQ(params->offsetH, 665);
  EXPECT_EQ(params->offsetV, -50);
  EXPECT_TRUE(SameRect(fetches.back(), Rect{355, 1330, 545, 1500}));
  EXPECT_FALSE(PanPreview(&globals, state, kIdZoomIn));
}

TEST_F(PreviewPanelTest, DragFetchesPerMoveAndButtonUpOnlyRetones) {
  Open();
  params->zoom = 3;
  state.panLimitLeft = state.panLimitRight = 500;
  BeginDrag(state, 100, 100);
  const size_t before = fetches.size();
  DragPreview(&globals, state, 110, 100);
  EXPECT_EQ(fetches.size(), before + 1);
  EXPECT_EQ(params->offsetH, -30);
  ReleasePreview(&globals, state);
  EXPECT_EQ(fetches.size(), before + 1);
  EXPECT_EQ(state.panH, -30);
  EXPECT_EQ(state.dragging, 0);
}

TEST_F(PreviewPanelTest, DoubleClickCentresWithOneFetch) {
  Open();
  PanPreview(&globals, state, kIdPanC);
  const size_t before = fetches.size();
  CentrePreview(&globals, state);
  EXPECT_EQ(fetches.size(), before + 1);
  EXPECT_EQ(params->offsetH, 0);
  EXPECT_EQ(params->offsetV, 0);
  EXPECT_EQ(state.panH, 0);
  EXPECT_TRUE(SameRect(fetches.back(), fetches.front()));
}

TEST_F(PreviewPanelTest, ZoomFetchesTwiceAndCarriesThePanPosition) {
  Open();
  state.panH = 101;
  params->offsetH = 101;
  const size_t before = fetches.size();
  const ZoomDecision d = ZoomPreviewState(&globals, state, kIdZoomOut);
  EXPECT_EQ(fetches.size(), before + 2);
  EXPECT_EQ(d.zoom, 2);
  EXPECT_EQ(params->zoom, 2);
  // First the centred source at the new factor, then the carried position.
  EXPECT_TRUE(SameRect(fetches[before], Rect{310, 580, 690, 920}));
  EXPECT_EQ(state.panLimitLeft, 580);
  EXPECT_EQ(params->offsetH, 100);
  EXPECT_TRUE(SameRect(fetches.back(), Rect{310, 680, 690, 1020}));
  EXPECT_EQ(host.record.inputRate, 2 * 65536);
}

TEST_F(PreviewPanelTest, SecondOpeningStartsCentredAndPansFiftyFromTheCentre) {
  Open();
  PanPreview(&globals, state, kIdPanD);
  // The dialog closes (offsets to 0) and opens again in the same process.
  params->offsetH = params->offsetV = 0;
  host.record.filterRect = params->imageRect;
  state = PreviewState{};
  state.previewBounds = PreviewBounds{0, 0, 170, 190};
  Open();
  EXPECT_TRUE(SameRect(fetches.back(), fetches.front()));
  PanPreview(&globals, state, kIdPanA);
  EXPECT_EQ(params->offsetH, -50);
}

TEST_F(PreviewPanelTest, HostWithoutAdvanceStateGetsNoCallAndNoChange) {
  host.UseAdvanceState(nullptr);
  Open();
  EXPECT_EQ(params->usePreview, 0);
  state.panLimitLeft = state.panLimitRight = state.panLimitTop = state.panLimitBottom = 500;
  EXPECT_FALSE(PanPreview(&globals, state, kIdPanD));
  BeginDrag(state, 10, 10);
  DragPreview(&globals, state, 40, 40);
  CentrePreview(&globals, state);
  const ZoomDecision d = ZoomPreviewState(&globals, state, kIdZoomOut);
  EXPECT_EQ(d.zoom, 0);
  EXPECT_EQ(params->zoom, 1);
  EXPECT_EQ(params->offsetH, 0);
  EXPECT_EQ(params->offsetV, 0);
  EXPECT_TRUE(fetches.empty());
}

} // namespace
