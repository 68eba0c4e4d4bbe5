#include "plugin/PluginGlobals.h"

#include "host/Handles.h"
#include "plugin/TintParameters.h"

namespace {

// The globals handles that this load of the library made, newest first. Hosts
// differ in what they hand back in the data slot: the same handle (the library kept
// loaded), a new handle holding a byte copy of the block, or a raw value saved by
// another process, which is no handle at all. Only a handle made here is locked;
// anything else is left alone and replaced by a new block. The block holds nothing
// that must outlive a call, so nothing is lost by starting it afresh. The list is a
// fixed array, so that noting a block never needs memory: a host that hands back a
// new copy every run pushes the oldest out, and those are in no slot any more.
constexpr int kRememberedGlobals = 16;
intptr_t globalsMadeHere[kRememberedGlobals] = {};

bool MadeHere(intptr_t value) {
  if (value == 0) return false;
  for (intptr_t made : globalsMadeHere) {
    if (made == value) return true;
  }
  return false;
}

void Remember(Handle handle) {
  for (int i = kRememberedGlobals - 1; i > 0; --i)
    globalsMadeHere[i] = globalsMadeHere[i - 1];
  globalsMadeHere[0] = reinterpret_cast<intptr_t>(handle);
}

void Forget(Handle handle) {
  for (intptr_t& made : globalsMadeHere) {
    if (made == reinterpret_cast<intptr_t>(handle)) made = 0;
  }
}

PluginGlobals* Begin(PluginGlobals* globals, int16* result, FilterRecord* filterRecord) {
  globals->result = result;
  *result = noErr;
  globals->filterRecord = filterRecord;
  return globals;
}

} // namespace

PluginGlobals* ObtainGlobals(int16* result, FilterRecord* filterRecord, HandleProcs* procs,
                             int32 size, intptr_t* data, GlobalsSetUpProc setUp) {
  if (MadeHere(*data)) {
    Handle existing = reinterpret_cast<Handle>(*data);
    auto* globals = reinterpret_cast<PluginGlobals*>(LockPluginHandle(procs, existing, true));
    if (globals == nullptr) return nullptr; // the handle stays in the slot for the next call
    return Begin(globals, result, filterRecord);
  }

  Handle created = NewPluginHandle(procs, size);
  if (created == nullptr) return nullptr;
  auto* globals = reinterpret_cast<PluginGlobals*>(LockPluginHandle(procs, created, true));
  if (globals == nullptr) {
    DisposePluginHandle(procs, created);
    return nullptr;
  }
  Remember(created);
  Begin(globals, result, filterRecord);
  try {
    setUp(globals);
  } catch (...) {
    // Something inside the set-up threw (an allocation when memory runs out): the
    // new block is not kept, so that it is neither left locked nor abandoned.
    Forget(created);
    UnlockPluginHandle(procs, created);
    DisposePluginHandle(procs, created);
    return nullptr;
  }
  // Stored only after set-up, so a slot never holds a half-made block.
  *data = reinterpret_cast<intptr_t>(created);
  return globals;
}

void SetUpGlobals(PluginGlobals* globals) {
  CreateDefaultParameters(globals);
}
