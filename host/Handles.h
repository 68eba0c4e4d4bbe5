// Handle services: the host's handle suite when it is usable, otherwise handles
// built on the operating system's movable global memory.
#pragma once

#include <cstddef>

#include "sdk/FilterRecord.h"

// Set by the fallback's allocate and dispose: 0, -108 or -109.
extern int16 lastMemError;

// The mark in the second word of a fallback handle's master block.
constexpr uint32 kFallbackHandleMark = FourCC("FOTO");

// The master block of a fallback handle: the data address, then the mark. On the
// 32-bit build these are the two 32-bit words; on 64 bits the address is
// pointer-sized, so that a handle stays a pointer to a pointer-sized word. The
// links after them chain the blocks that the fallback has handed out, so that
// keeping account of them never needs memory of its own (an allocation that could
// fail, or throw, exactly when memory runs out).
struct FallbackMasterBlock {
  void* data;
  uint32 mark;
  FallbackMasterBlock* next;
  FallbackMasterBlock* previous;
};

// The layout that plug-ins and hosts of this handle kind read: the data address at
// offset 0, the mark in the next word.
static_assert(offsetof(FallbackMasterBlock, data) == 0);
static_assert(offsetof(FallbackMasterBlock, mark) == TINTARA_W(4, 8));
static_assert(sizeof(FallbackMasterBlock) == TINTARA_W(16, 32));

bool HandleProcsUsable(const HandleProcs* procs);
// Whether the handle is one of the fallback's own, not yet disposed of.
bool IsFallbackHandle(Handle handle);
Handle NewPluginHandle(const HandleProcs* procs, int32 size);
void DisposePluginHandle(const HandleProcs* procs, Handle handle);
Ptr LockPluginHandle(const HandleProcs* procs, Handle handle, bool moveHigh);
void UnlockPluginHandle(const HandleProcs* procs, Handle handle);
// The handle's size as the host's suite reports it; 0 without a usable suite.
int32 PluginHandleSize(const HandleProcs* procs, Handle handle);
// The size of the data of one of the fallback's own handles, as the operating
// system measures its block. False for any other handle, of which nothing is read.
bool MeasureFallbackHandle(Handle handle, int32* size);
// Whether the suite's get-size procedure may be called although the suite as a
// whole fails the usability rule: version 1, at least the three procedures up to
// getSizeProc, and getSizeProc present.
bool HostCanTellHandleSize(const HandleProcs* procs);
// The host's answer for one of its handles, through a suite that can tell sizes.
int32 HostHandleSize(const HandleProcs* procs, Handle handle);
