// Calls into the plug-in with the stack pointer at a chosen distance from 16-byte
// alignment, as 32-bit Windows hosts do: they promise only 4 bytes.
#pragma once

#include <cstdint>

// Calls function with count 32-bit arguments (args[0] first) so that the stack
// pointer, at the call instruction, is `offset` bytes (0, 4, 8 or 12) past a
// multiple of 16. Works for cdecl and stdcall functions alike; returns EAX.
extern "C" uint32_t CallAtStackOffset(const void* function, uint32_t offset, uint32_t count,
                                      const uint32_t* args);

// The offset for the next call of the plug-in's entry: the fixed one, or 0, 4,
// 8, 12 in turn.
uint32_t NextStackOffset();
// The offset for the loader's calls (TLS callbacks, DllMain): the fixed one, or
// 4, the least that Windows promises.
uint32_t LoaderStackOffset();
// -1: take the offsets in turn (from 0 again); else every call at this one.
void SetStackOffset(int offset);
