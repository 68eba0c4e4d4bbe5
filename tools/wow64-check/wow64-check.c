/* A 32-bit Windows program that tells whether it runs under a 64-bit Windows
   (as 32-bit code does under WoW64). The set-up runs it in the Wine it made to
   prove that this Wine really runs 32-bit programs. */
#include <stdio.h>
#include <windows.h>

int main(void) {
  BOOL wow64 = FALSE;
  if (!IsWow64Process(GetCurrentProcess(), &wow64)) return 2;
  printf("pointer=%u IsWow64Process=%d\n", (unsigned)sizeof(void*), wow64 ? 1 : 0);
  return sizeof(void*) == 4 && wow64 ? 0 : 1;
}
