// Dispatch, the globals lifecycle and the result codes of the entry point.
#include <gtest/gtest.h>

#include <cstring>
#include <new>

#include "SimulatedHost.h"
#include "fakes/FakePlatform.h"
#include "host/Handles.h"
#include "host/SystemMemoryNative.h"
#include "plugin/Entry.h"
#include "plugin/TintParameters.h"

namespace {

class EntryTest : public ::testing::Test {
protected:
  void SetUp() override {
    fakePlatform.Reset();
    dialogRequested = false;
    FailSystemMemoryAfter(-1);
  }
  SimulatedHost host;
};

TEST_F(EntryTest, AboutTouchesNeitherSlotNorResult) {
  AboutRecord about{};
  PlatformData platform{1234};
  about.platformData = &platform;
  intptr_t slot = 0;
  int16 result = 77;
  ENTRYPOINT(filterSelectorAbout, &about, &slot, &result);
  EXPECT_EQ(fakePlatform.aboutCalls, 1);
  EXPECT_EQ(fakePlatform.lastAbout, &about);
  EXPECT_EQ(fakePlatform.lastAboutTextId, 16000);
  EXPECT_EQ(slot, 0);
  EXPECT_EQ(result, 77);

  // With a filled slot, About neither locks nor unlocks the block.
  ASSERT_EQ(host.Call(filterSelectorParameters), noErr);
  const int locks = host.lockCalls, unlocks = host.unlockCalls;
  intptr_t filled = host.dataSlot;
  ENTRYPOINT(filterSelectorAbout, &about, &host.dataSlot, &result);
  EXPECT_EQ(host.dataSlot, filled);
  EXPECT_EQ(host.lockCalls, locks);
  EXPECT_EQ(host.unlockCalls, unlocks);
}

TEST_F(EntryTest, WhatThrowsOutsideTheSelectorRoutinesReachesTheHostAsMemFull) {
  // The About box is shown outside the selector table's guard: a throw there is
  // caught at the entry itself.
  AboutRecord about{};
  intptr_t slot = 0;
  int16 result = 77;
  fakePlatform.about = [] { throw std::bad_alloc(); };
  ENTRYPOINT(filterSelectorAbout, &about, &slot, &result);
  EXPECT_EQ(fakePlatform.aboutCalls, 1);
  EXPECT_EQ(result, memFullErr);
  EXPECT_EQ(slot, 0);
}

TEST_F(EntryTest, AThrowWhileANewBlockIsSetUpGivesTheBlockBack) {
  host.throwAtNewCall = 2; // the record, made while the new block is set up
  EXPECT_EQ(host.Call(filterSelectorParameters), memFullErr);
  EXPECT_EQ(host.dataSlot, 0);
  EXPECT_EQ(host.liveHandles, 0);
  EXPECT_EQ(host.lockCalls, host.unlockCalls);
  EXPECT_FALSE(dialogRequested);
  EXPECT_EQ(host.Call(filterSelectorParameters), noErr);
  EXPECT_EQ(host.liveHandles, 2);
}

TEST_F(EntryTest, FirstParametersCallCreatesBlockAndRecordThroughHostHandles) {
  EXPECT_EQ(host.Call(filterSelectorParameters), noErr);
  ASSERT_NE(host.dataSlot, 0);
  ASSERT_NE(Handle{host.record.parameters}, nullptr);
  EXPECT_EQ(host.liveHandles, 2); // globals and parameters
  EXPECT_EQ(host.lockCalls, 1);
  EXPECT_EQ(host.unlockCalls, 1); // left unlocked at return

  const TintParameters* p = GetParameters(&host.record);
  EXPECT_EQ(p->stripRows, 1);
  EXPECT_EQ(p->zoom, 1);
  EXPECT_EQ(p->mode, FourCC("moD1"));
  EXPECT_EQ(p->modeFlag, 0);
  EXPECT_EQ(p->applyRed + p->applyGreen + p->applyBlue, 0);
  EXPECT_EQ(p->toneRed, 0);
  EXPECT_EQ(p->toneGreen, 0);
  EXPECT_EQ(p->toneBlue, 0);
  EXPECT_EQ(p->offsetH, 0);
  EXPECT_EQ(p->offsetV, 0);
  EXPECT_EQ(p->usePreview, 0);
  EXPECT_EQ(p->hostExcluded, 0);
  EXPECT_EQ(p->showDialog, 1);
  EXPECT_TRUE(dialogRequested);

  // A second call reuses the block: no new handle, one more lock and unlock.
  EXPECT_EQ(host.Call(filterSelectorParameters), noErr);
  EXPECT_EQ(host.liveHandles, 2);
  EXPECT_EQ(host.lockCalls, 2);
  EXPECT_EQ(host.unlockCalls, 2);
}

TEST_F(EntryTest, FirstCallThroughFallbackMemory) {
  host.UseHandleProcs(false);
  const long before = LiveSystemMemoryBlocks();
  EXPECT_EQ(host.Call(filterSelectorParameters), noErr);
  ASSERT_NE(host.dataSlot, 0);
  ASSERT_NE(Handle{host.record.parameters}, nullptr);
  EXPECT_EQ(LiveSystemMemoryBlocks() - before, 4); // two handles of two blocks each
  EXPECT_EQ(host.newCalls, 0);
  EXPECT_EQ(GetParameters(&host.record)->showDialog, 1);
  DisposePluginHandle(nullptr, host.record.parameters);
  DisposePluginHandle(nullptr, reinterpret_cast<Handle>(host.dataSlot));
  EXPECT_EQ(LiveSystemMemoryBlocks(), before);
}

TEST_F(EntryTest, ResultIsZeroedOnEveryNonAboutCall) {
  for (int16 selector : {filterSelectorParameters, filterSelectorPrepare, filterSelectorContinue}) {
    host.result = -5;
    EXPECT_EQ(host.Call(selector), noErr) << selector;
  }
}

TEST_F(EntryTest, UnlistedSelectorsReportBadParametersButCreateTheBlock) {
  for (int16 selector : {int16(6), int16(-1), int16(32767)}) {
    SimulatedHost fresh;
    EXPECT_EQ(fresh.Call(selector), filterBadParameters) << selector;
    EXPECT_NE(fresh.dataSlot, 0);
    EXPECT_NE(Handle{fresh.record.parameters}, nullptr);
    EXPECT_EQ(fresh.lockCalls, fresh.unlockCalls);
  }
}

TEST_F(EntryTest, FailedAllocationLeavesSlotEmptyAndReportsMemFull) {
  host.failNewAfter = 0;
  EXPECT_EQ(host.Call(filterSelectorPrepare), memFullErr);
  EXPECT_EQ(host.dataSlot, 0);
  EXPECT_EQ(host.liveHandles, 0);
}

TEST_F(EntryTest, FailedLockOfNewBlockDisposesIt) {
  host.failLock = true;
  EXPECT_EQ(host.Call(filterSelectorPrepare), memFullErr);
  EXPECT_EQ(host.dataSlot, 0);
  EXPECT_EQ(host.liveHandles, 0);
  EXPECT_EQ(host.disposeCalls, 1);
}

TEST_F(EntryTest, FailedLockOfExistingBlockKeepsItInTheSlot) {
  ASSERT_EQ(host.Call(filterSelectorParameters), noErr);
  const intptr_t slot = host.dataSlot;
  host.failLock = true;
  EXPECT_EQ(host.Call(filterSelectorPrepare), memFullErr);
  EXPECT_EQ(host.dataSlot, slot);
  EXPECT_EQ(host.liveHandles, 2);
}

TEST_F(EntryTest, ASlotValueThisLoadDidNotMakeIsReplacedNeverLocked) {
  // A host's byte copy of a block from an earlier load of the library, and a raw
  // value saved by another process: neither is locked, disposed of or written.
  char copyBytes[sizeof(PluginGlobals)] = {};
  char* copyData = copyBytes;
  for (intptr_t foreign : {reinterpret_cast<intptr_t>(&copyData), intptr_t(0x5A5A5A58)}) {
    SimulatedHost fresh;
    fresh.dataSlot = foreign;
    EXPECT_EQ(fresh.Call(filterSelectorPrepare), noErr);
    EXPECT_NE(fresh.dataSlot, foreign);
    EXPECT_EQ(fresh.lockCalls, 1) << "only the new block is locked";
    EXPECT_EQ(fresh.unlockCalls, 1);
    EXPECT_EQ(fresh.disposeCalls, 0);
    EXPECT_NE(Handle{fresh.record.parameters}, nullptr);
    // The new block is this load's own: the next call locks it instead of replacing it.
    const intptr_t made = fresh.dataSlot;
    EXPECT_EQ(fresh.Call(filterSelectorStart), noErr);
    EXPECT_EQ(fresh.dataSlot, made);
    EXPECT_EQ(fresh.newCalls, 2) << "globals and parameters, once each";
  }
  EXPECT_EQ(copyData, copyBytes);
  for (char byte : copyBytes)
    EXPECT_EQ(byte, 0);
}

TEST_F(EntryTest, ParametersRecordAllocationFailureStopsParametersSelector) {
  host.failNewAfter = 1; // the globals block succeeds, the parameter record fails
  EXPECT_EQ(host.Call(filterSelectorParameters), memFullErr);
  EXPECT_NE(host.dataSlot, 0);
  EXPECT_EQ(Handle{host.record.parameters}, nullptr);
  EXPECT_FALSE(dialogRequested);
}

TEST_F(EntryTest, ExistingParametersAreNeverRewritten) {
  // A whole record that the host kept, on geometry that makes Prepare grow the strip
  // height: the record stays, and Prepare's plan is the only thing written to it.
  host.reportSizes = true;
  host.record.filterRect = Rect{0, 0, 6000, 10};
  host.record.planes = 3;
  host.record.maxSpace = 100000000;
  Handle kept = host.procs.newProc(int32(sizeof(TintParameters)));
  char* bytes = *kept;
  for (size_t i = 0; i < sizeof(TintParameters); ++i)
    bytes[i] = char(i * 37 + 11);
  int16 stored = 0;
  std::memcpy(&stored, bytes + offsetof(TintParameters, stripRows), sizeof stored);
  ASSERT_GT(stored, 0);
  ASSERT_LT(stored, 6000) << "the plan must have room to grow";
  char copy[sizeof(TintParameters)];
  std::memcpy(copy, bytes, sizeof copy);
  host.record.parameters = kept;

  EXPECT_EQ(host.Call(filterSelectorPrepare), noErr);
  EXPECT_EQ(Handle{host.record.parameters}, kept);
  EXPECT_EQ(GetParameters(&host.record)->stripRows, 6000);
  std::memcpy(copy + offsetof(TintParameters, stripRows),
              bytes + offsetof(TintParameters, stripRows), sizeof(int16));
  EXPECT_EQ(std::memcmp(bytes, copy, sizeof copy), 0);
  EXPECT_EQ(host.record.maxSpace, 6000 * 7 * 10);
}

} // namespace
