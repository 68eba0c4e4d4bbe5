#include "ui/PreviewPanelWin.h"

#include "engine/ProxyGeometry.h"
#include "host/Callbacks.h"
#include "plugin/TintParameters.h"
#include "ui/DialogControlsWin.h"
#include "ui/DialogIds.h"
#include "ui/DialogModel.h"

namespace {

void ShowPreviewCursor(CursorRef cursor) {
  if (cursor != nullptr) SetCursor(static_cast<HCURSOR>(cursor));
}

// Confines the cursor to previewBounds, converted to screen coordinates.
void ConfineCursor(HWND dialog, const PreviewBounds& bounds) {
  POINT topLeft{bounds.left, bounds.top};
  POINT bottomRight{bounds.right, bounds.bottom};
  ClientToScreen(dialog, &topLeft);
  ClientToScreen(dialog, &bottomRight);
  RECT clip{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
  ClipCursor(&clip);
}

} // namespace

void MeasurePreviewArea(HWND dialog, Rect* rect) {
  RECT r{};
  GetWindowRect(GetDlgItem(dialog, kIdPreviewAnchor), &r);
  POINT topLeft{r.left, r.top};
  POINT bottomRight{r.right, r.bottom};
  ScreenToClient(dialog, &topLeft);
  ScreenToClient(dialog, &bottomRight);
  rect->top = int16(topLeft.y);
  rect->left = int16(topLeft.x);
  rect->bottom = int16(bottomRight.y);
  rect->right = int16(bottomRight.x);
}

PreviewBounds GetProxyBounds(const PluginGlobals* globals, HWND dialog) {
  RECT anchor{};
  GetWindowRect(GetDlgItem(dialog, kIdPreviewAnchor), &anchor);
  POINT origin{0, 0};
  ClientToScreen(dialog, &origin);
  return PlaceProxy(anchor.left, anchor.top, anchor.right, anchor.bottom, origin.x, origin.y,
                    globals->filterRecord->outRect);
}

void PaintPreview(PluginGlobals* globals, HWND dialog) {
  FilterRecord* fr = globals->filterRecord;
  const PreviewBounds place = GetProxyBounds(globals, dialog);

  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(dialog, &paint);

  // A one-pixel black frame on the pixels just around the image.
  RECT frame{place.left - 1, place.top - 1, place.right + 1, place.bottom + 1};
  FrameRect(dc, &frame, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));

  PSPixelMap map{};
  PSPixelMask mask{};
  // Only buffers that the last fetch delivered are drawn: after a failed
  // advanceState the host's buffer pointers may be stale.
  if (ProxyBuffersDelivered() && BuildPreviewMap(*fr, &map, &mask) && CanDisplayPixels(fr)) {
    // Its answer is not examined: a failing host simply draws nothing in the frame.
    fr->displayPixels(&map, &map.bounds, place.top, place.left, dc);
  }
  EndPaint(dialog, &paint);
}

int32 HandlePreviewInput(HWND dialog, UINT message, int id, PluginGlobals* globals, int32 x,
                         int32 y) {
  PreviewState& state = previewState;
  switch (message) {
  case WM_COMMAND:
    return PanPreview(globals, state, id) ? 1 : 0;
  case WM_LBUTTONDOWN:
    // Without advanceState nothing can be dragged; no confinement is set.
    if (!PreviewCanFetch(globals)) return 0;
    ShowPreviewCursor(state.grabCursor);
    ConfineCursor(dialog, state.previewBounds);
    BeginDrag(state, x, y);
    return 0;
  case WM_MOUSEMOVE:
    if (state.dragging == 0) {
      if (PreviewCanFetch(globals)) ShowPreviewCursor(state.handCursor);
      return 0;
    }
    ShowPreviewCursor(state.grabCursor);
    DragPreview(globals, state, x, y);
    return 1;
  case WM_LBUTTONUP:
    if (PreviewCanFetch(globals)) ShowPreviewCursor(state.handCursor);
    ClipCursor(nullptr);
    ReleasePreview(globals, state);
    return 1;
  case WM_LBUTTONDBLCLK:
    if (!PreviewCanFetch(globals)) return 0;
    CentrePreview(globals, state);
    return 1;
  default:
    return 0;
  }
}

void ZoomPreview(HWND dialog, int id, PluginGlobals* globals) {
  const ZoomDecision d = ZoomPreviewState(globals, previewState, id);
  if (d.zoom == 0) return;
  ApplyButtonChange(dialog, kIdZoomIn, d.zoomIn);
  ApplyButtonChange(dialog, kIdZoomOut, d.zoomOut);
  // The focus alone moves: through the dialog manager (WM_NEXTDLGCTL) the zoom
  // button would also become the default button, and Enter would zoom instead of
  // meaning OK.
  if (d.focus != 0) SetFocus(GetDlgItem(dialog, d.focus));
}

void ReleasePreviewDrag() {
  if (previewState.dragging != 0) ClipCursor(nullptr);
  AbandonDrag(previewState);
}

void InvalidatePreview(HWND dialog) {
  const PreviewBounds& b = previewState.previewBounds;
  RECT r{b.left, b.top, b.right, b.bottom};
  InvalidateRect(dialog, &r, FALSE);
}
