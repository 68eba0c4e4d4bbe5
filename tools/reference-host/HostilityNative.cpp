#include <malloc.h>

#include <cstdio>
#include <cstring>

#include "Hostility.h"

// The writable private mappings of the process, from /proc/self/maps (under
// user-mode emulation the emulator lists the emulated program's own mappings).
uint64_t CommittedBytes() {
  std::FILE* maps = std::fopen("/proc/self/maps", "r");
  if (maps == nullptr) return 0;
  uint64_t committed = 0;
  char line[512];
  while (std::fgets(line, sizeof line, maps) != nullptr) {
    unsigned long long from = 0, to = 0;
    char permissions[8] = {};
    if (std::sscanf(line, "%llx-%llx %7s", &from, &to, permissions) == 3 && permissions[1] == 'w' &&
        permissions[3] == 'p')
      committed += to - from;
  }
  std::fclose(maps);
  return committed;
}

// Bytes in the C library's allocated blocks.
uint64_t HeapBytesInUse() {
  const struct mallinfo2 info = mallinfo2();
  return uint64_t(info.uordblks) + uint64_t(info.hblkhd);
}
