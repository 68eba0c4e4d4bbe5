#include "Hostility.h"

// The native half of the host runs only in unit tests: no figure to give.
uint64_t CommittedBytes() {
  return 0;
}

uint64_t HeapBytesInUse() {
  return 0;
}
