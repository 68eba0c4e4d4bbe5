// Handle services: the host's handle suite when it is usable, otherwise handles
// built on the operating system's movable global memory.
#pragma once

#include <cstddef>

#include "sdk/FilterRecord.h"

// Set by the fallback's allocate and dispose: 0, -108, -109, or -50 (paramErr) for a
// handle that the fallback did not make.
extern int16 lastMemError;

// The mark in the second word of a fallback handle's master block.
constexpr uint32 kFallbackHandleMark = FourCC("FOTO");

// The master block of a fallback handle: the data address, then the mark. On the
// 32-bit build these are the two 32-bit words; on 64 bits the address is
// pointer-sized, so that a handle stays a pointer to a pointer-sized word.
struct FallbackMasterBlock {
  void* data;
  uint32 mark;
};

// The layout that plug-ins and hosts of this handle kind read: the data address at
// offset 0, the mark in the next word.
static_assert(offsetof(FallbackMasterBlock, data) == 0);
static_assert(offsetof(FallbackMasterBlock, mark) == TINTARA_W(4, 8));
static_assert(sizeof(FallbackMasterBlock) == TINTARA_W(8, 16));

bool HandleProcsUsable(const HandleProcs* procs);

// Whether the handle is one of the fallback's own, made by this load of the library
// or an earlier one in the same process: the operating system knows both blocks as
// live, locked blocks of its own, the master block at no less than its size. The
// master block is read (for the mark and the data address) only after the system
// has vouched for it.
bool IsFallbackHandle(Handle handle);
// The size of a fallback handle's data block as the operating system measures it.
// Only for a handle that IsFallbackHandle accepts.
int32 FallbackHandleSize(Handle handle);

// Each operation goes back to the allocator that made the handle: the fallback for
// its own handles (whatever the suite is now), the host's suite for the rest.
Handle NewPluginHandle(const HandleProcs* procs, int32 size);
void DisposePluginHandle(const HandleProcs* procs, Handle handle);
// Null for a handle that neither the fallback nor a usable suite can lock.
Ptr LockPluginHandle(const HandleProcs* procs, Handle handle, bool moveHigh);
void UnlockPluginHandle(const HandleProcs* procs, Handle handle);

// A handle that the host made (a descriptor, a record it kept) is measured and given
// back through the host's suite even when the suite fails the usability rule, under
// one rule: the suite's version is 1 or later, its count reaches the procedure, and
// the procedure is present.
//
// The host's answer for the size of one of its handles; 0 when the suite cannot be
// asked.
int32 AskHostHandleSize(const HandleProcs* procs, Handle handle);
// Gives one of the host's handles back to its suite; false when the suite cannot take
// it (the handle is then left to the host).
bool ReleaseHostHandle(const HandleProcs* procs, Handle handle);
