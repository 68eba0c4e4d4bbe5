// The thread environment block of 32-bit Windows, reached by the plug-in's
// runtime library through the fs segment: its own address at 0x18, the stack
// bounds, the last error, the thread-local storage slots and pointer.
#pragma once

#include <cstdint>
#include <string>

constexpr uint32_t kTebStackBase = 0x04;
constexpr uint32_t kTebSelf = 0x18;
constexpr uint32_t kTebTlsPointer = 0x2C;
constexpr uint32_t kTebLastError = 0x34;
constexpr uint32_t kTebTlsSlots = 0xE10;
constexpr uint32_t kTlsSlotCount = 64;

// Builds the block and points fs at it; false with a reason.
bool InstallThreadBlock(std::string& error);
// The block's 32-bit field at offset.
uint32_t& TebField(uint32_t offset);
