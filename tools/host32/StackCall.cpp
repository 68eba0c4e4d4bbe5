#include "StackCall.h"

// Saves the callee-saved registers, makes room below the caller's frame, places
// the arguments at the aligned-plus-offset stack pointer, calls, and takes the
// stack back from EBP (so it does not matter who pops the arguments).
asm(R"(
  .text
  .globl CallAtStackOffset
  .type CallAtStackOffset, @function
CallAtStackOffset:
  push %ebp
  mov %esp, %ebp
  push %ebx
  push %esi
  push %edi
  mov 16(%ebp), %ecx
  mov 20(%ebp), %esi
  lea (, %ecx, 4), %ebx
  mov %esp, %edi
  sub %ebx, %edi
  sub $64, %edi
  and $-16, %edi
  add 12(%ebp), %edi
  mov %edi, %esp
  xor %ebx, %ebx
1:
  cmp %ecx, %ebx
  jae 2f
  mov (%esi, %ebx, 4), %edx
  mov %edx, (%esp, %ebx, 4)
  inc %ebx
  jmp 1b
2:
  mov 8(%ebp), %eax
  cld
  call *%eax
  lea -12(%ebp), %esp
  pop %edi
  pop %esi
  pop %ebx
  pop %ebp
  ret
  .size CallAtStackOffset, .-CallAtStackOffset
)");

namespace {

int fixedOffset = -1;
uint32_t turn = 0;

} // namespace

uint32_t NextStackOffset() {
  if (fixedOffset >= 0) return uint32_t(fixedOffset);
  uint32_t offset = (turn % 4) * 4;
  ++turn;
  return offset;
}

uint32_t LoaderStackOffset() {
  return fixedOffset >= 0 ? uint32_t(fixedOffset) : 4;
}

void SetStackOffset(int offset) {
  fixedOffset = offset;
  turn = 0;
}
