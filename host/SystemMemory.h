// The operating system's movable, zero-initialised memory, locked for the life of
// the block. Windows uses global memory; the native build uses the C heap.
#pragma once

#include <cstdint>

// Returns the locked address of a new zero-filled block, or null.
void* AllocateLockedSystemMemory(std::uint32_t size);
// Unlocks and frees a block returned by AllocateLockedSystemMemory.
void FreeLockedSystemMemory(void* address);
// The size of the locked movable block that starts at address, as the operating
// system measures it (at least the size asked for); 0 when no such block starts
// there. The system is asked: nothing at the address is read here, so any value may
// be passed, also one that is no address at all.
std::uint32_t LockedSystemMemorySize(const void* address);
