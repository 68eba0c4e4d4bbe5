#include <cstdlib>

#include "host/SystemMemory.h"
#include "host/SystemMemoryNative.h"

namespace {
int failAfter = -1; // allocations left before the next one fails; -1 never fails
long liveBlocks = 0;
} // namespace

void FailSystemMemoryAfter(int allocations) {
  failAfter = allocations;
}
long LiveSystemMemoryBlocks() {
  return liveBlocks;
}

void* AllocateLockedSystemMemory(std::uint32_t size) {
  if (failAfter == 0) return nullptr;
  if (failAfter > 0) --failAfter;
  void* address = std::calloc(1, size == 0 ? 1 : size);
  if (address != nullptr) ++liveBlocks;
  return address;
}

void FreeLockedSystemMemory(void* address) {
  if (address == nullptr) return;
  --liveBlocks;
  std::free(address);
}
