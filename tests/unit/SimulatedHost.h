// A simulated host for native tests: a FilterRecord with handle procs that count
// live handles and can fail, a data slot, and callbacks whose answers a test sets.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include "sdk/FilterRecord.h"

class SimulatedHost {
public:
  SimulatedHost();
  ~SimulatedHost();
  SimulatedHost(const SimulatedHost&) = delete;
  SimulatedHost& operator=(const SimulatedHost&) = delete;

  // Calls the plug-in's entry point with this host's record, data slot and result.
  int16 Call(int16 selector);

  FilterRecord record{};
  HandleProcs procs{};
  intptr_t dataSlot = 0;
  int16 result = 0x5555; // a value the plug-in must overwrite

  // Handle bookkeeping.
  int liveHandles = 0;
  int newCalls = 0, disposeCalls = 0, lockCalls = 0, unlockCalls = 0;
  int failNewAfter = -1;     // newProc succeeds this many more times, then fails; -1 never
  bool failLock = false;     // lockProc returns null
  int nullDataFromCall = -1; // from this newProc call (1-based) on, handles hold no data
  int throwAtNewCall = -1;   // this newProc call (1-based) throws, as an allocation inside
                             // the plug-in's set-up could
  bool reportSizes = false;  // getSizeProc answers the size; otherwise 0, as some hosts do
  // When set, getSizeProc answers this for a handle instead (its live size, or 0, given).
  std::function<int32(Handle handle, int32 size)> sizeAnswer;
  int getSizeCalls = 0;

  // Callback answers.
  int abortCalls = 0;
  int abortAtCall = -1; // abortProc answers true from this call (1-based) on; -1 never
  std::vector<std::pair<int32, int32>> progress;
  std::function<OSErr()> onAdvanceState; // null: advanceState left null in the record

  void UseAdvanceState(std::function<OSErr()> proc);
  void UseHandleProcs(bool use); // false passes null handleProcs

  std::map<Handle, int32> hostHandles; // live handles made by newProc and their sizes

  static SimulatedHost* current;
};
