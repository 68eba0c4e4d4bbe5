#include "ui/PreviewPanel.h"

#include "engine/ProxyGeometry.h"
#include "engine/Selectors.h"
#include "host/Callbacks.h"
#include "plugin/TintParameters.h"
#include "ui/DialogIds.h"

namespace {
void WriteOffsets(TintParameters* params, int32 h, int32 v) {
  params->offsetH = int16(h);
  params->offsetV = int16(v);
}
} // namespace

bool PreviewCanFetch(const PluginGlobals* globals) {
  return globals != nullptr && globals->filterRecord != nullptr &&
         CanAdvanceState(globals->filterRecord) && GetParameters(globals->filterRecord) != nullptr;
}

void RerunGeometry(PluginGlobals* globals) {
  if (!PreviewCanFetch(globals)) return;
  FilterRecord* fr = globals->filterRecord;
  fr->filterRect = GetParameters(fr)->imageRect;
  ComputeProxy(globals);
}

void RetonePreview(PluginGlobals* globals) {
  TonePreview(globals, false);
}

void FetchOpeningProxy(PluginGlobals* globals) {
  TintParameters* params = GetParameters(globals->filterRecord);
  if (!PreviewCanFetch(globals)) {
    params->usePreview = 0;
    return;
  }
  ComputeProxy(globals);
  if (*globals->result != noErr) {
    // The dialog goes on without a preview for the rest of this Start call.
    params->usePreview = 0;
    *globals->result = noErr;
    return;
  }
  RetonePreview(globals);
}

void UpdatePanLimits(PluginGlobals* globals, PreviewState& state) {
  const FilterRecord* fr = globals->filterRecord;
  SetPanLimits(state, fr->filterRect, GetParameters(fr)->imageRect);
}

bool PanPreview(PluginGlobals* globals, PreviewState& state, int id) {
  if (!PreviewCanFetch(globals)) return false;
  if (!ApplyPanButton(state, id)) return false;
  WriteOffsets(GetParameters(globals->filterRecord), state.panH, state.panV);
  RerunGeometry(globals);
  RetonePreview(globals);
  return true;
}

void DragPreview(PluginGlobals* globals, PreviewState& state, int32 x, int32 y) {
  if (!PreviewCanFetch(globals)) return;
  TintParameters* params = GetParameters(globals->filterRecord);
  DragTo(state, EffectiveZoom(params->zoom), x, y);
  WriteOffsets(params, state.dragOffsetH, state.dragOffsetV);
  // Only the fetch during a drag; the tone is applied at button up.
  RerunGeometry(globals);
}

void ReleasePreview(PluginGlobals* globals, PreviewState& state) {
  RetonePreview(globals);
  EndDrag(state);
}

void CentrePreview(PluginGlobals* globals, PreviewState& state) {
  if (!PreviewCanFetch(globals)) return;
  CentrePan(state);
  WriteOffsets(GetParameters(globals->filterRecord), 0, 0);
  RerunGeometry(globals);
  RetonePreview(globals);
}

ZoomDecision ZoomPreviewState(PluginGlobals* globals, PreviewState& state, int id) {
  if (!PreviewCanFetch(globals) || (id != kIdZoomIn && id != kIdZoomOut)) {
    return ZoomDecision{0, ButtonChange::Leave, ButtonChange::Leave, 0};
  }
  TintParameters* params = GetParameters(globals->filterRecord);
  const ZoomDecision d = DecideZoom(id, params->zoom, params->imageRect, state.previewBounds);
  params->zoom = d.zoom;

  // The centred source rectangle at the new factor gives the new pan limits.
  const int32 oldOffsetH = params->offsetH;
  const int32 oldOffsetV = params->offsetV;
  WriteOffsets(params, 0, 0);
  RerunGeometry(globals);
  UpdatePanLimits(globals, state);

  CarryPanAcrossZoom(state, oldOffsetH, oldOffsetV);
  WriteOffsets(params, state.panH, state.panV);
  RerunGeometry(globals);
  RetonePreview(globals);
  return d;
}
