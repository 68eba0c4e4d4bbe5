#include "plugin/PluginGlobals.h"

#include "host/Handles.h"
#include "plugin/TintParameters.h"

#include <unordered_set>

namespace {

// The globals handles that this load of the library made. Hosts differ in what
// they hand back in the data slot: the same handle (the library kept loaded), a
// new handle holding a byte copy of the block, or a raw value saved by another
// process, which is no handle at all. Only a handle made here is locked; anything
// else is left alone and replaced by a new block. The block holds nothing that
// must outlive a call, so nothing is lost by starting it afresh.
std::unordered_set<intptr_t>& GlobalsMadeHere() {
  static std::unordered_set<intptr_t> made;
  return made;
}

// Notes a block made here. Growing the set needs memory, and its failure throws:
// then the block is not kept, and the call fails like any allocation that finds no
// memory, instead of throwing through the host's noexcept entry.
bool RememberGlobals(Handle handle) {
  try {
    GlobalsMadeHere().insert(reinterpret_cast<intptr_t>(handle));
    return true;
  } catch (...) {
    return false;
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
  if (*data != 0 && GlobalsMadeHere().count(*data) != 0) {
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
  if (!RememberGlobals(created)) {
    UnlockPluginHandle(procs, created);
    DisposePluginHandle(procs, created);
    return nullptr;
  }
  Begin(globals, result, filterRecord);
  try {
    setUp(globals);
  } catch (...) {
    // Something inside the set-up threw (an allocation when memory runs out): the
    // new block is not kept, so that it is neither left locked nor abandoned.
    GlobalsMadeHere().erase(reinterpret_cast<intptr_t>(created));
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
