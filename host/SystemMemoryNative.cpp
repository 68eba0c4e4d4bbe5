#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "host/SystemMemory.h"
#include "host/SystemMemoryNative.h"

namespace {
int failAfter = -1; // allocations left before the next one fails; -1 never fails
long liveBlocks = 0;

// Each block is preceded by its size, as the operating system keeps it; the header
// is as large as the C heap's alignment, so that the block keeps that alignment.
constexpr std::size_t kHeader = alignof(std::max_align_t);

unsigned char* HeaderOf(const void* address) {
  return static_cast<unsigned char*>(const_cast<void*>(address)) - kHeader;
}
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
  // Exactly the size asked for after the header (1 for 0, as on Windows), so that a
  // sanitizer sees any access past it.
  const std::uint32_t held = size == 0 ? 1 : size;
  auto* memory = static_cast<unsigned char*>(std::calloc(1, kHeader + held));
  if (memory == nullptr) return nullptr;
  std::memcpy(memory, &held, sizeof held);
  ++liveBlocks;
  return memory + kHeader;
}

void FreeLockedSystemMemory(void* address) {
  if (address == nullptr) return;
  --liveBlocks;
  std::free(HeaderOf(address));
}

std::uint32_t LockedSystemMemorySize(const void* address) {
  if (address == nullptr) return 0;
  std::uint32_t held = 0;
  std::memcpy(&held, HeaderOf(address), sizeof held);
  return held;
}
