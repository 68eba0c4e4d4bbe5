#include "Hostility.h"

#include <cstdio>
#include <cstdlib>

#include "HandleSuite.h"
#include "Trace.h"

const char* const kHostileUsage =
    "  --null FIELD          leave a callback or suite null: abortProc, progressProc,\n"
    "                        processEvent, advanceState, displayPixels, colorServices,\n"
    "                        handleProcs, descriptorParameters, platformData\n"
    "  --handle-procs-version N  offer the handle suite with this version number\n"
    "  --handle-procs-count N    ... and this procedure count\n"
    "  --null-set-size       offer the handle suite without setSizeProc\n"
    "  --guarded-handles     end each handle's data at an inaccessible page: an\n"
    "                        access past a handle's size faults\n"
    "  --fail-advance N[,CODE]   advanceState call N of the job fails (default -108)\n"
    "  --abort-in SELECTOR   abortProc answers true while the plug-in runs that\n"
    "                        selector (parameters, prepare, start, continue, finish)\n"
    "  --report-memory       print live handles and committed memory after the first\n"
    "                        and the last run\n";

namespace {

int16 currentSelector = -1;
HandleProcs alteredProcs{};

struct RunFigures {
  std::size_t handlesFirst = 0, handlesLast = 0;
  uint64_t committedFirst = 0, committedLast = 0, committedPeak = 0;
  uint64_t heapFirst = 0, heapLast = 0;
  int runs = 0;
} figures;

bool Number(const std::string& text, long* value) {
  char* end = nullptr;
  *value = std::strtol(text.c_str(), &end, 10);
  return !text.empty() && end != text.c_str();
}

} // namespace

int ParseHostileOption(const std::vector<std::string>& args, std::size_t& i, HostileOptions& o,
                       std::string& error) {
  const std::string& a = args[i];
  const bool takesValue = a == "--null" || a == "--handle-procs-version" ||
                          a == "--handle-procs-count" || a == "--fail-advance" || a == "--abort-in";
  if (a == "--null-set-size") {
    o.nullSetSize = true;
    return 1;
  }
  if (a == "--guarded-handles") {
    o.guardedHandles = true;
    return 1;
  }
  if (a == "--report-memory") {
    o.reportMemory = true;
    return 1;
  }
  if (!takesValue) return 0;
  if (i + 1 >= args.size()) {
    error = a + " needs a value";
    return -1;
  }
  const std::string& v = args[++i];
  long n = 0;
  if (a == "--null") {
    static const char* const kFields[] = {"abortProc",    "progressProc",         "processEvent",
                                          "advanceState", "displayPixels",        "colorServices",
                                          "handleProcs",  "descriptorParameters", "platformData"};
    for (const char* field : kFields) {
      if (v == field) {
        o.nulled.push_back(v);
        return 1;
      }
    }
    error = "--null does not know " + v;
    return -1;
  }
  if (a == "--abort-in") {
    static const char* const kSelectors[] = {"about", "parameters", "prepare",
                                             "start", "continue",   "finish"};
    for (int s = 0; s < 6; ++s) {
      if (v == kSelectors[s]) {
        o.abortInSelector = int16(s);
        return 1;
      }
    }
    error = "--abort-in wants a selector name";
    return -1;
  }
  if (!Number(v, &n)) {
    error = a + " wants a number";
    return -1;
  }
  if (a == "--handle-procs-version") {
    o.handleProcsVersion = int(n);
  } else if (a == "--handle-procs-count") {
    o.handleProcsCount = int(n);
  } else if (a == "--fail-advance") {
    if (n < 1) {
      error = "--fail-advance wants a call number of 1 or more";
      return -1;
    }
    o.failAdvanceAt = int(n);
    const std::size_t comma = v.find(',');
    if (comma != std::string::npos) {
      long code = 0;
      if (!Number(v.substr(comma + 1), &code)) {
        error = "--fail-advance wants N or N,CODE";
        return -1;
      }
      o.failAdvanceCode = int16(code);
    }
  }
  return 1;
}

void ApplyHostility(const HostileOptions& o, FilterRecord& r) {
  for (const std::string& field : o.nulled) {
    if (field == "abortProc") r.abortProc = nullptr;
    if (field == "progressProc") r.progressProc = nullptr;
    if (field == "processEvent") r.processEvent = nullptr;
    if (field == "advanceState") r.advanceState = nullptr;
    if (field == "displayPixels") r.displayPixels = nullptr;
    if (field == "colorServices") r.colorServices = nullptr;
    if (field == "handleProcs") r.handleProcs = nullptr;
    if (field == "descriptorParameters") r.descriptorParameters = nullptr;
    if (field == "platformData") r.platformData = nullptr;
  }
  if (r.handleProcs != nullptr &&
      (o.handleProcsVersion >= 0 || o.handleProcsCount >= 0 || o.nullSetSize)) {
    alteredProcs = *r.handleProcs;
    if (o.handleProcsVersion >= 0) alteredProcs.handleProcsVersion = int16(o.handleProcsVersion);
    if (o.handleProcsCount >= 0) alteredProcs.numHandleProcs = int16(o.handleProcsCount);
    if (o.nullSetSize) alteredProcs.setSizeProc = nullptr;
    r.handleProcs = &alteredProcs;
  }
}

void SetHostileSelector(int16 selector) {
  currentSelector = selector;
}

bool HostileAbort(const HostileOptions& o) {
  return o.abortInSelector >= 0 && o.abortInSelector == currentSelector;
}

bool HostileAdvanceFails(const HostileOptions& o, int call) {
  if (o.failAdvanceAt <= 0 || call != o.failAdvanceAt) return false;
  HostTrace().Line("  advanceState #%d fails on request -> %d", call, o.failAdvanceCode);
  return true;
}

void NoteRunEnd(const HostileOptions& o, int run, int runs, std::size_t liveHandles) {
  const bool measure = o.reportMemory && (run == 0 || run + 1 == runs || (run + 1) % 100 == 0);
  const uint64_t committed = measure ? CommittedBytes() : figures.committedLast;
  const uint64_t heap = measure ? HeapBytesInUse() : figures.heapLast;
  if (run == 0) {
    figures = RunFigures{};
    figures.handlesFirst = liveHandles;
    figures.committedFirst = committed;
    figures.heapFirst = heap;
  }
  figures.heapLast = heap;
  figures.handlesLast = liveHandles;
  figures.committedLast = committed;
  if (committed > figures.committedPeak) figures.committedPeak = committed;
  figures.runs = run + 1;
}

void PrintRunFigures(const HostileOptions& o) {
  if (!o.reportMemory) return;
  std::printf("tintara-host: memory runs=%d handlesAfterFirst=%zu handlesAfterLast=%zu "
              "committedAfterFirst=%llu committedAfterLast=%llu committedPeak=%llu "
              "heapAfterFirst=%llu heapAfterLast=%llu\n",
              figures.runs, figures.handlesFirst, figures.handlesLast,
              static_cast<unsigned long long>(figures.committedFirst),
              static_cast<unsigned long long>(figures.committedLast),
              static_cast<unsigned long long>(figures.committedPeak),
              static_cast<unsigned long long>(figures.heapFirst),
              static_cast<unsigned long long>(figures.heapLast));
  std::fflush(stdout);
}
