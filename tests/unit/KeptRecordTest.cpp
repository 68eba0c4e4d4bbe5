// Parameter handles that cannot hold a record: shorter than the record by the
// host's own account, or without data. Such a record counts as absent; a routine
// that cannot reach a record says so every time.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "SimulatedHost.h"
#include "fakes/FakePlatform.h"
#include "host/Handles.h"
#include "host/SystemMemory.h"
#include "host/SystemMemoryNative.h"
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

TEST_F(KeptRecordTest, NegativeSizeAnswersCountAsZero) {
  // From a suite that sizes the globals block, a negative answer for the record
  // counts as an empty handle: replaced. From a suite that sizes nothing, it says
  // nothing, like 0: the record is used as it comes.
  Handle kept = Keep(kRecordSize);
  host.sizeAnswer = [kept](Handle h, int32 size) { return h == kept ? -1 : size; };
  EXPECT_EQ(host.Call(filterSelectorPrepare), noErr);
  EXPECT_EQ(host.disposeCalls, 1); // the fresh record may reuse its address
  EXPECT_EQ(GetParameters(&host.record)->applyRed, 0);

  SimulatedHost other;
  other.record.filterRect = Rect{0, 0, 4, 6};
  Handle whole = other.procs.newProc(kRecordSize);
  std::memset(*whole, 0, size_t(kRecordSize));
  other.record.parameters = whole;
  other.sizeAnswer = [whole](Handle h, int32) { return h == whole ? int32(-40) : 0; };
  EXPECT_EQ(other.Call(filterSelectorPrepare), noErr);
  EXPECT_EQ(Handle{other.record.parameters}, whole);
  // Every call asks for the record's size and, as it tells none, the block's too.
  const int before = other.getSizeCalls;
  EXPECT_EQ(other.Call(filterSelectorPrepare), noErr);
  EXPECT_EQ(other.getSizeCalls - before, 2);
}

// Hosts whose suite the plug-in does not use: it works through the fallback.
void BreakSuite(SimulatedHost& host, const std::string& flaw) {
  if (flaw == "null-set-size") host.procs.setSizeProc = nullptr;
  if (flaw == "version-2") host.procs.handleProcsVersion = 2;
  if (flaw == "count-4") host.procs.numHandleProcs = 4;
  if (flaw == "none") host.UseHandleProcs(false);
  ASSERT_FALSE(HandleProcsUsable(host.record.handleProcs));
}

// A record that the fallback made as for a first run: no channel enabled.
void ExpectFreshRecordOfTheFallback(const SimulatedHost& host) {
  EXPECT_TRUE(IsFallbackHandle(host.record.parameters));
  const TintParameters* p = GetParameters(&host.record);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->mode, FourCC("moD1"));
  EXPECT_EQ(p->applyRed + p->applyGreen + p->applyBlue, 0);
}

class KeptRecordWithoutSuiteTest : public KeptRecordTest {
protected:
  void SetUp() override {
    KeptRecordTest::SetUp();
    FailSystemMemoryAfter(-1);
    before = LiveSystemMemoryBlocks();
  }
  void TearDown() override {
    // The fallback's handles that the host kept go back, so that none outlives the test.
    if (IsFallbackHandle(host.record.parameters)) {
      DisposePluginHandle(nullptr, host.record.parameters);
    }
    DisposePluginHandle(nullptr, reinterpret_cast<Handle>(host.dataSlot));
    EXPECT_EQ(LiveSystemMemoryBlocks(), before);
  }
  long before = 0;
};

