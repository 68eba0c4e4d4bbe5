// Drives ToneBuffers over one image as a host does, for measuring its cost.
//   tintara_cost_driver count PLANES WIDTH HEIGHT [portable]
//       one pass over the image (run it under callgrind; the host's callbacks are
//       HostAbort and HostProgress, so that their cost can be told apart); with
//       "portable", the kernel without vector instructions
//   tintara_cost_driver ratio PLANES WIDTH HEIGHT REPEATS
//       prints the time of the kernel over the image divided by the time of
//       memcpy of the same bytes, both measured in this run
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/ToneKernel.h"
#include "engine/TonePlan.h"
#include "plugin/TintParameters.h"

extern "C" {
// The host's callbacks; kept out of line so that callgrind counts them apart.
__attribute__((noinline)) Boolean HostAbort() {
  return 0;
}
__attribute__((noinline)) void HostProgress(int32, int32) {}
}

namespace {

struct Image {
  std::vector<uint8> in, out;
  FilterRecord* record;
  TintParameters parameters{};
  char* parametersData;
  int16 result = 0;
  PluginGlobals globals{};

  Image(int planes, int width, int height) {
    in.resize(std::size_t(planes) * width * height);
    out.resize(in.size());
    for (std::size_t i = 0; i < in.size(); ++i)
      in[i] = uint8(i * 37 + i / 7);
    record = static_cast<FilterRecord*>(std::calloc(1, kFilterRecordSize60));
    parameters.toneRed = 200;
    parameters.toneGreen = 30;
    parameters.toneBlue = 117;
    parameters.applyRed = parameters.applyGreen = parameters.applyBlue = 1;
    parameters.zoom = 1;
    parameters.stripRows = int16(height);
    parametersData = reinterpret_cast<char*>(&parameters);
    FilterRecord& r = *record;
    r.parameters = &parametersData;
    r.planes = int16(planes);
    r.imageMode = plugInModeRGBColor;
    r.filterRect = Rect{0, 0, int16(height), int16(width)};
    r.inRect = r.outRect = r.maskRect = r.filterRect;
    r.inLoPlane = r.outLoPlane = 0;
    r.inHiPlane = r.outHiPlane = int16(planes - 1);
    r.inData = in.data();
    r.outData = out.data();
    r.inRowBytes = r.outRowBytes = planes * width;
    r.abortProc = HostAbort;
    r.progressProc = HostProgress;
    globals.result = &result;
    globals.filterRecord = record;
  }
  ~Image() { std::free(record); }
};

double Seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s count|ratio PLANES WIDTH HEIGHT [REPEATS]\n", argv[0]);
    return 2;
  }
  const std::string mode = argv[1];
  const int planes = std::atoi(argv[2]), width = std::atoi(argv[3]), height = std::atoi(argv[4]);
  if (planes < 3 || planes > 4 || width < 1 || height < 1 || width > 32767 || height > 32767)
    return 2;
  Image image(planes, width, height);
  if (mode == "count") {
    if (argc > 5 && std::string(argv[5]) == "portable") LimitToneVectors(ToneVectors::None);
    ToneBuffers(&image.globals, true);
    std::printf("pixels=%ld result=%d\n", long(width) * height, image.result);
    return image.result == 0 ? 0 : 1;
  }
  const int repeats = argc > 5 ? std::max(1, std::atoi(argv[5])) : 20;
  // The best of several rounds of each, interleaved, so that both see the same machine.
  double kernel = 1e30, copy = 1e30;
  for (int i = 0; i < repeats; ++i) {
    double t = Seconds();
    ToneBuffers(&image.globals, true);
    kernel = std::min(kernel, Seconds() - t);
    t = Seconds();
    std::memcpy(image.out.data(), image.in.data(), image.in.size());
    asm volatile("" ::"r"(image.out.data()) : "memory");
    copy = std::min(copy, Seconds() - t);
  }
  std::printf("planes=%d kernel=%.3fms memcpy=%.3fms ratio=%.2f\n", planes, kernel * 1e3,
              copy * 1e3, kernel / copy);
  return 0;
}
