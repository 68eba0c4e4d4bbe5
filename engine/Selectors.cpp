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
  TintParameters* p = RequireParameters(globals);
  if (p == nullptr) return;

  // In 32 bits: a rectangle wider or taller than 32767 has a positive extent.
  const int32 width = int32(fr->filterRect.right) - int32(fr->filterRect.left);
  const int16 height = int16(std::min<int32>(int32(fr->filterRect.bottom) - fr->filterRect.top,
                                             std::numeric_limits<int16>::max()));
  // Input and output planes and one mask byte per pixel.
  const int32 rowCost = int32(std::clamp<int64>((2 * int64(fr->planes) + 1) * width,
                                                std::numeric_limits<int32>::min(),
                                                std::numeric_limits<int32>::max()));
  // The record keeps the planned count (Prepare never lowers it); the host is asked
  // only for the rows that a strip of this rectangle can use.
  p->stripRows = PlanStripRows(EffectiveStripRows(p), rowCost, fr->maxSpace, height);
  const int16 rows = RunStripRows(p->stripRows, fr->filterRect);
  // The plan may ask for more than a 32-bit budget can say; the host gets the most.
  const int64 space = int64(rows) * rowCost;
  fr->maxSpace = int32(std::clamp<int64>(space, std::numeric_limits<int32>::min(),
                                         std::numeric_limits<int32>::max()));
}

void StartFilter(PluginGlobals* globals) {
  FilterRecord* fr = globals->filterRecord;
  ForgetProxyBuffers();
  TintParameters* p = RequireParameters(globals);
  if (p == nullptr) return;

  const bool usePreview = CanAdvanceState(fr) && CanDisplayPixels(fr) && !p->hostExcluded;
  p->usePreview = usePreview ? 1 : 0;

  // Also sets or clears showDialog from the host's play information; a failure
  // leaves its code in the result. It ends Start before any dialog opens: the
  // dialog's first preview would overwrite the code with the host's answer, and the
  // same descriptor would then filter on one path and fail on the other.
  ReadScriptParameters(globals);
  if (*globals->result != noErr) return;
  if (dialogRequested) p->showDialog = 1;
  if (p->showDialog) {
    // Cancel leaves -128 in the result; the dialog restores filterRect when it closes.
    RunParameterDialog(globals);
    p = GetParameters(fr);
    if (p == nullptr) {
      *globals->result = memFullErr;
      return;
    }
    p->showDialog = 0;
  }
  if (*globals->result != noErr) return;

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
  if (p == nullptr) {
    // No record to filter with: the host must not take the strip as done.
    *globals->result = memFullErr;
    EmptyRectangles(fr);
    return;
  }
  if (p->usePreview) {
    // Start has filtered everything already.
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
