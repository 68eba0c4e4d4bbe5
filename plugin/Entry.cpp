#include "plugin/Entry.h"

#include "engine/Selectors.h"
#include "host/Handles.h"
#include "plugin/TintParameters.h"
#include "scripting/ScriptParameters.h"

void* moduleInstance = nullptr;

namespace {

using SelectorRoutine = void (*)(PluginGlobals* globals);

void FinishFilter(PluginGlobals* globals) {
  WriteScriptParameters(globals);
}

// Indexed by the selector; About (0) is answered before the table is consulted.
constexpr SelectorRoutine kSelectorTable[] = {
    nullptr,            // filterSelectorAbout
    ParametersSelector, // filterSelectorParameters
    PrepareFilter,      // filterSelectorPrepare
    StartFilter,        // filterSelectorStart
    ContinueFilter,     // filterSelectorContinue
    FinishFilter,       // filterSelectorFinish
};
constexpr int16 kLastSelector = filterSelectorFinish;

// Runs the selector's routine. Nothing that the plug-in calls is meant to throw;
// should something all the same (an allocation inside the standard library when
// memory runs out), the host learns of a memory failure instead of having its
// process ended at this noexcept boundary, and the block is still unlocked.
void RunSelector(int16 selector, PluginGlobals* globals) {
  try {
    if (selector >= filterSelectorParameters && selector <= kLastSelector) {
      kSelectorTable[selector](globals);
    } else {
      *globals->result = filterBadParameters;
    }
  } catch (...) {
    *globals->result = memFullErr;
  }
}

void Dispatch(int16 selector, void* paramBlock, intptr_t* data, int16* result) {
  if (selector == filterSelectorAbout) {
    ShowAbout(static_cast<const AboutRecord*>(paramBlock), moduleInstance, kAboutTextId);
    return;
  }

  auto* filterRecord = static_cast<FilterRecord*>(paramBlock);
  PluginGlobals* globals = ObtainGlobals(result, filterRecord, filterRecord->handleProcs,
                                         sizeof(PluginGlobals), data, SetUpGlobals);
  if (globals == nullptr) {
    *result = memFullErr;
    return;
  }

  // A kept record too short for its fields counts as absent before any routine reads it.
  ForgetUnusableParameters(globals->filterRecord, reinterpret_cast<Handle>(*data));
  RunSelector(selector, globals);

  if (*data != 0) {
    UnlockPluginHandle(globals->filterRecord->handleProcs, reinterpret_cast<Handle>(*data));
  }
}

} // namespace

extern "C" void ENTRYPOINT(int16 selector, void* paramBlock, intptr_t* data,
                           int16* result) noexcept {
  try {
    Dispatch(selector, paramBlock, data, result);
  } catch (...) {
    *result = memFullErr;
  }
}
