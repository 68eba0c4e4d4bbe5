// Speed of the tone kernel on a 6000 x 4000 image, against memcpy of the same bytes
// in the same run. The headline is the kernel without the host's per-pixel abort
// question divided by memcpy: what the plug-in's own work costs in units of memory
// bandwidth. Beside it stand the kernel as a host runs it (a question per pixel,
// here a call that answers false) and the plain reference kernel, each also divided
// by memcpy.
//
// Google Benchmark's table comes first. The summary after it times each kernel right
// after a memcpy, in rounds, and takes the median of those paired ratios: both
// halves of a pair meet the same load from elsewhere on the machine, which the
// fastest times of separate runs do not.
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/ToneKernel.h"
#include "plugin/TintParameters.h"

namespace {

constexpr int16 kWidth = 6000;
constexpr int16 kHeight = 4000;

__attribute__((noinline)) Boolean NeverAbort() {
  benchmark::ClobberMemory(); // a real call, as a host's would be
  return false;
}

void NoProgress(int32, int32) {}

// A host record with the whole image delivered, as on the preview path.
struct BenchHost {
  explicit BenchHost(int16 planes) : in(size_t(kWidth) * kHeight * size_t(planes)), out(in.size()) {
    uint32 seed = 1;
    for (auto& b : in) {
      seed = seed * 1664525u + 1013904223u;
      b = uint8(seed >> 24);
    }
    std::memset(&params, 0, sizeof params);
    params.toneRed = 200;
    params.toneGreen = 100;
    params.toneBlue = 17;
    params.applyRed = params.applyGreen = params.applyBlue = 1;
    paramsPointer = reinterpret_cast<char*>(&params);
    record.parameters = &paramsPointer;
    record.abortProc = NeverAbort;
    record.progressProc = NoProgress;
    record.imageMode = plugInModeRGBColor;
    record.planes = planes;
    record.filterRect = record.inRect = record.outRect = Rect{0, 0, kHeight, kWidth};
    record.inLoPlane = record.outLoPlane = 0;
    record.inHiPlane = record.outHiPlane = int16(planes - 1);
    record.inData = in.data();
    record.outData = out.data();
    record.inRowBytes = record.outRowBytes = kWidth * planes;
  }
  std::vector<uint8> in, out;
  TintParameters params;
  char* paramsPointer;
  FilterRecord record{};
  int16 result = 0;
  PluginGlobals globals{&result, &record, {}};
};

// The shared host of the given planes, asking the abort question per pixel or not.
BenchHost& Host(int16 planes, bool questions) {
  static BenchHost three(3), four(4);
  BenchHost& host = planes == 3 ? three : four;
  host.record.abortProc = questions ? NeverAbort : nullptr;
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
    std::memcpy(host.out.data(), host.in.data(), host.in.size());
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

// Processor time of one call, in milliseconds.
template <typename Work> double Milliseconds(Work work) {
  timespec start{}, end{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
  work();
  benchmark::ClobberMemory();
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
  return double(end.tv_sec - start.tv_sec) * 1e3 + double(end.tv_nsec - start.tv_nsec) / 1e6;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Summary {
  double fastest = 1e300;     // milliseconds
  std::vector<double> ratios; // to the memcpy just before, per round
};

// Rounds of: memcpy, then the kernel; for each kernel and plane count.
void PrintSummary(int rounds) {
  const char* const labels[] = {"memcpy of the same bytes", "kernel, no host questions",
                                "kernel, a host question per pixel",
                                "reference kernel, a question per pixel"};
  std::map<std::pair<int, int>, Summary> summary; // (planes, row)
  for (int round = 0; round < rounds; ++round) {
    for (int16 planes : {int16(3), int16(4)}) {
      for (int row = 1; row < 4; ++row) {
        BenchHost& host = Host(planes, row >= 2);
        const double copy =
            Milliseconds([&] { std::memcpy(host.out.data(), host.in.data(), host.in.size()); });
        const double kernel = Milliseconds([&] {
          if (row == 3)
            ToneBuffersReference(&host.globals, true);
          else
            ToneBuffers(&host.globals, true);
        });
        Summary& c = summary[{planes, 0}];
        c.fastest = std::min(c.fastest, copy);
        c.ratios.push_back(1.0);
        Summary& k = summary[{planes, row}];
        k.fastest = std::min(k.fastest, kernel);
        k.ratios.push_back(kernel / copy);
      }
    }
  }
  const double megapixels = double(kWidth) * kHeight / 1e6;
  std::printf("\n%d x %d pixels, %d rounds; each kernel timed right after a memcpy "
              "(processor time)\n",
              kWidth, kHeight, rounds);
  std::printf("%-7s %-40s %11s %16s %17s\n", "planes", "benchmark", "fastest ms", "Mpixels/s there",
              "median / memcpy");
  for (int planes : {3, 4}) {
    for (int row = 0; row < 4; ++row) {
      const Summary& s = summary[{planes, row}];
      std::printf("%-7d %-40s %11.2f %16.1f %17.2f\n", planes, labels[row], s.fastest,
                  megapixels / (s.fastest / 1e3), Median(s.ratios));
    }
  }
  std::printf("\nkernel without host questions / memcpy: %.2f (3 planes), %.2f (4 planes)\n",
              Median(summary[{3, 1}].ratios), Median(summary[{4, 1}].ratios));
  std::printf("with a host question per pixel / memcpy: %.2f (3 planes), %.2f (4 planes)\n",
              Median(summary[{3, 2}].ratios), Median(summary[{4, 2}].ratios));
}

} // namespace

int main(int argc, char** argv) {
  // Interleaved repetitions: a burst of load elsewhere then touches every benchmark
  // alike instead of all repetitions of one.
  std::vector<char*> args(argv, argv + argc);
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave.data());
  int count = int(args.size());
  benchmark::Initialize(&count, args.data());
  benchmark::RunSpecifiedBenchmarks();
  PrintSummary(15);
  benchmark::Shutdown();
  return 0;
}
