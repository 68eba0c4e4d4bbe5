#include "bench/KernelRounds.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <tuple>

#ifndef _WIN32
#include <time.h>
#endif

#include "engine/ToneKernel.h"
#include "reference/ToneBuffersReference.h"

namespace {

void ClobberMemory() {
  asm volatile("" ::: "memory");
}

__attribute__((noinline)) Boolean NeverAbort() {
  ClobberMemory(); // a real call, as a host's would be
  return false;
}

void NoProgress(int32, int32) {}

// Milliseconds that one call takes: processor time of the thread natively; on
// Windows wall time from the performance counter, since the thread times there
// advance in steps of about 16 ms.
template <typename Work> double Milliseconds(Work work) {
#ifdef _WIN32
  const auto start = std::chrono::steady_clock::now();
  work();
  ClobberMemory();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
#else
  timespec start{}, end{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
  work();
  ClobberMemory();
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
  return double(end.tv_sec - start.tv_sec) * 1e3 + double(end.tv_nsec - start.tv_nsec) / 1e6;
#endif
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Summary {
  std::string label;
  double fastest = 1e300;     // milliseconds
  std::vector<double> ratios; // to the memcpy just before, per round
};

// One benchmark row: the fast kernel with a vector set, or the reference.
struct Row {
  std::string label;
  bool reference;
  ToneVectors set;
  bool questions;
};

} // namespace

BenchHost::BenchHost(int16 width, int16 height, int16 planes)
    : in(size_t(width) * size_t(height) * size_t(planes)), out(in.size()) {
  uint32 seed = 1;
  for (auto& b : in) {
    seed = seed * 1664525u + 1013904223u;
    b = uint8(seed >> 24);
  }
  params.toneRed = 200;
  params.toneGreen = 100;
  params.toneBlue = 17;
  params.applyRed = params.applyGreen = params.applyBlue = 1;
  paramsPointer = reinterpret_cast<char*>(&params);
  record.parameters = &paramsPointer;
  record.progressProc = NoProgress;
  record.imageMode = plugInModeRGBColor;
  record.planes = planes;
  record.filterRect = record.inRect = record.outRect = Rect{0, 0, height, width};
  record.inLoPlane = record.outLoPlane = 0;
  record.inHiPlane = record.outHiPlane = int16(planes - 1);
  record.inData = in.data();
  record.outData = out.data();
  record.inRowBytes = record.outRowBytes = int32(width) * planes;
}

void BenchHost::AskQuestions(bool questions) {
  record.abortProc = questions ? NeverAbort : nullptr;
}

void BenchHost::Copy() {
  std::memcpy(out.data(), in.data(), in.size());
}

const char* VectorsName(ToneVectors set) {
  switch (set) {
  case ToneVectors::Avx2:
    return "AVX2";
  case ToneVectors::Sse41:
    return "SSE4.1";
  default:
    return "no vectors";
  }
}

void PrintPairedRounds(int16 width, int16 height, int rounds,
                       const std::vector<ToneVectors>& sets) {
  std::vector<Row> rows;
  for (ToneVectors set : sets) {
    const std::string name = VectorsName(set);
    rows.push_back({"kernel (" + name + "), no host questions", false, set, false});
    rows.push_back({"kernel (" + name + "), a question per pixel", false, set, true});
  }
  rows.push_back({"reference kernel, a question per pixel", true, ToneVectors::None, true});
  BenchHost three(width, height, 3), four(width, height, 4);
  std::map<std::pair<int, size_t>, Summary> summary; // (planes, row + 1; 0 is memcpy)
  const ToneVectors before = ToneVectorsInUse();
  for (int round = 0; round < rounds; ++round) {
    for (BenchHost* host : {&three, &four}) {
      const int planes = host->record.planes;
      for (size_t row = 0; row < rows.size(); ++row) {
        const Row& r = rows[row];
        host->AskQuestions(r.questions);
        LimitToneVectors(r.set);
        const double copy = Milliseconds([&] { host->Copy(); });
        const double kernel = Milliseconds([&] {
          if (r.reference)
            ToneBuffersReference(&host->globals, true);
          else
            ToneBuffers(&host->globals, true);
        });
        Summary& c = summary[{planes, 0}];
        c.label = "memcpy of the same bytes";
        c.fastest = std::min(c.fastest, copy);
        c.ratios.push_back(1.0);
        Summary& k = summary[{planes, row + 1}];
        k.label = r.label;
        k.fastest = std::min(k.fastest, kernel);
        k.ratios.push_back(kernel / copy);
      }
    }
  }
  LimitToneVectors(before);
  const double megapixels = double(width) * height / 1e6;
  std::printf("\n%d x %d pixels, %d rounds; each kernel timed right after a memcpy (%s)\n", width,
              height, rounds,
#ifdef _WIN32
              "wall time"
#else
              "processor time"
#endif
  );
  std::printf("%-7s %-44s %11s %16s %17s\n", "planes", "benchmark", "fastest ms", "Mpixels/s there",
              "median / memcpy");
  for (int planes : {3, 4}) {
    for (size_t row = 0; row <= rows.size(); ++row) {
      const Summary& s = summary[{planes, row}];
      std::printf("%-7d %-44s %11.2f %16.1f %17.2f\n", planes, s.label.c_str(), s.fastest,
                  megapixels / (s.fastest / 1e3), Median(s.ratios));
    }
  }
  std::printf("\n");
  for (size_t i = 0; i < sets.size(); ++i) {
    const size_t row = 2 * i + 1;
    std::printf("%s kernel without host questions / memcpy: %.2f (3 planes), %.2f (4 planes)\n",
                VectorsName(sets[i]), Median(summary[{3, row}].ratios),
                Median(summary[{4, row}].ratios));
    std::printf("%s with a host question per pixel / memcpy: %.2f (3 planes), %.2f (4 planes)\n",
                VectorsName(sets[i]), Median(summary[{3, row + 1}].ratios),
                Median(summary[{4, row + 1}].ratios));
  }
  // The narrower sets against the widest, round by round (each over its own memcpy).
  for (size_t i = 1; i < sets.size(); ++i) {
    std::printf("%s time / %s time, no host questions:", VectorsName(sets[0]),
                VectorsName(sets[i]));
    for (int planes : {3, 4}) {
      const auto& wide = summary[{planes, 1}].ratios;
      const auto& narrow = summary[{planes, 2 * i + 1}].ratios;
      std::vector<double> quotients;
      for (size_t k = 0; k < wide.size(); ++k)
        quotients.push_back(wide[k] / narrow[k]);
      std::printf(" %.2f (%d planes)", Median(quotients), planes);
    }
    std::printf("\n");
  }
}
