#include <cstdlib>

#include "GuardedMemory.h"

// Natively there is no guard page: a plain allocation serves the unit tests.
uint8_t* AllocateGuarded(std::size_t size, void** base) {
  *base = std::malloc(size ? size : 1);
  return static_cast<uint8_t*>(*base);
}

void ReleaseGuarded(void* base) {
  std::free(base);
}
