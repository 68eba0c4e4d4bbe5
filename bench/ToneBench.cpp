// Speed of the tone kernel on a 6000 x 4000 image, against two baselines measured in
// the same run: the host's per-pixel abort question alone (a call that answers false,
// asked as often as the kernel asks it) and memcpy of the same bytes. After the
// benchmarks it prints, for each kernel, (kernel - questions alone) / memcpy: what
// the plug-in costs beyond the host's questions, in units of memory bandwidth.
#include <benchmark/benchmark.h>

#include <unistd.h>

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

BenchHost& Host(int16 planes) {
  static BenchHost three(3), four(4);
  return planes == 3 ? three : four;
}

void SetRate(benchmark::State& state) {
  state.counters["Mpixels"] = benchmark::Counter(double(kWidth) * kHeight / 1e6,
                                                 benchmark::Counter::kIsIterationInvariantRate);
}

void Kernel(benchmark::State& state) {
  BenchHost& host = Host(int16(state.range(0)));
  for (auto _ : state) {
    ToneBuffers(&host.globals, true);
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

void KernelReference(benchmark::State& state) {
  BenchHost& host = Host(int16(state.range(0)));
  for (auto _ : state) {
    ToneBuffersReference(&host.globals, true);
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

// The kernel's questions without the kernel: one call per pixel through the
// record's pointer, in rows, stopping at a true answer as the kernel does.
void QuestionsAlone(benchmark::State& state) {
  BenchHost& host = Host(int16(state.range(0)));
  for (auto _ : state) {
    for (int32 r = 0; r < kHeight; ++r) {
      TestAbortProc abortProc = host.record.abortProc;
      benchmark::DoNotOptimize(abortProc);
      host.record.progressProc(r, kHeight);
      for (int32 c = 0; c < kWidth; ++c) {
        if (abortProc()) break;
      }
    }
  }
  SetRate(state);
}

void Memcpy(benchmark::State& state) {
  BenchHost& host = Host(int16(state.range(0)));
  for (auto _ : state) {
    std::memcpy(host.out.data(), host.in.data(), host.in.size());
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

double Fastest(const std::vector<double>& times) {
  return *std::min_element(times.begin(), times.end());
}

// Five repetitions each; the ratios use the fastest processor time, the least
// disturbed by other work on the machine.
#define TINTARA_BENCH(name)                                                                        \
  BENCHMARK(name)                                                                                  \
      ->Arg(3)                                                                                     \
      ->Arg(4)                                                                                     \
      ->Unit(benchmark::kMillisecond)                                                              \
      ->Repetitions(5)                                                                             \
      ->ComputeStatistics("min", Fastest)                                                          \
      ->DisplayAggregatesOnly(true)
TINTARA_BENCH(Kernel);
TINTARA_BENCH(KernelReference);
TINTARA_BENCH(QuestionsAlone);
TINTARA_BENCH(Memcpy);

// Keeps each benchmark's fastest time per iteration for the ratios printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
  RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min") {
        times[run.run_name.function_name + "/" + run.run_name.args] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* planes : {"3", "4"}) {
    const auto time = [&](const std::string& name) {
      const auto it = reporter.times.find(name + "/" + planes);
      return it == reporter.times.end() ? -1.0 : it->second;
    };
    const double questions = time("QuestionsAlone"), copy = time("Memcpy");
    for (const char* kernel : {"Kernel", "KernelReference"}) {
      const double t = time(kernel);
      if (t < 0 || questions < 0 || copy <= 0) continue;
      std::printf("%s/%s: (kernel - questions alone) / memcpy = (%.2f - %.2f) / %.2f = %.2f\n",
                  kernel, planes, t, questions, copy, (t - questions) / copy);
    }
  }
  benchmark::Shutdown();
  return 0;
}
