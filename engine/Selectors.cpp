#include "engine/Selectors.h"

#include "plugin/TintParameters.h"

// The filtering engine has not been built yet: Prepare and Start create the
// parameter record, and every selector tells the host that nothing is to be done.
namespace {
void EmptyRectangles(FilterRecord* fr) {
  fr->inRect = fr->outRect = fr->maskRect = Rect{};
}
} // namespace

void PrepareFilter(PluginGlobals* globals) {
  globals->filterRecord->bufferSpace = 0;
  CreateDefaultParameters(globals);
}

void StartFilter(PluginGlobals* globals) {
  CreateDefaultParameters(globals);
  if (*globals->result != noErr) return;
  EmptyRectangles(globals->filterRecord);
}

void ContinueFilter(PluginGlobals* globals) {
  EmptyRectangles(globals->filterRecord);
}

void TonePreview(PluginGlobals* /*globals*/, bool /*progress*/) {}
