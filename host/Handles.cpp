#include "host/Handles.h"

#include "host/SystemMemory.h"

int16 lastMemError = 0;

namespace {
// The oldest suite version whose layout we know, and the procedures up to
// setSizeProc that a usable suite must fill.
constexpr int16 kRequiredHandleProcsVersion = 1;
constexpr uint16 kRequiredHandleProcsCount = 7;
// Places of the procedures in the suite, counted from newProc.
constexpr uint16 kDisposeProcPlace = 2;
constexpr uint16 kGetSizeProcPlace = 3;

// The one rule under which a procedure of a suite that fails the usability test may
// still be called for a handle that the host made: later versions keep the places
// of version 1's procedures, and the count says how many of them the host filled.
bool HostProcedureReachable(const HandleProcs* procs, uint16 place, bool present) {
  return procs != nullptr && procs->handleProcsVersion >= kRequiredHandleProcsVersion &&
         static_cast<uint16>(procs->numHandleProcs) >= place && present;
}

FallbackMasterBlock* MasterOf(Handle handle) {
  return reinterpret_cast<FallbackMasterBlock*>(handle);
}
} // namespace

bool HandleProcsUsable(const HandleProcs* procs) {
  if (procs == nullptr) return false;
  // A newer version is treated like a missing suite: nothing is allocated through
  // a suite whose whole layout is not ours to assume.
  if (procs->handleProcsVersion != kRequiredHandleProcsVersion) return false;
  if (static_cast<uint16>(procs->numHandleProcs) < kRequiredHandleProcsCount) return false;
  return procs->newProc != nullptr && procs->disposeProc != nullptr &&
         procs->getSizeProc != nullptr && procs->setSizeProc != nullptr;
}

bool IsFallbackHandle(Handle handle) {
  if (handle == nullptr) return false;
  // At least the master block's size: the system may measure a block larger than asked.
  if (LockedSystemMemorySize(handle) < sizeof(FallbackMasterBlock)) return false;
  const FallbackMasterBlock* master = MasterOf(handle);
  return master->mark == kFallbackHandleMark && LockedSystemMemorySize(master->data) > 0;
}

int32 FallbackHandleSize(Handle handle) {
  const uint32 measured = LockedSystemMemorySize(MasterOf(handle)->data);
  return measured > 0x7FFFFFFFu ? 0x7FFFFFFF : int32(measured);
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
  return reinterpret_cast<Handle>(master);
}

void DisposePluginHandle(const HandleProcs* procs, Handle handle) {
  if (IsFallbackHandle(handle)) {
    lastMemError = noErr;
    FallbackMasterBlock* master = MasterOf(handle);
    FreeLockedSystemMemory(master->data);
    FreeLockedSystemMemory(master);
    return;
  }
  if (HandleProcsUsable(procs)) {
    procs->disposeProc(handle);
    return;
  }
  // Not made here: freeing it would corrupt its owner's memory. It stays alive.
  lastMemError = handle == nullptr ? nilHandleErr : paramErr;
}

Ptr LockPluginHandle(const HandleProcs* procs, Handle handle, bool moveHigh) {
  if (IsFallbackHandle(handle)) return static_cast<Ptr>(MasterOf(handle)->data);
  if (HandleProcsUsable(procs)) return procs->lockProc(handle, moveHigh ? 1 : 0);
  return nullptr;
}

void UnlockPluginHandle(const HandleProcs* procs, Handle handle) {
  // Fallback blocks stay locked until they are disposed of.
  if (IsFallbackHandle(handle)) return;
  if (HandleProcsUsable(procs)) procs->unlockProc(handle);
}

int32 AskHostHandleSize(const HandleProcs* procs, Handle handle) {
  if (handle == nullptr || procs == nullptr) return 0;
  if (!HostProcedureReachable(procs, kGetSizeProcPlace, procs->getSizeProc != nullptr)) return 0;
  return procs->getSizeProc(handle);
}

bool ReleaseHostHandle(const HandleProcs* procs, Handle handle) {
  if (handle == nullptr || procs == nullptr) return false;
  if (!HostProcedureReachable(procs, kDisposeProcPlace, procs->disposeProc != nullptr))
    return false;
  procs->disposeProc(handle);
  return true;
}
