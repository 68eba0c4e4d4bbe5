// The tone kernel's paired rounds (bench/KernelRounds.h) in a Windows program,
// built from the same engine objects and flags as the plug-in, so that a run under
// Wine measures what each shipped file does: the kernel with AVX2 and with SSE4.1,
// each divided by memcpy of the same bytes timed just before it.
// Usage: tintara-kernel-bench.exe [ROUNDS [WIDTH HEIGHT]]   (default 15, 6000 x 4000)
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/KernelRounds.h"

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 15;
  const int width = argc > 3 ? std::atoi(argv[2]) : 6000;
  const int height = argc > 3 ? std::atoi(argv[3]) : 4000;
  if (rounds < 1 || width < 1 || height < 1 || width > 32767 || height > 32767) {
    std::fprintf(stderr, "usage: tintara-kernel-bench.exe [ROUNDS [WIDTH HEIGHT]]\n");
    return 2;
  }
  std::printf("%d-bit Windows program; widest vector set of this processor: %s\n",
              int(sizeof(void*) * 8), VectorsName(ToneVectorsAvailable()));
  std::vector<ToneVectors> sets;
  for (ToneVectors set : {ToneVectors::Avx2, ToneVectors::Sse41})
    if (set <= ToneVectorsAvailable()) sets.push_back(set);
  PrintPairedRounds(int16(width), int16(height), rounds, sets);
  return 0;
}
