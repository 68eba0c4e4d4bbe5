// Prepare, Start and Continue against a simulated host: the strip plan, both paths
// with the values they leave in the record, abort and failure, and the dialog call.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "EngineTestSupport.h"
#include "engine/ProxyGeometry.h"
#include "engine/Selectors.h"
#include "fakes/FakePlatform.h"

namespace {

OSErr DisplayNothing(const PSPixelMap*, const VRect*, int32, int32, void*) {
  return noErr;
}

// Serves the rows that the record asks for from an image held by the test, and keeps
// what the plug-in writes to the output rows that lie inside the image.
class ImageHost {
public:
  ImageHost(FilterRecord& record, int16 top, int16 width, int16 height, int16 planes)
      : record_(record), top_(top), width_(width), height_(height), planes_(planes),
        source_(size_t(width * height * planes)), result_(source_.size(), 0xEE) {
    for (size_t i = 0; i < source_.size(); ++i)
      source_[i] = uint8((i * 37 + i / 7) & 0xFF);
    record.filterRect = Rect{top, 0, int16(top + height), width};
    record.planes = planes;
  }
  // Buffers for the current inRect (rows outside the image read as 255).
  OSErr Serve() {
    Collect();
    const Rect r = record_.inRect;
    rows_ = r.bottom - r.top;
    rowTop_ = r.top;
    const int32 rowBytes = width_ * planes_;
    in_.assign(size_t(std::max(rows_, 0) * rowBytes), 255);
    out_.assign(in_.size(), 0xEE);
    for (int32 y = 0; y < rows_; ++y) {
      const int32 imageRow = rowTop_ + y - top_;
      if (imageRow < 0 || imageRow >= height_) continue;
      std::copy_n(&source_[size_t(imageRow * rowBytes)], rowBytes, &in_[size_t(y * rowBytes)]);
    }
    record_.inData = in_.data();
    record_.outData = out_.data();
    record_.inRowBytes = record_.outRowBytes = rowBytes;
    servedTops.push_back(r.top);
    servedBottoms.push_back(r.bottom);
    return noErr;
  }
  // The image as the plug-in left it, after the last served rows are taken back.
  const std::vector<uint8>& Result() {
    Collect();
    return result_;
  }
  // The tone rule, computed here for every pixel of an RGB source; bytes past the
  // third keep what the output buffer held.
  std::vector<uint8> Expected(const int16 tone[3], const bool apply[3]) const {
    std::vector<uint8> expected = source_;
    for (size_t i = 0; i + size_t(planes_) <= expected.size(); i += size_t(planes_)) {
      const int sum = source_[i] + source_[i + 1] + source_[i + 2];
      for (int k = 0; k < 3; ++k) {
        if (apply[k]) expected[i + size_t(k)] = uint8((sum + tone[k]) / 4);
      }
      for (int k = 3; k < planes_; ++k)
        expected[i + size_t(k)] = 0xEE;
    }
    return expected;
  }

  std::vector<int16> servedTops, servedBottoms;

private:
  void Collect() {
    const int32 rowBytes = width_ * planes_;
    for (int32 y = 0; y < rows_; ++y) {
      const int32 imageRow = rowTop_ + y - top_;
      if (imageRow < 0 || imageRow >= height_) continue;
      std::copy_n(&out_[size_t(y * rowBytes)], rowBytes, &result_[size_t(imageRow * rowBytes)]);
    }
    rows_ = 0;
  }
  FilterRecord& record_;
  int16 top_, width_, height_, planes_;
  std::vector<uint8> source_, result_, in_, out_;
  int32 rows_ = 0, rowTop_ = 0;
};

class SelectorsTest : public ::testing::Test {
protected:
  void SetUp() override {
    fakePlatform.Reset();
    dialogRequested = false;
  }
  void UsePreviewPath() {
    host.record.displayPixels = DisplayNothing;
    host.UseAdvanceState([this] {
      advanceCalls++;
      return image ? image->Serve() : noErr;
    });
  }
  // Start, then Continue (serving each strip) until the rectangles are empty.
  int RunStrips(int limit = 1000) {
    EXPECT_EQ(host.Call(filterSelectorStart), noErr);
    int continues = 0;
    while (!Empty(host.record.inRect) && continues < limit) {
      image->Serve();
      continues++;
      if (host.Call(filterSelectorContinue) != noErr) break;
    }
    return continues;
  }
  static bool Empty(const Rect& r) { return r == Rect{0, 0, 0, 0}; }
  void ExpectRectangles(const Rect& r) {
    EXPECT_EQ(host.record.inRect, r);
    EXPECT_EQ(host.record.outRect, r);
    EXPECT_EQ(host.record.maskRect, r);
  }