TEST(KeptRecordWithoutSuite, HostHandlesAreUsedOnlyWhenTheirSizeIsToldWhole) {
  // A suite that still has a get-size procedure within its count (version 1 or
  // later) can tell a whole record; otherwise the size of a host handle is unknown,
  // and then no field of it is read. A replaced host handle goes back through the
  // suite's disposeProc under the same rule, and stays with the host without a suite.
  struct Case {
    const char* flaw;
    int32 size;
    bool reportSizes;
    bool used;
  };
  fakePlatform.Reset();
  dialogRequested = false;
  FailSystemMemoryAfter(-1);
  const long before = LiveSystemMemoryBlocks();
  for (const Case c :
       {Case{"null-set-size", kRecordSize, true, true},
        Case{"count-4", kRecordSize + 4, true, true}, Case{"version-2", kRecordSize, true, true},
        Case{"null-set-size", kRecordSize - 1, true, false}, Case{"count-4", 20, true, false},
        Case{"version-2", kRecordSize - 1, true, false},
        Case{"null-set-size", kRecordSize, false, false}, Case{"none", kRecordSize, true, false}}) {
    SCOPED_TRACE(std::string(c.flaw) + " " + std::to_string(c.size));
    SimulatedHost host;
    host.reportSizes = c.reportSizes;
    host.record.filterRect = Rect{0, 0, 4, 6};
    host.record.maxSpace = 1000;
    Handle kept = host.procs.newProc(c.size);
    std::memset(*kept, 0x7F, size_t(c.size));
    host.record.parameters = kept;
    BreakSuite(host, c.flaw);
    EXPECT_EQ(host.Call(filterSelectorPrepare), noErr);
    EXPECT_EQ(host.Call(filterSelectorStart), noErr);
    const bool givenBack = !c.used && std::string(c.flaw) != "none";
    EXPECT_EQ(host.hostHandles.count(kept), givenBack ? 0u : 1u);
    EXPECT_EQ(host.disposeCalls, givenBack ? 1 : 0);
    if (c.used) {
      EXPECT_EQ(Handle{host.record.parameters}, kept);
    } else {
      ExpectFreshRecordOfTheFallback(host);
      DisposePluginHandle(nullptr, host.record.parameters);
    }
    DisposePluginHandle(nullptr, reinterpret_cast<Handle>(host.dataSlot));
  }
  EXPECT_EQ(LiveSystemMemoryBlocks(), before);
}

TEST_F(KeptRecordWithoutSuiteTest, KeptHandleWithoutDataIsReplacedAndLeftToTheHost) {
  Handle kept = Keep(kRecordSize);
  std::free(*kept);
  *kept = nullptr;
  BreakSuite(host, "none");
  EXPECT_EQ(host.Call(filterSelectorPrepare), noErr);
  EXPECT_TRUE(Live(kept));
  EXPECT_EQ(host.disposeCalls, 0);
  ExpectFreshRecordOfTheFallback(host);
}

TEST_F(KeptRecordWithoutSuiteTest, TheFallbacksOwnRecordsAreMeasured) {
  BreakSuite(host, "none");
  // A record of the fallback's own that the host kept: whole, it is used.
  ASSERT_EQ(host.Call(filterSelectorParameters), noErr);
  Handle own = host.record.parameters;
  ASSERT_TRUE(IsFallbackHandle(own));
  auto* p = reinterpret_cast<TintParameters*>(*own);
  p->applyGreen = 1;
  EXPECT_EQ(host.Call(filterSelectorPrepare), noErr);
  EXPECT_EQ(Handle{host.record.parameters}, own);
  EXPECT_EQ(GetParameters(&host.record)->applyGreen, 1);
  // One of its handles that is too short for the record (the operating system
  // measures its block) is given back to the fallback and replaced.
  DisposePluginHandle(nullptr, own);
  Handle shortOwn = NewPluginHandle(nullptr, kRecordSize - 1);
  host.record.parameters = shortOwn;
  EXPECT_EQ(host.Call(filterSelectorPrepare), noErr);
  ExpectFreshRecordOfTheFallback(host);
  EXPECT_EQ(LiveSystemMemoryBlocks() - before, 4); // the globals block and the fresh record
}

