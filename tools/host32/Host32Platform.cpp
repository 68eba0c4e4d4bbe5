#include "Host32Platform.h"

#include <unistd.h>

#include <ctime>

#include "Trace.h"

OSErr Host32Platform::DisplayPixels(const PSPixelMap* map, const VRect* srcRect, int32 dstRow,
                                    int32 dstCol, void*) {
  HostTrace().Line("displayPixels version=%d bounds=%s src=%s dst=%d,%d not drawn (no window)",
                   map->version, VRectText(map->bounds).c_str(), VRectText(*srcRect).c_str(),
                   dstRow, dstCol);
  return noErr;
}

double Host32Platform::Seconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

bool Host32Platform::ProgressVisible() {
  return isatty(STDERR_FILENO) != 0;
}
