#include <windows.h>

#include "GuardedMemory.h"

uint8_t* AllocateGuarded(std::size_t size, void** base) {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  std::size_t page = info.dwPageSize;
  std::size_t pages = (size + page - 1) / page;
  if (pages == 0) pages = 1;
  auto* memory = static_cast<uint8_t*>(
      VirtualAlloc(nullptr, (pages + 1) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  if (memory == nullptr) return nullptr;
  DWORD old = 0;
  VirtualProtect(memory + pages * page, page, PAGE_NOACCESS, &old);
  *base = memory;
  // Four-byte alignment is all the host's records and buffers need.
  std::size_t offset = (pages * page - size) & ~std::size_t(3);
  return memory + offset;
}

void ReleaseGuarded(void* base) {
  VirtualFree(base, 0, MEM_RELEASE);
}
