#include "host/Handles.h"

#include "host/SystemMemory.h"

int16 lastMemError = 0;

namespace {
// The oldest suite version whose layout we know, and the procedures up to
// setSizeProc that a usable suite must fill.
constexpr int16 kRequiredHandleProcsVersion = 1;
constexpr uint16 kRequiredHandleProcsCount = 7;
// newProc, disposeProc and getSizeProc.
constexpr uint16 kHandleProcsThroughGetSize = 3;

// The master blocks that the fallback handed out and has not released, chained
// through the blocks themselves. A handle that is not among them was made by
// someone else (for example a descriptor that the host's own suite made): the
// fallback must not free it as if it were its own.
FallbackMasterBlock* fallbackBlocks = nullptr;

void Register(FallbackMasterBlock* master) {
  master->previous = nullptr;
  master->next = fallbackBlocks;
  if (fallbackBlocks != nullptr) fallbackBlocks->previous = master;
  fallbackBlocks = master;
}

void Unregister(FallbackMasterBlock* master) {
  if (master->previous != nullptr) {
    master->previous->next = master->next;
  } else {
    fallbackBlocks = master->next;
  }
  if (master->next != nullptr) master->next->previous = master->previous;
  master->next = master->previous = nullptr;
}
} // namespace

bool IsFallbackHandle(Handle handle) {
  // Compares addresses only: a foreign handle is never read here.
  for (const FallbackMasterBlock* b = fallbackBlocks; b != nullptr; b = b->next) {
    if (reinterpret_cast<const void*>(b) == reinterpret_cast<const void*>(handle)) return true;
  }
  return false;
}

bool HandleProcsUsable(const HandleProcs* procs) {
  if (procs == nullptr) return false;
  // A newer version is treated like a missing suite: its layout is not ours to assume.
  if (procs->handleProcsVersion != kRequiredHandleProcsVersion) return false;
  if (static_cast<uint16>(procs->numHandleProcs) < kRequiredHandleProcsCount) return false;
  return procs->newProc != nullptr && procs->disposeProc != nullptr &&
         procs->getSizeProc != nullptr && procs->setSizeProc != nullptr;
}

Handle NewPluginHandle(const HandleProcs* procs, int32 size) {
  if (HandleProcsUsable(procs)) return procs->newProc(size);

  lastMemError = noErr;
  auto* master =
      static_cast<FallbackMasterBlock*>(AllocateLockedSystemMemory(sizeof(FallbackMasterBlock)));
  if (master == nullptr) {
    lastMemError = memFullErr;
    return nullptr;
  }
  void* data = AllocateLockedSystemMemory(size < 0 ? 0u : static_cast<uint32>(size));
  if (data == nullptr) {
    // Release the master block, so that a failed allocation leaks nothing.
    FreeLockedSystemMemory(master);
    lastMemError = memFullErr;
    return nullptr;
  }
  master->data = data;
  master->mark = kFallbackHandleMark;
  Register(master);
  return reinterpret_cast<Handle>(master);
}

void DisposePluginHandle(const HandleProcs* procs, Handle handle) {
  if (HandleProcsUsable(procs)) {
    procs->disposeProc(handle);
    return;
  }
  lastMemError = noErr;
  if (handle == nullptr) {
    lastMemError = nilHandleErr;
    return;
  }
  if (!IsFallbackHandle(handle)) {
    // Not made here: freeing it would corrupt its owner's memory. It stays alive.
    lastMemError = paramErr;
    return;
  }
  auto* master = reinterpret_cast<FallbackMasterBlock*>(handle);
  Unregister(master);
  if (master->data != nullptr) FreeLockedSystemMemory(master->data);
  FreeLockedSystemMemory(master);
}

Ptr LockPluginHandle(const HandleProcs* procs, Handle handle, bool moveHigh) {
  if (HandleProcsUsable(procs)) return procs->lockProc(handle, moveHigh ? 1 : 0);
  if (handle == nullptr) return nullptr;
  return static_cast<Ptr>(reinterpret_cast<FallbackMasterBlock*>(handle)->data);
}

void UnlockPluginHandle(const HandleProcs* procs, Handle handle) {
  if (HandleProcsUsable(procs)) procs->unlockProc(handle);
  // Fallback blocks stay locked until they are disposed of.
}

int32 PluginHandleSize(const HandleProcs* procs, Handle handle) {
  if (handle == nullptr || !HandleProcsUsable(procs)) return 0;
  return procs->getSizeProc(handle);
}

bool MeasureFallbackHandle(Handle handle, int32* size) {
  if (handle == nullptr || !IsFallbackHandle(handle)) return false;
  const uint32 measured =
      LockedSystemMemorySize(reinterpret_cast<FallbackMasterBlock*>(handle)->data);
  *size = measured > 0x7FFFFFFFu ? 0x7FFFFFFF : int32(measured);
  return measured > 0;
}

bool HostCanTellHandleSize(const HandleProcs* procs) {
  return procs != nullptr && procs->handleProcsVersion == kRequiredHandleProcsVersion &&
         static_cast<uint16>(procs->numHandleProcs) >= kHandleProcsThroughGetSize &&
         procs->getSizeProc != nullptr;
}

int32 HostHandleSize(const HandleProcs* procs, Handle handle) {
  if (handle == nullptr || !HostCanTellHandleSize(procs)) return 0;
  return procs->getSizeProc(handle);
}
