// The handle availability rule and the operating-system fallback.
#include <gtest/gtest.h>

#include <cstring>

#include "SimulatedHost.h"
#include "host/Handles.h"
#include "host/SystemMemory.h"
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
  ASSERT_TRUE(IsFallbackHandle(h));
  EXPECT_EQ(FallbackHandleSize(h), 40);
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

TEST(FallbackHandles, AreKnownByWhatTheSystemSaysOfThem) {
  // A foreign handle, null, and a host handle whose first word points at a block of
  // the system's own: none is the fallback's.
  char data[16] = {};
  char* word = data;
  EXPECT_FALSE(IsFallbackHandle(&word));
  EXPECT_FALSE(IsFallbackHandle(nullptr));
  void* systemBlock = AllocateLockedSystemMemory(40);
  void* hostHandle[2] = {systemBlock, reinterpret_cast<void*>(uintptr_t(kFallbackHandleMark))};
  EXPECT_FALSE(IsFallbackHandle(reinterpret_cast<Handle>(hostHandle)));
  // A system block of the master block's size without the mark is not one either.
  auto* unmarked =
      static_cast<FallbackMasterBlock*>(AllocateLockedSystemMemory(sizeof(FallbackMasterBlock)));
  unmarked->data = systemBlock;
  EXPECT_FALSE(IsFallbackHandle(reinterpret_cast<Handle>(unmarked)));
  // Made by another load of the library, which kept no list of it: the blocks alone
  // make it one of the fallback's (what an earlier load left in `parameters`).
  unmarked->mark = kFallbackHandleMark;
  ASSERT_TRUE(IsFallbackHandle(reinterpret_cast<Handle>(unmarked)));
  EXPECT_EQ(FallbackHandleSize(reinterpret_cast<Handle>(unmarked)), 40);
  const long before = LiveSystemMemoryBlocks();
  DisposePluginHandle(nullptr, reinterpret_cast<Handle>(unmarked));
  EXPECT_EQ(LiveSystemMemoryBlocks(), before - 2);

  Handle own = NewPluginHandle(nullptr, 0);
  ASSERT_TRUE(IsFallbackHandle(own));
  EXPECT_EQ(FallbackHandleSize(own), 1); // a block of 0 bytes is allocated as one
  DisposePluginHandle(nullptr, own);
  EXPECT_FALSE(IsFallbackHandle(own));
}

TEST(FallbackHandles, GoBackToTheFallbackWhateverTheSuiteIsNow) {
  // Made while the host offered no usable suite, used once it does: the host's
  // procedures never see the system's blocks.
  SimulatedHost host;
  const long before = LiveSystemMemoryBlocks();
  Handle h = NewPluginHandle(nullptr, 24);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(LockPluginHandle(&host.procs, h, true), *h);
  UnlockPluginHandle(&host.procs, h);
  DisposePluginHandle(&host.procs, h);
  EXPECT_EQ(host.lockCalls + host.unlockCalls + host.disposeCalls, 0);
  EXPECT_EQ(LiveSystemMemoryBlocks(), before);
  // A host handle without a usable suite cannot be locked by anyone.
  Handle hostMade = host.procs.newProc(8);
  EXPECT_EQ(LockPluginHandle(nullptr, hostMade, true), nullptr);
  host.procs.disposeProc(hostMade);
}

TEST(HostHandles, AreMeasuredAndReleasedUnderOneRule) {
  // Version 1 or later, a count that reaches the procedure, the procedure present:
  // the same rule for asking a size (third place) and giving a handle back (second).
  SimulatedHost host;
  host.reportSizes = true;
  HandleProcs p = host.procs;
  p.setSizeProc = nullptr; // the suite fails the usability rule
  p.numHandleProcs = 3;
  Handle h = host.procs.newProc(12);
  EXPECT_EQ(AskHostHandleSize(&p, h), 12);
  p.handleProcsVersion = 2;
  EXPECT_EQ(AskHostHandleSize(&p, h), 12);
  p.numHandleProcs = 2; // the count stops before getSizeProc, not before disposeProc
  const int calls = host.getSizeCalls;
  EXPECT_EQ(AskHostHandleSize(&p, h), 0);
  p.handleProcsVersion = 0;
  p.numHandleProcs = 8;
  EXPECT_EQ(AskHostHandleSize(&p, h), 0);
  EXPECT_FALSE(ReleaseHostHandle(&p, h));
  p.handleProcsVersion = 1;
  p.getSizeProc = nullptr;
  EXPECT_EQ(AskHostHandleSize(&p, h), 0);
  EXPECT_EQ(AskHostHandleSize(nullptr, h), 0);
  EXPECT_EQ(host.getSizeCalls, calls);
  p.disposeProc = nullptr;
  EXPECT_FALSE(ReleaseHostHandle(&p, h));
  EXPECT_EQ(host.liveHandles, 1);
  p = host.procs;
  p.numHandleProcs = 2;
  p.handleProcsVersion = 3;
  EXPECT_TRUE(ReleaseHostHandle(&p, h));
  EXPECT_EQ(host.liveHandles, 0);
  EXPECT_FALSE(ReleaseHostHandle(&p, nullptr));
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