// A handle as an earlier load of the library left it: the same system blocks and
// mark, made without this load's knowledge.
Handle FallbackHandleOfAnEarlierLoad(int32 size) {
  auto* master =
      static_cast<FallbackMasterBlock*>(AllocateLockedSystemMemory(sizeof(FallbackMasterBlock)));
  master->data = AllocateLockedSystemMemory(uint32(size));
  master->mark = kFallbackHandleMark;
  return reinterpret_cast<Handle>(master);
}

TEST_F(KeptRecordWithoutSuiteTest, RecordsOfAnEarlierLoadAreKnownByTheSystem) {
  // The library unloaded and loaded again between runs, the host keeping
  // `parameters`: the user's settings come back, on every suite the plug-in does not
  // use; a short one is given back to the system and replaced.
  for (const char* flaw : {"none", "null-set-size", "version-2", "count-4"}) {
    SCOPED_TRACE(flaw);
    SimulatedHost reloaded;
    reloaded.reportSizes = true;
    reloaded.record.filterRect = Rect{0, 0, 4, 6};
    reloaded.record.maxSpace = 1000;
    BreakSuite(reloaded, flaw);
    Handle earlier = FallbackHandleOfAnEarlierLoad(kRecordSize);
    auto* settings = reinterpret_cast<TintParameters*>(*earlier);
    settings->stripRows = 1;
    settings->zoom = 1;
    settings->applyBlue = 1;
    settings->toneBlue = 200;
    reloaded.record.parameters = earlier;
    EXPECT_EQ(reloaded.Call(filterSelectorPrepare), noErr);
    EXPECT_EQ(reloaded.Call(filterSelectorStart), noErr);
    EXPECT_EQ(Handle{reloaded.record.parameters}, earlier);
    EXPECT_EQ(GetParameters(&reloaded.record)->applyBlue, 1);
    EXPECT_EQ(reloaded.getSizeCalls, 0) << "the host is not asked about the system's blocks";
    DisposePluginHandle(nullptr, earlier);

    reloaded.record.parameters = FallbackHandleOfAnEarlierLoad(kRecordSize - 2);
    const long live = LiveSystemMemoryBlocks();
    EXPECT_EQ(reloaded.Call(filterSelectorPrepare), noErr);
    ExpectFreshRecordOfTheFallback(reloaded);
    EXPECT_EQ(LiveSystemMemoryBlocks(), live) << "the short record's blocks were not freed";
    DisposePluginHandle(nullptr, reloaded.record.parameters);
    DisposePluginHandle(nullptr, reinterpret_cast<Handle>(reloaded.dataSlot));
  }
}

TEST_F(KeptRecordWithoutSuiteTest, TheGlobalsBlockHandedOverAsTheRecordIsNotFreed) {
  BreakSuite(host, "none");
  ASSERT_EQ(host.Call(filterSelectorParameters), noErr);
  DisposePluginHandle(nullptr, host.record.parameters);
  Handle globals = reinterpret_cast<Handle>(host.dataSlot);
  host.record.parameters = globals; // shorter than the record, and in use
  EXPECT_EQ(host.Call(filterSelectorPrepare), noErr);
  EXPECT_TRUE(IsFallbackHandle(globals));
  EXPECT_EQ(host.dataSlot, reinterpret_cast<intptr_t>(globals));
  EXPECT_NE(Handle{host.record.parameters}, globals);
  ExpectFreshRecordOfTheFallback(host);
}

TEST_F(KeptRecordTest, StartReportsMemFullWhenTheDialogLeavesNoRecord) {
  Keep(kRecordSize);
  GetParameters(&host.record)->showDialog = 1;
  fakePlatform.dialog = [this](PluginGlobals* globals) {
    host.procs.disposeProc(globals->filterRecord->parameters);
    globals->filterRecord->parameters = nullptr;
    return true;
  };
  EXPECT_EQ(host.Call(filterSelectorStart), memFullErr);
  EXPECT_EQ(fakePlatform.dialogCalls, 1);
  EXPECT_EQ(advanceCalls, 0); // nothing filtered, no strip asked for
  EXPECT_EQ(host.record.inRect, (Rect{0, 0, 0, 0}));
}

} // namespace
