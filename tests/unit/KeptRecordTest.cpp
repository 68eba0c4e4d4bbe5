// Parameter handles that cannot hold a record: shorter than the record by the
// host's own account, or without data. Such a record counts as absent; a routine
// that cannot reach a record says so every time.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "EngineTestSupport.h"
#include "SimulatedHost.h"
#include "fakes/FakePlatform.h"
#include "plugin/TintParameters.h"

namespace {

constexpr int32 kRecordSize = int32(sizeof(TintParameters));

class KeptRecordTest : public ::testing::Test {
protected:
  void SetUp() override {
    fakePlatform.Reset();
    dialogRequested = false;
    host.reportSizes = true;
    host.record.filterRect = Rect{0, 0, 4, 6};
    host.record.maxSpace = 1000;
    host.UseAdvanceState([this] {
      advanceCalls++;
      return noErr;
    });
  }
  // A record that the host kept from an earlier run, of the given size.
  Handle Keep(int32 size) {
    Handle kept = host.procs.newProc(size);
    if (size > 0) std::memset(*kept, 0x7F, size_t(size));
    host.record.parameters = kept;
    return kept;
  }
  bool Live(Handle h) const { return host.hostHandles.count(h) != 0; }

  SimulatedHost host;
  int advanceCalls = 0;
};

TEST_F(KeptRecordTest, ShorterThanTheRecordIsReplacedByAFreshOne) {
  for (int32 size : {0, 1, 2, 20, kRecordSize - 1}) {
    SimulatedHost fresh;
    fresh.reportSizes = true;
    fresh.record.filterRect = Rect{0, 0, 4, 6};
    fresh.record.maxSpace = 1000;
    Handle kept = fresh.procs.newProc(size);
    if (size > 0) std::memset(*kept, 0x7F, size_t(size));
    fresh.record.parameters = kept;

    EXPECT_EQ(fresh.Call(filterSelectorPrepare), noErr) << size;
    // The short handle went back to the host (the fresh one may reuse its address).
    EXPECT_EQ(fresh.disposeCalls, 1) << size;
    EXPECT_EQ(fresh.liveHandles, 2); // globals and the fresh record
    const TintParameters* p = GetParameters(&fresh.record);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->mode, FourCC("moD1"));
    EXPECT_EQ(p->applyRed + p->applyGreen + p->applyBlue, 0);
    EXPECT_EQ(p->zoom, 1);
    EXPECT_EQ(fresh.Call(filterSelectorStart), noErr) << size;
  }
}

TEST_F(KeptRecordTest, WholeOrLongerRecordsAreKeptAsTheyAre) {
  // A record of the right size, or a longer one (a later version's), is the host's
  // record for this filter: nothing is replaced or rewritten.
  for (int32 size : {kRecordSize, kRecordSize + 8}) {
    Handle kept = Keep(size);
    std::vector<char> before(*kept, *kept + size);
    host.Call(filterSelectorParameters);
    EXPECT_EQ(Handle{host.record.parameters}, kept);
    EXPECT_TRUE(Live(kept));
    // Only showDialog (at offset 18) is set by the Parameters selector.
    before[offsetof(TintParameters, showDialog)] = 1;
    EXPECT_EQ(std::vector<char>(*kept, *kept + size), before) << size;
  }
}

TEST_F(KeptRecordTest, SizeZeroFromAHostThatAnswersZeroForEveryHandleIsUsed) {
  // Such a host cannot tell a short record from a whole one: the record is used as
  // it comes (here a whole one, which the host does not size).
  host.reportSizes = false;
  Handle kept = Keep(kRecordSize);
  EXPECT_EQ(host.Call(filterSelectorPrepare), noErr);
  EXPECT_EQ(Handle{host.record.parameters}, kept);
}

TEST_F(KeptRecordTest, ContinueWithAShortRecordReportsMemFull) {
  Handle kept = Keep(kRecordSize - 3);
  host.record.inRect = host.record.outRect = host.record.maskRect = Rect{0, 0, 1, 6};
  EXPECT_EQ(host.Call(filterSelectorContinue), memFullErr);
  EXPECT_FALSE(Live(kept));
  EXPECT_EQ(Handle{host.record.parameters}, nullptr);
  EXPECT_EQ(host.record.inRect, (Rect{0, 0, 0, 0}));
}

TEST_F(KeptRecordTest, KeptHandleWithoutDataIsReplaced) {
  Handle kept = Keep(kRecordSize);
  std::free(*kept);
  *kept = nullptr;
  EXPECT_EQ(host.Call(filterSelectorPrepare), noErr);
  EXPECT_EQ(host.disposeCalls, 1);
  EXPECT_EQ(host.liveHandles, 2);
  const TintParameters* p = GetParameters(&host.record);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->mode, FourCC("moD1"));
}

TEST_F(KeptRecordTest, NewHandleWithoutDataIsReportedByEverySelector) {
  host.nullDataFromCall = 2; // the globals block gets data, every later handle none
  host.record.displayPixels = [](const PSPixelMap*, const VRect*, int32, int32, void*) {
    return OSErr(noErr);
  };
  EXPECT_EQ(host.Call(filterSelectorParameters), memFullErr);
  EXPECT_FALSE(dialogRequested);
  for (int16 selector : {filterSelectorPrepare, filterSelectorStart, filterSelectorContinue,
                         filterSelectorParameters, filterSelectorStart}) {
    EXPECT_EQ(host.Call(selector), memFullErr) << selector;
    EXPECT_EQ(Handle{host.record.parameters}, nullptr) << selector;
  }
  EXPECT_EQ(advanceCalls, 0);
  EXPECT_EQ(fakePlatform.dialogCalls, 0);
  EXPECT_EQ(host.liveHandles, 1); // only the globals block: the empty handles went back
}

} // namespace
