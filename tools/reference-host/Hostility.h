// A hostile host on request: callbacks taken away, a handle suite of another
// version or without setSizeProc, advanceState failing at a chosen call, the user
// cancelling inside a chosen selector, and the figures a leak check needs (live
// handles and the process's committed memory after the first and the last run).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sdk/FilterRecord.h"

struct HostileOptions {
  std::vector<std::string> nulled; // record fields left null (see kHostileUsage)
  int handleProcsVersion = -1;     // -1: the suite's own
  int handleProcsCount = -1;       // -1: the suite's own
  bool nullSetSize = false;
  bool guardedHandles = false; // each handle's data ends at an inaccessible page
  int failAdvanceAt = 0;       // 0: never; else that call of advanceState fails
  int16 failAdvanceCode = memFullErr;
  int16 abortInSelector = -1; // -1: never; else abortProc answers true in that selector
  bool reportMemory = false;
};

extern const char* const kHostileUsage;

// 1 when args[i] is a hostile option (i then points at its last word), 0 when it
// is not one, -1 with a message when its value is wrong.
int ParseHostileOption(const std::vector<std::string>& args, std::size_t& i, HostileOptions& o,
                       std::string& error);

// Applies the options to a record that the host has just filled.
void ApplyHostility(const HostileOptions& o, FilterRecord& record);

// The selector the host is calling now (for --abort-in).
void SetHostileSelector(int16 selector);
bool HostileAbort(const HostileOptions& o);
// Whether advanceState call number `call` (from 1) of the job fails.
bool HostileAdvanceFails(const HostileOptions& o, int call);

// Called after each run of a job with the host's live handle count; with
// --report-memory it measures the committed memory after the first run, every
// hundredth and the last (a walk of the address space is slow under Wine).
void NoteRunEnd(const HostileOptions& o, int run, int runs, std::size_t liveHandles);
// One line of figures after the job's summary when --report-memory was given.
void PrintRunFigures(const HostileOptions& o);

// Bytes of memory committed to the process (private usage); 0 where unknown.
uint64_t CommittedBytes();
// Bytes in allocated blocks of the process's heaps; 0 where unknown.
uint64_t HeapBytesInUse();
