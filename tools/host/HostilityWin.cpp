#include <windows.h>
// psapi.h needs the declarations of windows.h first.
#include <psapi.h>

#include "Hostility.h"

uint64_t CommittedBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (!K32GetProcessMemoryInfo(GetCurrentProcess(),
                               reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                               sizeof counters)) {
    return 0;
  }
  // Windows keeps PagefileUsage equal to PrivateUsage (the commit charge); Wine 8
  // reports only PagefileUsage and leaves PrivateUsage 0.
  return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}
