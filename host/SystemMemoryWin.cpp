#include <windows.h>

#include "host/SystemMemory.h"

void* AllocateLockedSystemMemory(std::uint32_t size) {
  // A movable block of size 0 is allocated discarded and cannot be locked.
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size == 0 ? 1 : size);
  if (block == nullptr) return nullptr;
  void* address = GlobalLock(block);
  if (address == nullptr) GlobalFree(block);
  return address;
}

void FreeLockedSystemMemory(void* address) {
  HGLOBAL block = GlobalHandle(address);
  if (block == nullptr) return;
  GlobalUnlock(block);
  GlobalFree(block);
}

std::uint32_t LockedSystemMemorySize(const void* address) {
  if (address == nullptr) return 0;
  // GlobalHandle guards its own look-up against addresses that are not the
  // system's. A fixed block (or any other heap block) is its own handle; only a
  // movable one has a handle of its own.
  HGLOBAL block = GlobalHandle(address);
  if (block == nullptr || block == address) return 0;
  // The block must start at the address and be locked already, as every block of
  // ours stays: one more lock gives its address, and the unlock after it leaves it
  // locked. The lock count ends as it was.
  void* locked = GlobalLock(block);
  if (locked == nullptr) return 0;
  const bool stillLocked = GlobalUnlock(block) != FALSE;
  if (locked != address || !stillLocked) return 0;
  const SIZE_T size = GlobalSize(block);
  return size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(size);
}
