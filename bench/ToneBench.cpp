// Speed of the tone kernel on a 6000 x 4000 image (or --size=WxH), against memcpy of the same bytes
// in the same run. The headline is the kernel without the host's per-pixel abort
// question divided by memcpy: what the plug-in's own work costs in units of memory
// bandwidth. Beside it stand the kernel as a host runs it (a question per pixel,
// here a call that answers false) and the plain reference kernel, each also divided
// by memcpy.
//
// Google Benchmark's table comes first, for the vector set the processor gives.
// The summary after it (bench/KernelRounds.h) times each kernel right after a
// memcpy, in rounds, for each vector set the processor has, and takes the median
// of those paired ratios.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/KernelRounds.h"
#include "engine/ToneKernel.h"
#include "reference/ToneBuffersReference.h"

namespace {

// The image, 6000 x 4000 unless --size=WxH says otherwise.
int16 gWidth = 6000;
int16 gHeight = 4000;

// The shared host of the given planes, asking the abort question per pixel or not.
BenchHost& Host(int16 planes, bool questions) {
  static BenchHost three(gWidth, gHeight, 3), four(gWidth, gHeight, 4);
  BenchHost& host = planes == 3 ? three : four;
  host.AskQuestions(questions);
  return host;
}

void KernelNoQuestions(benchmark::State& state) {
  BenchHost& host = Host(int16(state.range(0)), false);
  for (auto _ : state) {
    ToneBuffers(&host.globals, true);
    benchmark::ClobberMemory();
  }
}

void Kernel(benchmark::State& state) {
  BenchHost& host = Host(int16(state.range(0)), true);
  for (auto _ : state) {
    ToneBuffers(&host.globals, true);
    benchmark::ClobberMemory();
  }
}

void KernelReference(benchmark::State& state) {
  BenchHost& host = Host(int16(state.range(0)), true);
  for (auto _ : state) {
    ToneBuffersReference(&host.globals, true);
    benchmark::ClobberMemory();
  }
}

void Memcpy(benchmark::State& state) {
  BenchHost& host = Host(int16(state.range(0)), false);
  for (auto _ : state) {
    host.Copy();
    benchmark::ClobberMemory();
  }
}

double Fastest(const std::vector<double>& times) {
  return *std::min_element(times.begin(), times.end());
}

// Five repetitions each, reported as mean, median, standard deviation and "min",
// the fastest time.
#define TINTARA_BENCH(name)                                                                        \
  BENCHMARK(name)                                                                                  \
      ->Arg(3)                                                                                     \
      ->Arg(4)                                                                                     \
      ->Unit(benchmark::kMillisecond)                                                              \
      ->Repetitions(5)                                                                             \
      ->ComputeStatistics("min", Fastest)                                                          \
      ->DisplayAggregatesOnly(true)
TINTARA_BENCH(Memcpy);
TINTARA_BENCH(KernelNoQuestions);
TINTARA_BENCH(Kernel);
TINTARA_BENCH(KernelReference);

} // namespace

// Takes this program's own options, --size=WxH and --rounds=N (paired rounds, 15 by
// default), out of the arguments; false on a malformed one.
bool TakeOwnOptions(std::vector<char*>& args, int& rounds) {
  for (auto it = args.begin() + 1; it != args.end();) {
    const std::string arg = *it;
    int width = 0, height = 0;
    if (arg.rfind("--size=", 0) == 0) {
      if (std::sscanf(arg.c_str(), "--size=%dx%d", &width, &height) != 2 || width < 1 ||
          height < 1 || width > 32767 || height > 32767)
        return false;
      gWidth = int16(width);
      gHeight = int16(height);
    } else if (arg.rfind("--rounds=", 0) == 0) {
      rounds = std::atoi(arg.c_str() + 9);
      if (rounds < 1) return false;
    } else {
      ++it;
      continue;
    }
    it = args.erase(it);
  }
  return true;
}

int main(int argc, char** argv) {
  std::vector<char*> args(argv, argv + argc);
  int rounds = 15;
  if (!TakeOwnOptions(args, rounds)) {
    std::fprintf(stderr, "usage: tintara_bench [--size=WxH] [--rounds=N] [benchmark options]\n");
    return 2;
  }
  // Interleaved repetitions: a burst of load elsewhere then touches every benchmark
  // alike instead of all repetitions of one.
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave.data());
  int count = int(args.size());
  benchmark::Initialize(&count, args.data());
  benchmark::RunSpecifiedBenchmarks();
  std::vector<ToneVectors> sets;
  for (ToneVectors set : {ToneVectors::Avx2, ToneVectors::Sse41})
    if (set <= ToneVectorsAvailable()) sets.push_back(set);
  PrintPairedRounds(gWidth, gHeight, rounds, sets);
  benchmark::Shutdown();
  return 0;
}
