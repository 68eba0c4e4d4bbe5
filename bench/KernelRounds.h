// The paired rounds of the kernel benchmarks (bench/ToneBench.cpp natively,
// bench/KernelBenchWin.cpp in the Windows builds): each kernel timed right after a
// memcpy of the same bytes, the median of those paired ratios reported. Both
// halves of a pair meet the same load from elsewhere on the machine, which the
// fastest times of separate runs do not.
#pragma once

#include <vector>

#include "engine/TonePlan.h"
#include "plugin/PluginGlobals.h"
#include "plugin/TintParameters.h"

// A host record with the whole image delivered, as on the preview path, every
// channel on.
struct BenchHost {
  BenchHost(int16 width, int16 height, int16 planes);
  BenchHost(const BenchHost&) = delete;
  BenchHost& operator=(const BenchHost&) = delete;
  // Whether the host asks its abort question per pixel (a call that answers false).
  void AskQuestions(bool questions);
  void Copy(); // memcpy of the image's bytes from the input to the output buffer

  std::vector<uint8> in, out;
  TintParameters params{};
  char* paramsPointer = nullptr;
  FilterRecord record{};
  int16 result = 0;
  PluginGlobals globals{&result, &record, {}};
};

// Rounds of: for each plane count, memcpy then a kernel, for each kernel: the fast
// one limited to each of the given vector sets (without and with host questions),
// then the reference. Prints a table of the fastest time, megapixels per second
// and the median ratio to memcpy, then the headline lines.
void PrintPairedRounds(int16 width, int16 height, int rounds, const std::vector<ToneVectors>& sets);

const char* VectorsName(ToneVectors set);
