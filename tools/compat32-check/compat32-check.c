/* Tells whether this machine runs 32-bit code inside a 64-bit process, the way
 * Wine's WoW64 mode runs 32-bit Windows programs: a far jump from 64-bit code to
 * the 32-bit user code segment (selector 0x23), which runs `mov eax, 42; retf`
 * and returns to the 64-bit segment (0x33). Some kernels refuse the jump with a
 * general-protection fault, which kills the process, so the jump is made in a
 * child and the parent reads its status.
 *
 * Build static and non-PIE (the return address must fit in 32 bits):
 *   gcc -O2 -static -no-pie -o compat32-check compat32-check.c
 * Prints "compat32: runs (eax=42)" and exits 0, or prints why not and exits 1.
 * `compat32-check SELECTOR` jumps to another selector instead, e.g. 0x2b (the
 * data segment, which no kernel runs), to see the refusal reported. */
#define _GNU_SOURCE
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

struct far_pointer {
  uint32_t offset;
  uint16_t selector;
} __attribute__((packed));

static struct far_pointer target __attribute__((used));
static uint64_t stack_top __attribute__((used));
static uint64_t saved_rsp __attribute__((used));

/* Jumps to `target` in 32-bit mode with the stack at `stack_top`; the 32-bit
 * code's far return lands at label 1 in 64-bit mode. The mode switch may leave
 * the upper halves of any register undefined, so every register the compiler
 * relies on is saved on the 64-bit stack and declared clobbered. */
static uint32_t run_32bit(void) {
  uint32_t result;
  __asm__ volatile("push %%rbx\n\t"
                   "push %%rbp\n\t"
                   "push %%r12\n\t"
                   "push %%r13\n\t"
                   "push %%r14\n\t"
                   "push %%r15\n\t"
                   "mov %%rsp, saved_rsp\n\t"
                   "mov stack_top, %%rsp\n\t"
                   "sub $8, %%rsp\n\t"
                   "lea 1f, %%rax\n\t"
                   "movl %%eax, (%%rsp)\n\t"  /* return offset */
                   "movl $0x33, 4(%%rsp)\n\t" /* return selector: 64-bit code */
                   "ljmpl *target\n"
                   "1:\n\t"
                   "mov saved_rsp, %%rsp\n\t"
                   "pop %%r15\n\t"
                   "pop %%r14\n\t"
                   "pop %%r13\n\t"
                   "pop %%r12\n\t"
                   "pop %%rbp\n\t"
                   "pop %%rbx\n\t"
                   : "=a"(result)
                   :
                   : "rcx", "rdx", "rsi", "rdi", "r8", "r9", "r10", "r11", "memory", "cc");
  return result;
}

static int child(uint16_t selector) {
  /* Code and stack below 4 GB, where 32-bit code can address them. */
  uint8_t* code = mmap(NULL, 4096, PROT_READ | PROT_WRITE | PROT_EXEC,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  uint8_t* stack =
      mmap(NULL, 65536, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  if (code == MAP_FAILED || stack == MAP_FAILED) {
    perror("compat32: mmap below 4 GB");
    return 2;
  }
  static const uint8_t program[] = {0xb8, 0x2a, 0x00, 0x00, 0x00, /* mov eax, 42 */
                                    0xcb};                        /* retf */
  memcpy(code, program, sizeof program);
  target.offset = (uint32_t)(uintptr_t)code;
  target.selector = selector;
  stack_top = (uint64_t)(uintptr_t)(stack + 65536 - 64);
  uint32_t eax = run_32bit();
  printf("compat32: runs (eax=%u)\n", eax);
  fflush(stdout);
  return eax == 42 ? 0 : 3;
}

int main(int argc, char** argv) {
  const uint16_t selector = argc > 1 ? (uint16_t)strtoul(argv[1], NULL, 0) : 0x23;
  fflush(stdout);
  pid_t pid = fork();
  if (pid < 0) {
    perror("compat32: fork");
    return 2;
  }
  if (pid == 0) _exit(child(selector));
  int status = 0;
  if (waitpid(pid, &status, 0) < 0) {
    perror("compat32: waitpid");
    return 2;
  }
  if (WIFSIGNALED(status)) {
    printf("compat32: refused (the far jump to 32-bit code died of signal %d, %s)\n",
           WTERMSIG(status), strsignal(WTERMSIG(status)));
    return 1;
  }
  return WEXITSTATUS(status) == 0 ? 0 : 1;
}