  SimulatedHost host;
  ParameterRig rig{host.record};
  std::unique_ptr<ImageHost> image;
  int advanceCalls = 0;
};

TEST_F(SelectorsTest, PrepareStripPlans) {
  struct Plan {
    int16 storedRows, height;
    int16 expectedRows;
    int32 expectedSpace;
  };
  // 1000 wide, 3 planes: a row costs 7000 bytes; the host offers 1,000,000.
  for (Plan plan :
       {Plan{1, 500, 143, 1001000}, Plan{1, 100, 100, 700000}, Plan{600, 500, 600, 3500000},
        Plan{0, 500, 143, 1001000}, Plan{-7, 500, 143, 1001000}}) {
    rig.params.stripRows = plan.storedRows;
    host.record.filterRect = Rect{0, 0, plan.height, 1000};
    host.record.planes = 3;
    host.record.maxSpace = 1000000;
    host.record.bufferSpace = 1234;
    EXPECT_EQ(host.Call(filterSelectorPrepare), noErr);
    EXPECT_EQ(rig.params.stripRows, plan.expectedRows) << plan.storedRows << " " << plan.height;
    // A stored count above the height is kept, but the host is asked for no more
    // rows than the rectangle has.
    EXPECT_EQ(host.record.maxSpace, plan.expectedSpace);
    EXPECT_EQ(host.record.bufferSpace, 0);
  }
}

TEST_F(SelectorsTest, PrepareOnAnEmptyRectangleAsksForOneRow) {
  // An empty or inverted rectangle still gets a plan of one row (1000 wide, 3
  // planes: 7000 bytes), never a count or a memory request of zero or below.
  for (Rect rect : {Rect{20, 0, 20, 1000}, Rect{30, 0, 20, 1000}}) {
    rig.params.stripRows = 0;
    host.record.filterRect = rect;
    host.record.planes = 3;
    host.record.maxSpace = 1000000;
    host.record.bufferSpace = 1234;
    ASSERT_EQ(host.Call(filterSelectorPrepare), noErr);
    EXPECT_EQ(host.record.maxSpace, 7000) << rect.top << "," << rect.bottom;
    EXPECT_EQ(host.record.bufferSpace, 0);
    EXPECT_GE(rig.params.stripRows, 1);
  }
}

TEST_F(SelectorsTest, PrepareBeyondThirtyTwoBits) {
  // 30000 wide, 3 planes: 210,000 bytes a row.
  host.record.filterRect = Rect{0, 0, 20000, 30000};
  host.record.planes = 3;
  // A stored count whose cost passes 2^31 is kept; the host is asked for the most.
  rig.params.stripRows = 30000;
  host.record.maxSpace = 1000000;
  host.Call(filterSelectorPrepare);
  EXPECT_EQ(rig.params.stripRows, 30000);
  EXPECT_EQ(host.record.maxSpace, std::numeric_limits<int32>::max());
  // Growth stops at the first count whose cost reaches the offer, past 2^31 too.
  rig.params.stripRows = 1;
  host.record.maxSpace = std::numeric_limits<int32>::max();
  host.Call(filterSelectorPrepare);
  EXPECT_EQ(rig.params.stripRows, 10227);
  EXPECT_EQ(host.record.maxSpace, std::numeric_limits<int32>::max());
}

TEST_F(SelectorsTest, StoredStripRowsBeyondTheRectangleAskOnlyForItsRows) {
  // A count kept from a taller image (or any host-kept value) on a 3000 x 2 image
  // with a tiny budget: neither the memory asked for nor a strip exceeds two rows.
  image = std::make_unique<ImageHost>(host.record, 0, 3000, 2, 3);
  rig.Tone(10, 20, 30, true, true, true);
  rig.params.stripRows = 32767;
  host.record.maxSpace = 100;
  ASSERT_EQ(host.Call(filterSelectorPrepare), noErr);
  EXPECT_EQ(host.record.maxSpace, 2 * 7 * 3000);
  EXPECT_EQ(rig.params.stripRows, 32767); // the stored plan itself is kept
  EXPECT_EQ(RunStrips(), 1);
  EXPECT_EQ(image->servedTops, (std::vector<int16>{0}));
  EXPECT_EQ(image->servedBottoms, (std::vector<int16>{2}));
  const int16 tone[3] = {10, 20, 30};
  const bool apply[3] = {true, true, true};
  EXPECT_EQ(image->Result(), image->Expected(tone, apply));
}

TEST_F(SelectorsTest, StripPathOn250Rows) {
  image = std::make_unique<ImageHost>(host.record, 10, 7, 250, 3);
  rig.Tone(30, 200, 90, true, false, true);
  rig.params.stripRows = 100;
  host.record.inputPadding = host.record.outputPadding = host.record.maskPadding = 0;
  host.record.inputRate = 7;
  ASSERT_EQ(host.Call(filterSelectorStart), noErr);
  EXPECT_EQ(rig.params.usePreview, 0);
  ExpectRectangles(Rect{10, 0, 110, 7});
  EXPECT_EQ(host.record.inHiPlane, 2);
  EXPECT_EQ(host.record.outHiPlane, 2);
  EXPECT_EQ(host.record.inputRate, 65536);
  EXPECT_EQ(host.record.maskRate, 65536);
  EXPECT_EQ(host.record.inputPadding, 255);
  EXPECT_EQ(host.record.maskPadding, 255);

  int continues = 0;
  while (!Empty(host.record.inRect)) {
    image->Serve();
    ASSERT_EQ(host.Call(filterSelectorContinue), noErr);
    ASSERT_LT(++continues, 10);
  }
  EXPECT_EQ(image->servedTops, (std::vector<int16>{10, 110, 210}));
  // The last strip stops at the filter rectangle's bottom instead of overhanging it.
  EXPECT_EQ(image->servedBottoms, (std::vector<int16>{110, 210, 260}));
  const int16 tone[3] = {30, 200, 90};
  const bool apply[3] = {true, false, true};
  EXPECT_EQ(image->Result(), image->Expected(tone, apply));
  // One progress report per row, counted from the filter rectangle's top.
  ASSERT_EQ(host.progress.size(), 250u);
  EXPECT_EQ(host.progress[0], (std::pair<int32, int32>{0, 250}));
  EXPECT_EQ(host.progress[100], (std::pair<int32, int32>{100, 250}));
  EXPECT_EQ(host.progress[249], (std::pair<int32, int32>{249, 250}));
}

TEST_F(SelectorsTest, StripPathWhenPreviewIsUnavailable) {
  // Without displayPixels, without advanceState, or in an excluded host.
  for (int variant = 0; variant < 3; ++variant) {
    host.record.displayPixels = variant == 0 ? nullptr : DisplayNothing;
    host.UseAdvanceState(variant == 1 ? std::function<OSErr()>() : [] { return noErr; });
    rig.params.hostExcluded = variant == 2;
    rig.params.stripRows = 3;
    host.record.filterRect = Rect{5, 2, 50, 40};
    ASSERT_EQ(host.Call(filterSelectorStart), noErr);
    EXPECT_EQ(rig.params.usePreview, 0) << variant;
    ExpectRectangles(Rect{5, 2, 8, 40});
  }
}

TEST_F(SelectorsTest, StoredStripRowsBelowOneStillFinish) {
  image = std::make_unique<ImageHost>(host.record, 0, 3, 5, 3);
  rig.Tone(0, 0, 0, true, true, true);
  rig.params.stripRows = 0;
  EXPECT_EQ(RunStrips(), 5);
  EXPECT_EQ(image->servedTops, (std::vector<int16>{0, 1, 2, 3, 4}));
  EXPECT_EQ(rig.params.stripRows, 0); // the stored value itself is left alone
}

TEST_F(SelectorsTest, StripsNearTheLargestCoordinateDoNotWrap) {
  image = std::make_unique<ImageHost>(host.record, 32700, 2, 67, 3);
  rig.params.stripRows = 50;
  EXPECT_EQ(RunStrips(), 2);
  EXPECT_EQ(image->servedTops, (std::vector<int16>{32700, 32750}));
  EXPECT_EQ(image->servedBottoms, (std::vector<int16>{32750, 32767}));
}

TEST_F(SelectorsTest, ZeroHeightRectangle) {
  // Strip path: one strip of one row is asked for, the following Continue empties.
  host.record.filterRect = Rect{20, 0, 20, 8};
  rig.params.stripRows = 4;
  ASSERT_EQ(host.Call(filterSelectorStart), noErr);
  ExpectRectangles(Rect{20, 0, 21, 8});
  ASSERT_EQ(host.Call(filterSelectorContinue), noErr);
  ExpectRectangles(Rect{0, 0, 0, 0});
  // Preview path: nothing is asked for.
  UsePreviewPath();
  ASSERT_EQ(host.Call(filterSelectorStart), noErr);
  EXPECT_EQ(advanceCalls, 0);
  ExpectRectangles(Rect{0, 0, 0, 0});
}

TEST_F(SelectorsTest, PreviewPathTonesWholeImageInOneAdvance) {
  image = std::make_unique<ImageHost>(host.record, 3, 9, 40, 4);
  UsePreviewPath();
  rig.Tone(255, 0, 17, false, true, true);
  rig.params.stripRows = 5;
  host.record.inputPadding = host.record.outputPadding = host.record.maskPadding = 7;
  ASSERT_EQ(host.Call(filterSelectorStart), noErr);
  EXPECT_EQ(rig.params.usePreview, 1);
  EXPECT_EQ(advanceCalls, 1);
  EXPECT_EQ(image->servedTops, (std::vector<int16>{3}));
  EXPECT_EQ(image->servedBottoms, (std::vector<int16>{43}));
  EXPECT_EQ(rig.params.stripRows, 40);
  ExpectRectangles(Rect{0, 0, 0, 0});
  EXPECT_EQ(host.record.inHiPlane, 3);
  EXPECT_EQ(host.record.inputRate, 65536);
  EXPECT_EQ(host.record.inputPadding, 7);
  EXPECT_EQ(host.record.maskPadding, 7);
  EXPECT_EQ(host.progress.size(), 40u);
  const int16 tone[3] = {255, 0, 17};
  const bool apply[3] = {false, true, true};
  EXPECT_EQ(image->Result(), image->Expected(tone, apply));
  // A Continue that still arrives only empties the rectangles.
  host.record.inRect = Rect{1, 1, 2, 2};
  EXPECT_EQ(host.Call(filterSelectorContinue), noErr);
  ExpectRectangles(Rect{0, 0, 0, 0});
}

TEST_F(SelectorsTest, PreviewPathTonesEveryRowOfARectangleTallerThan16Bits) {
  // 40000 rows: the height is no 16-bit count, and every row is still toned, with
  // progress counting to the whole height.
  host.record.filterRect = Rect{-20000, 0, 20000, 1};
  host.record.planes = 3;
  const int32 rows = 40000;
  std::vector<uint8> in(size_t(rows) * 3), out(in.size(), 0xEE);
  for (size_t i = 0; i < in.size(); ++i)
    in[i] = uint8(i * 11 + 5);
  host.record.displayPixels = DisplayNothing;
  host.UseAdvanceState([&] {
    advanceCalls++;
    EXPECT_EQ(host.record.inRect, (Rect{-20000, 0, 20000, 1}));
    host.record.inData = in.data();
    host.record.outData = out.data();
    host.record.inRowBytes = host.record.outRowBytes = 3;
    return noErr;
  });
  rig.Tone(40, 80, 120, true, true, true);
  ASSERT_EQ(host.Call(filterSelectorStart), noErr);
  EXPECT_EQ(advanceCalls, 1);
  ASSERT_EQ(host.progress.size(), size_t(rows));
  EXPECT_EQ(host.progress.back(), (std::pair<int32, int32>{rows - 1, rows}));
  int wrong = 0;
  for (size_t px = 0; px < size_t(rows); ++px) {
    const int sum = in[3 * px] + in[3 * px + 1] + in[3 * px + 2];
    const int tone[3] = {40, 80, 120};
    for (int k = 0; k < 3; ++k)
      wrong += out[3 * px + size_t(k)] != uint8((sum + tone[k]) / 4);
  }
  EXPECT_EQ(wrong, 0);
  // The kept strip height stays a positive 16-bit count.
  EXPECT_EQ(rig.params.stripRows, 32767);
}

TEST_F(SelectorsTest, PreviewPathFailureAndAbort) {
  image = std::make_unique<ImageHost>(host.record, 0, 4, 6, 3);
  host.record.displayPixels = DisplayNothing;
  host.UseAdvanceState([] { return OSErr(-9); });
  EXPECT_EQ(host.Call(filterSelectorStart), -9);
  ExpectRectangles(Rect{0, 0, 0, 0});
  EXPECT_TRUE(host.progress.empty());

  UsePreviewPath();
  host.abortAtCall = 1; // before the pass: nothing is fetched
  EXPECT_EQ(host.Call(filterSelectorStart), userCanceledErr);
  EXPECT_EQ(advanceCalls, 0);
  ExpectRectangles(Rect{0, 0, 0, 0});

  host.abortCalls = 0;
  host.abortAtCall = 10; // inside the pass, at the 9th pixel
  EXPECT_EQ(host.Call(filterSelectorStart), userCanceledErr);
  EXPECT_EQ(advanceCalls, 1);
  ExpectRectangles(Rect{0, 0, 0, 0});
}

TEST_F(SelectorsTest, ContinueAbort) {
  image = std::make_unique<ImageHost>(host.record, 0, 4, 6, 3);
  rig.params.stripRows = 2;
  ASSERT_EQ(host.Call(filterSelectorStart), noErr);
  image->Serve();
  host.abortAtCall = 1; // on entry: the rectangles stay
  EXPECT_EQ(host.Call(filterSelectorContinue), userCanceledErr);
  ExpectRectangles(Rect{0, 0, 2, 4});

  host.abortCalls = 0;
  host.abortAtCall = 3; // inside the strip: the rectangles move on all the same
  EXPECT_EQ(host.Call(filterSelectorContinue), userCanceledErr);
  ExpectRectangles(Rect{2, 0, 4, 4});
}

TEST_F(SelectorsTest, ParametersCallMakesEveryLaterStartShowTheDialog) {
  host.record.filterRect = Rect{0, 0, 10, 10};
  ASSERT_EQ(host.Call(filterSelectorParameters), noErr);
  bool showDialogWhileOpen = false;
  fakePlatform.dialog = [&](PluginGlobals* globals) {
    showDialogWhileOpen = GetParameters(globals->filterRecord)->showDialog != 0;
    return true;
  };
  ASSERT_EQ(host.Call(filterSelectorStart), noErr);
  EXPECT_EQ(fakePlatform.dialogCalls, 1);
  EXPECT_TRUE(showDialogWhileOpen);
  EXPECT_EQ(rig.params.showDialog, 0);
  // A repeated run without Parameters still shows it.
  ASSERT_EQ(host.Call(filterSelectorPrepare), noErr);
  ASSERT_EQ(host.Call(filterSelectorStart), noErr);
  EXPECT_EQ(fakePlatform.dialogCalls, 2);
}

TEST_F(SelectorsTest, NoDialogWithoutRequest) {
  host.record.filterRect = Rect{0, 0, 10, 10};
  ASSERT_EQ(host.Call(filterSelectorStart), noErr);
  EXPECT_EQ(fakePlatform.dialogCalls, 0);
}

TEST_F(SelectorsTest, CancelInTheDialogStopsStart) {
  UsePreviewPath();
  host.record.filterRect = Rect{0, 0, 10, 10};
  rig.params.showDialog = 1;
  fakePlatform.dialog = [](PluginGlobals* globals) {
    globals->filterRecord->inRect = Rect{1, 2, 3, 4};
    *globals->result = userCanceledErr;
    return false;
  };
  EXPECT_EQ(host.Call(filterSelectorStart), userCanceledErr);
  EXPECT_EQ(fakePlatform.dialogCalls, 1);
  EXPECT_EQ(advanceCalls, 0);
  EXPECT_EQ(host.record.inRect, (Rect{1, 2, 3, 4}));
  EXPECT_EQ(rig.params.showDialog, 0);
}

TEST_F(SelectorsTest, TonePreviewRunsOnlyOnDeliveredProxyBuffers) {
  host.record.filterRect = Rect{0, 0, 1, 2};
  host.record.outRect = host.record.filterRect;
  host.record.inLoPlane = 0;
  host.record.inHiPlane = 2;
  uint8 in[6] = {4, 4, 4, 8, 8, 8}, out[6] = {};
  host.record.inData = in;
  host.record.outData = out;
  host.record.inRowBytes = host.record.outRowBytes = 6;
  rig.Tone(0, 0, 0, true, true, true);
  int16 result = 0;
  PluginGlobals globals{&result, &host.record, {0, 0, 10, 10}};

  OSErr answer = -1;
  host.UseAdvanceState([&] { return answer; });
  rig.params.usePreview = 1;
  ForgetProxyBuffers();
  TonePreview(&globals, false); // no proxy fetched yet
  EXPECT_EQ(out[0], 0);
  ComputeProxy(&globals);
  EXPECT_EQ(result, -1);
  EXPECT_FALSE(ProxyBuffersDelivered());
  TonePreview(&globals, false);
  EXPECT_EQ(out[0], 0);

  answer = noErr;
  host.record.filterRect = rig.params.imageRect;
  ComputeProxy(&globals);
  EXPECT_TRUE(ProxyBuffersDelivered());
  host.record.outRect = Rect{0, 0, 1, 2};
  rig.params.usePreview = 0;
  TonePreview(&globals, false);
  EXPECT_EQ(out[0], 0);
  rig.params.usePreview = 1;
  TonePreview(&globals, false);
  EXPECT_EQ(out[0], 3);
  EXPECT_EQ(out[3], 6);
  EXPECT_TRUE(host.progress.empty());
}

} // namespace
