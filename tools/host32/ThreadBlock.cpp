#include "ThreadBlock.h"

#include <asm/ldt.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>

namespace {

alignas(16) uint8_t teb[0x1000];
alignas(16) uint8_t peb[0x1000];

} // namespace

uint32_t& TebField(uint32_t offset) {
  return *reinterpret_cast<uint32_t*>(teb + offset);
}

bool InstallThreadBlock(std::string& error) {
  std::memset(teb, 0, sizeof teb);
  TebField(0) = 0xFFFFFFFFu; // no structured exception handler registered
  uint8_t stackMark = 0;
  TebField(kTebStackBase) = uint32_t(reinterpret_cast<uintptr_t>(&stackMark));
  TebField(0x08) = uint32_t(reinterpret_cast<uintptr_t>(&stackMark)) - 1024 * 1024;
  TebField(kTebSelf) = uint32_t(reinterpret_cast<uintptr_t>(teb));
  TebField(0x20) = uint32_t(getpid());
  TebField(0x24) = uint32_t(getpid());
  TebField(0x30) = uint32_t(reinterpret_cast<uintptr_t>(peb));
  user_desc descriptor{};
  descriptor.entry_number = ~0u; // any free slot
  descriptor.base_addr = uint32_t(reinterpret_cast<uintptr_t>(teb));
  descriptor.limit = sizeof teb - 1;
  descriptor.seg_32bit = 1;
  descriptor.useable = 1;
  if (syscall(SYS_set_thread_area, &descriptor) != 0) {
    error = "cannot create a segment for the thread block (set_thread_area failed)";
    return false;
  }
  const uint16_t selector = uint16_t((descriptor.entry_number << 3) | 3);
  asm volatile("movw %0, %%fs" : : "r"(selector));
  uint32_t seen = 0;
  asm volatile("movl %%fs:0x18, %0" : "=r"(seen));
  if (seen != TebField(kTebSelf)) {
    error = "the fs segment does not reach the thread block";
    return false;
  }
  return true;
}
