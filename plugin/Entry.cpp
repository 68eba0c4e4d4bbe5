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

} // namespace

extern "C" void ENTRYPOINT(int16 selector, void* paramBlock, intptr_t* data,
                           int16* result) noexcept {
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

  if (selector >= filterSelectorParameters && selector <= kLastSelector) {
    kSelectorTable[selector](globals);
  } else {
    *globals->result = filterBadParameters;
  }

  if (*data != 0) {
    UnlockPluginHandle(globals->filterRecord->handleProcs, reinterpret_cast<Handle>(*data));
  }
}
