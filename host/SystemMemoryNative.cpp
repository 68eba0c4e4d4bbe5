#include <cstddef>
#include <cstdlib>

#include "host/SystemMemory.h"
#include "host/SystemMemoryNative.h"

namespace {
int failAfter = -1; // allocations left before the next one fails; -1 never fails
long liveBlocks = 0;

// Each block is preceded by what the operating system keeps of it: its size and its
// place among the live blocks, so that a block is known by its address alone, as
// the system knows its own. The header keeps the C heap's alignment for the block.
struct Header {
  Header* next;
  Header* previous;
  std::uint32_t size;
};
constexpr std::size_t kAlign = alignof(std::max_align_t);
constexpr std::size_t kHeader = (sizeof(Header) + kAlign - 1) / kAlign * kAlign;
Header* blocks = nullptr;

unsigned char* DataOf(Header* header) {
  return reinterpret_cast<unsigned char*>(header) + kHeader;
}

// The live block that starts at address, found by comparing addresses only.
Header* Find(const void* address) {
  for (Header* b = blocks; b != nullptr; b = b->next) {
    if (DataOf(b) == address) return b;
  }
  return nullptr;
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
  auto* header = static_cast<Header*>(std::calloc(1, kHeader + held));
  if (header == nullptr) return nullptr;
  header->size = held;
  header->previous = nullptr;
  header->next = blocks;
  if (blocks != nullptr) blocks->previous = header;
  blocks = header;
  ++liveBlocks;
  return DataOf(header);
}

void FreeLockedSystemMemory(void* address) {
  Header* header = Find(address);
  if (header == nullptr) return;
  if (header->previous != nullptr) {
    header->previous->next = header->next;
  } else {
    blocks = header->next;
  }
  if (header->next != nullptr) header->next->previous = header->previous;
  --liveBlocks;
  std::free(header);
}

std::uint32_t LockedSystemMemorySize(const void* address) {
  const Header* header = Find(address);
  return header == nullptr ? 0 : header->size;
}
