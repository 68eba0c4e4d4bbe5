/* An ARM64 Windows program that tells which machine its own image was built for
   and which processor the system reports. The set-up runs it in the arm64 Wine
   it made to prove that this Wine really runs ARM64 programs. */
#include <stdio.h>
#include <windows.h>

int main(void) {
  const BYTE* image = (const BYTE*)GetModuleHandleA(NULL);
  const IMAGE_DOS_HEADER* dos = (const IMAGE_DOS_HEADER*)image;
  const IMAGE_NT_HEADERS* nt = (const IMAGE_NT_HEADERS*)(image + dos->e_lfanew);
  SYSTEM_INFO info;
  GetNativeSystemInfo(&info);
  unsigned machine = nt->FileHeader.Machine;
  printf("machine=%x pointer=%u arch=%u\n", machine, (unsigned)sizeof(void*),
         (unsigned)info.wProcessorArchitecture);
  return machine == IMAGE_FILE_MACHINE_ARM64 &&
                 info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64
             ? 0
             : 1;
}
