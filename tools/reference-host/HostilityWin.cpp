#include <windows.h>

#include "Hostility.h"

// The private memory committed to the process, summed over its address space:
// what GetProcessMemoryInfo reports as PrivateUsage on Windows, counted directly
// because Wine leaves that counter at 0.
uint64_t CommittedBytes() {
  uint64_t committed = 0;
  MEMORY_BASIC_INFORMATION info{};
  const char* address = nullptr;
  while (VirtualQuery(address, &info, sizeof info) == sizeof info) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) committed += info.RegionSize;
    const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
    if (next <= address) break;
    address = next;
  }
  return committed;
}

// Bytes in allocated blocks over all of the process's heaps: a leak of small
// blocks shows here long before the heaps commit more pages.
uint64_t HeapBytesInUse() {
  HANDLE heaps[64];
  const DWORD count = GetProcessHeaps(64, heaps);
  uint64_t used = 0;
  for (DWORD i = 0; i < count && i < 64; ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heaps[i], &entry)) {
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) used += entry.cbData;
    }
    HeapUnlock(heaps[i]);
  }
  return used;
}
