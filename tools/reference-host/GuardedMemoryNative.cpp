#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

#include "GuardedMemory.h"

// One page of bookkeeping (the mapping's length), the pages for the block, and an
// inaccessible page right after the block's last byte.
uint8_t* AllocateGuarded(std::size_t size, void** base) {
  const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
  std::size_t pages = (size + page - 1) / page;
  if (pages == 0) pages = 1;
  const std::size_t length = (pages + 2) * page;
  void* memory = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return nullptr;
  auto* bytes = static_cast<uint8_t*>(memory);
  std::memcpy(bytes, &length, sizeof length);
  mprotect(bytes + (pages + 1) * page, page, PROT_NONE);
  *base = memory;
  // Four-byte alignment is all the host's records and buffers need.
  const std::size_t offset = (pages * page - size) & ~std::size_t(3);
  return bytes + page + offset;
}

void ReleaseGuarded(void* base) {
  if (base == nullptr) return;
  std::size_t length = 0;
  std::memcpy(&length, base, sizeof length);
  munmap(base, length);
}
