// The handle availability rule and the operating-system fallback.
#include <gtest/gtest.h>

#include <cstring>

#include "SimulatedHost.h"
#include "host/Handles.h"
#include "host/SystemMemoryNative.h"

namespace {

TEST(HandleProcsUsable, FollowsEachRule) {
  SimulatedHost host;
  EXPECT_TRUE(HandleProcsUsable(&host.procs));
  EXPECT_FALSE(HandleProcsUsable(nullptr));

  HandleProcs p = host.procs;
  for (int16 version : {int16(0), int16(2), int16(-1)}) {
    p.handleProcsVersion = version;
    EXPECT_FALSE(HandleProcsUsable(&p)) << version;
  }
  p = host.procs;
  p.numHandleProcs = 6;
  EXPECT_FALSE(HandleProcsUsable(&p));
  p.numHandleProcs = 7;
  EXPECT_TRUE(HandleProcsUsable(&p));
  p.numHandleProcs = -1; // read unsigned: 65535 procedures
  EXPECT_TRUE(HandleProcsUsable(&p));

  HandleProcs q = host.procs;
  q.setSizeProc = nullptr;
  EXPECT_FALSE(HandleProcsUsable(&q));
  q = host.procs;
  q.newProc = nullptr;
  EXPECT_FALSE(HandleProcsUsable(&q));
  q = host.procs;
  q.lockProc = nullptr; // not part of the rule
  EXPECT_TRUE(HandleProcsUsable(&q));
}

TEST(FallbackHandles, GiveZeroedDataAndTheMark) {
  FailSystemMemoryAfter(-1);
  Handle h = NewPluginHandle(nullptr, 40);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(lastMemError, noErr);
  for (int i = 0; i < 40; ++i)
    EXPECT_EQ((*h)[i], 0) << i;
  // The mark is read where other code reads it: the word after the data address.
  uint32 mark = 0;
  std::memcpy(&mark, reinterpret_cast<const char*>(h) + sizeof(void*), sizeof mark);
  EXPECT_EQ(mark, FourCC("FOTO"));
  void* data = nullptr;
  std::memcpy(&data, h, sizeof data);
  EXPECT_EQ(data, static_cast<void*>(*h));
  // The operating system measures the data block at the size asked for.
  int32 size = 0;
  EXPECT_TRUE(MeasureFallbackHandle(h, &size));
  EXPECT_EQ(size, 40);
  // Locking gives the address that reading through the handle gives; unlocking changes nothing.
  EXPECT_EQ(LockPluginHandle(nullptr, h, true), *h);
  UnlockPluginHandle(nullptr, h);
  EXPECT_EQ(LockPluginHandle(nullptr, h, false), *h);
  DisposePluginHandle(nullptr, h);
  EXPECT_EQ(lastMemError, noErr);
}

TEST(FallbackHandles, UsedWhenTheHostSuiteIsNotUsable) {
  SimulatedHost host;
  HandleProcs p = host.procs;
  p.handleProcsVersion = 2;
  const long before = LiveSystemMemoryBlocks();
  Handle h = NewPluginHandle(&p, 16);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(host.newCalls, 0);
  EXPECT_EQ(LiveSystemMemoryBlocks(), before + 2);
  DisposePluginHandle(&p, h);
  EXPECT_EQ(host.disposeCalls, 0);
  EXPECT_EQ(LiveSystemMemoryBlocks(), before);
}

TEST(FallbackHandles, FailuresLeakNothing) {
  const long before = LiveSystemMemoryBlocks();
  FailSystemMemoryAfter(0); // the master block fails
  EXPECT_EQ(NewPluginHandle(nullptr, 8), nullptr);
  EXPECT_EQ(lastMemError, memFullErr);
  FailSystemMemoryAfter(1); // the data block fails: the master block is released
  EXPECT_EQ(NewPluginHandle(nullptr, 8), nullptr);
  EXPECT_EQ(lastMemError, memFullErr);
  EXPECT_EQ(LiveSystemMemoryBlocks(), before);
  FailSystemMemoryAfter(-1);
}

TEST(FallbackHandles, ForeignHandlesAreNotFreed) {
  // A handle that the host's own suite made (a descriptor, say) reaches the fallback
  // when the host offers no handle suite: it must be left alone, not freed.
  char data[16] = {};
  char* word = data;
  const long before = LiveSystemMemoryBlocks();
  DisposePluginHandle(nullptr, &word);
  EXPECT_EQ(lastMemError, paramErr);
  EXPECT_EQ(word, data);
  EXPECT_EQ(LiveSystemMemoryBlocks(), before);
  Handle own = NewPluginHandle(nullptr, 4);
  EXPECT_TRUE(IsFallbackHandle(own));
  DisposePluginHandle(nullptr, own);
  EXPECT_FALSE(IsFallbackHandle(own));
  EXPECT_EQ(lastMemError, noErr);
}

TEST(FallbackHandles, OnlyTheirOwnAreMeasured) {
  char data[16] = {};
  char* word = data;
  int32 size = -7;
  EXPECT_FALSE(MeasureFallbackHandle(&word, &size));
  EXPECT_FALSE(MeasureFallbackHandle(nullptr, &size));
  EXPECT_EQ(size, -7);
  Handle own = NewPluginHandle(nullptr, 0);
  EXPECT_TRUE(MeasureFallbackHandle(own, &size));
  EXPECT_EQ(size, 1); // a block of 0 bytes is allocated as one
  DisposePluginHandle(nullptr, own);
  EXPECT_FALSE(MeasureFallbackHandle(own, &size));
}

TEST(HostHandleSize, NeedsOnlyTheProceduresUpToGetSize) {
  SimulatedHost host;
  host.reportSizes = true;
  Handle h = host.procs.newProc(12);
  HandleProcs p = host.procs;
  p.setSizeProc = nullptr;
  p.numHandleProcs = 3;
  EXPECT_TRUE(HostCanTellHandleSize(&p));
  EXPECT_EQ(HostHandleSize(&p, h), 12);
  p.numHandleProcs = 2;
  EXPECT_FALSE(HostCanTellHandleSize(&p));
  p.numHandleProcs = 8;
  p.handleProcsVersion = 2;
  EXPECT_FALSE(HostCanTellHandleSize(&p));
  p.handleProcsVersion = 1;
  p.getSizeProc = nullptr;
  EXPECT_FALSE(HostCanTellHandleSize(&p));
  const int calls = host.getSizeCalls;
  EXPECT_EQ(HostHandleSize(&p, h), 0);
  EXPECT_EQ(HostHandleSize(nullptr, h), 0);
  EXPECT_EQ(host.getSizeCalls, calls);
  host.procs.disposeProc(h);
}

TEST(FallbackHandles, DisposingNullIsHarmless) {
  DisposePluginHandle(nullptr, nullptr);
  EXPECT_EQ(lastMemError, nilHandleErr);
}

TEST(HostHandles, GoThroughTheSuite) {
  SimulatedHost host;
  Handle h = NewPluginHandle(&host.procs, 10);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(host.liveHandles, 1);
  EXPECT_EQ(LockPluginHandle(&host.procs, h, true), *h);
  UnlockPluginHandle(&host.procs, h);
  EXPECT_EQ(host.unlockCalls, 1);
  DisposePluginHandle(&host.procs, h);
  EXPECT_EQ(host.liveHandles, 0);
}

} // namespace
