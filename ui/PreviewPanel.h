// The preview panel's operations on the filter run: fetching the proxy through the
// proxy geometry, re-toning it, and what the pan buttons, the drag, the double
// click and the zoom buttons do to the record and to PreviewState. The window side
// (cursors, confinement, enabling buttons, painting) is in PreviewPanelWin.cpp.
#pragma once

#include "ui/PreviewMath.h"

// Whether the pan, drag, double click and zoom controls can fetch a proxy: they
// call the host's advanceState, which a host may not offer.
bool PreviewCanFetch(const PluginGlobals* globals);

// Re-runs the proxy geometry from the full filter rectangle: copies imageRect back
// into filterRect, then runs ComputeProxy (which calls advanceState and leaves the
// host's answer in the result code). Does nothing on a host without advanceState.
void RerunGeometry(PluginGlobals* globals);

// Re-tones the current proxy buffers (does nothing while the preview is off).
void RetonePreview(PluginGlobals* globals);

// The first proxy at opening (preview on): runs ComputeProxy on the host's filter
// rectangle. When the host's advanceState fails, the preview is switched off and
// the result code cleared; otherwise the proxy is toned.
void FetchOpeningProxy(PluginGlobals* globals);

// Pan limits from the current source rectangle and imageRect.
void UpdatePanLimits(PluginGlobals* globals, PreviewState& state);

// A pan button (1013..1020): moves, refetches and re-tones. True when the preview
// must be repainted; false for other IDs and on a host without advanceState.
bool PanPreview(PluginGlobals* globals, PreviewState& state, int id);

// A mouse move during a drag: moves the offsets with the cursor and refetches.
void DragPreview(PluginGlobals* globals, PreviewState& state, int32 x, int32 y);

// Button up: re-tones and adds the drag to the pan position.
void ReleasePreview(PluginGlobals* globals, PreviewState& state);

// Double click: centres the proxy, refetches and re-tones.
void CentrePreview(PluginGlobals* globals, PreviewState& state);

// A zoom button: the new factor, refetched centred for the pan limits, then at the
// carried-over pan position, and re-toned. Returns what happens to the buttons;
// for another ID or on a host without advanceState nothing changes (zoom 0).
ZoomDecision ZoomPreviewState(PluginGlobals* globals, PreviewState& state, int id);
