#include "engine/Selectors.h"

#include <algorithm>
#include <limits>

#include "engine/ProxyGeometry.h"
#include "engine/StripLoop.h"
#include "engine/ToneKernel.h"
#include "host/Callbacks.h"
#include "plugin/TintParameters.h"
#include "scripting/ScriptParameters.h"
#include "ui/ParameterDialog.h"

void PrepareFilter(PluginGlobals* globals) {
  FilterRecord* fr = globals->filterRecord;
  fr->bufferSpace = 0;
  CreateDefaultParameters(globals);
  TintParameters* p = GetParameters(fr);
  if (p == nullptr) return; // -108 stands in the result

  const int16 width = int16(fr->filterRect.right - fr->filterRect.left);
  const int16 height = int16(fr->filterRect.bottom - fr->filterRect.top);
  // Input and output planes and one mask byte per pixel.
  const int32 rowCost = (2 * int32(fr->planes) + 1) * width;
  p->stripRows = PlanStripRows(EffectiveStripRows(p), rowCost, fr->maxSpace, height);
  // The plan may ask for more than a 32-bit budget can say; the host gets the most.
  const int64 space = int64(p->stripRows) * rowCost;
  fr->maxSpace = int32(std::clamp<int64>(space, std::numeric_limits<int32>::min(),
                                         std::numeric_limits<int32>::max()));
}

void StartFilter(PluginGlobals* globals) {
  FilterRecord* fr = globals->filterRecord;
  ForgetProxyBuffers();
  CreateDefaultParameters(globals);
  TintParameters* p = GetParameters(fr);
  if (p == nullptr) return; // -108 stands in the result

  const bool usePreview = CanAdvanceState(fr) && CanDisplayPixels(fr) && !p->hostExcluded;
  p->usePreview = usePreview ? 1 : 0;

  // Also sets or clears showDialog from the host's play information; a failure
  // leaves its code in the result.
  ReadScriptParameters(globals);
  if (dialogRequested) p->showDialog = 1;
  if (p->showDialog) {
    // Cancel leaves -128 in the result; the dialog restores filterRect when it closes.
    RunParameterDialog(globals);
    p = GetParameters(fr);
    if (p != nullptr) p->showDialog = 0;
  }
  if (*globals->result != noErr || p == nullptr) return;

  if (p->usePreview) {
    FilterWholeImage(globals);
  } else {
    SetUpFirstStrip(globals);
  }
}

void ContinueFilter(PluginGlobals* globals) {
  FilterRecord* fr = globals->filterRecord;
  if (fr->abortProc != nullptr && fr->abortProc()) {
    *globals->result = userCanceledErr;
    return;
  }
  const TintParameters* p = GetParameters(fr);
  if (p == nullptr || p->usePreview) {
    // Start has filtered everything already (or there is no record to filter with).
    EmptyRectangles(fr);
    return;
  }
  ToneBuffers(globals, true);
  AdvanceStrip(globals);
}

void TonePreview(PluginGlobals* globals, bool progress) {
  const TintParameters* p = GetParameters(globals->filterRecord);
  if (p == nullptr || !p->usePreview) return;
  // After a failed advanceState the buffers are not the proxy's (or not there).
  if (!ProxyBuffersDelivered()) return;
  ToneBuffers(globals, progress);
}
