// When memory runs out: the system-memory fallback and the list of globals blocks
// need no memory of their own, and whatever throws inside a selector reaches the host
// as memFullErr instead of ending its process at the entry's noexcept boundary.
//
// This file replaces the program's operator new and delete with ones over malloc
// and free that can be made to throw; GCC, seeing both halves inlined, takes the
// pairing for a mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "SimulatedHost.h"
#include "fakes/FakePlatform.h"
#include "host/Handles.h"
#include "host/SystemMemoryNative.h"
#include "plugin/TintParameters.h"

namespace {
bool heapExhausted = false; // while set, every C++ allocation of this program throws
} // namespace

void* operator new(std::size_t size) {
  if (heapExhausted) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

class OutOfMemoryTest : public ::testing::Test {
protected:
  void SetUp() override {
    fakePlatform.Reset();
    dialogRequested = false;
    FailSystemMemoryAfter(-1);
    host.UseHandleProcs(false); // the fallback's own handles
  }
  void TearDown() override {
    heapExhausted = false;
    FailSystemMemoryAfter(-1);
  }
  // Gives back the fallback handles that the host kept for the plug-in.
  void ReleaseKept() {
    DisposePluginHandle(nullptr, host.record.parameters);
    DisposePluginHandle(nullptr, reinterpret_cast<Handle>(host.dataSlot));
    host.record.parameters = nullptr;
    host.dataSlot = 0;
  }
  SimulatedHost host;
};

TEST_F(OutOfMemoryTest, FallbackHandlesNeedNoHeapOfTheirOwn) {
  const long before = LiveSystemMemoryBlocks();
  heapExhausted = true;
  Handle first = NewPluginHandle(nullptr, 24);
  Handle second = NewPluginHandle(nullptr, 40);
  heapExhausted = false;
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(IsFallbackHandle(first));
  EXPECT_TRUE(IsFallbackHandle(second));
  DisposePluginHandle(nullptr, first);
  EXPECT_FALSE(IsFallbackHandle(first));
  EXPECT_TRUE(IsFallbackHandle(second));
  DisposePluginHandle(nullptr, second);
  EXPECT_EQ(LiveSystemMemoryBlocks(), before);
}

TEST_F(OutOfMemoryTest, AFirstCallNeedsNoHeapOfItsOwn) {
  // Noting the new globals block as this load's own needs no memory: without any
  // heap the call works, and the block is locked again by the next call.
  const long before = LiveSystemMemoryBlocks();
  heapExhausted = true;
  const int16 first = host.Call(filterSelectorParameters);
  const intptr_t made = host.dataSlot;
  const int16 second = host.Call(filterSelectorPrepare);
  heapExhausted = false;
  EXPECT_EQ(first, noErr);
  EXPECT_EQ(second, noErr);
  EXPECT_NE(made, 0);
  EXPECT_EQ(host.dataSlot, made);
  EXPECT_EQ(LiveSystemMemoryBlocks() - before, 4); // the globals block and the record
  ReleaseKept();
  EXPECT_EQ(LiveSystemMemoryBlocks(), before);
}

TEST_F(OutOfMemoryTest, NoSystemMemoryForTheRecordReportsMemFullAndLeaksNothing) {
  const long before = LiveSystemMemoryBlocks();
  FailSystemMemoryAfter(2); // the globals block, then nothing
  const int16 first = host.Call(filterSelectorPrepare);
  const int16 again = host.Call(filterSelectorStart);
  EXPECT_EQ(first, memFullErr);
  EXPECT_EQ(again, memFullErr);
  EXPECT_EQ(Handle{host.record.parameters}, nullptr);
  EXPECT_EQ(LiveSystemMemoryBlocks() - before, 2); // the globals block alone
  ReleaseKept();
  EXPECT_EQ(LiveSystemMemoryBlocks(), before);
}

TEST_F(OutOfMemoryTest, AThrowInsideASelectorReportsMemFullAndUnlocksTheBlock) {
  host.UseHandleProcs(true);
  ASSERT_EQ(host.Call(filterSelectorParameters), noErr);
  fakePlatform.dialog = [](PluginGlobals*) -> bool { throw std::bad_alloc(); };
  host.record.filterRect = Rect{0, 0, 2, 2};
  EXPECT_EQ(host.Call(filterSelectorStart), memFullErr);
  EXPECT_EQ(fakePlatform.dialogCalls, 1);
  EXPECT_EQ(host.lockCalls, host.unlockCalls);
  EXPECT_EQ(host.liveHandles, 2);
}

} // namespace
