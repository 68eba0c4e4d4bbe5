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
  HGLOBAL block = GlobalHandle(address);
  if (block == nullptr) return 0;
  const SIZE_T size = GlobalSize(block);
  return size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(size);
}
