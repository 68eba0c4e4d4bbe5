#include "ui/PreviewMath.h"

#include "ui/DialogIds.h"

int32 EffectiveZoom(int16 zoom) {
  return zoom < 1 ? 1 : zoom;
}

int32 ClampToLimits(int32 value, int32 lowLimit, int32 highLimit) {
  if (value < -lowLimit) value = -lowLimit;
  if (value > highLimit) value = highLimit;
  return value;
}

void ClampPan(PreviewState& state) {
  state.panH = ClampToLimits(state.panH, state.panLimitLeft, state.panLimitRight);
  state.panV = ClampToLimits(state.panV, state.panLimitTop, state.panLimitBottom);
}

void SetPanLimits(PreviewState& state, const Rect& source, const Rect& image) {
  state.panLimitLeft = int32(source.left) - image.left;
  state.panLimitTop = int32(source.top) - image.top;
  state.panLimitRight = int32(image.right) - source.right;
  state.panLimitBottom = int32(image.bottom) - source.bottom;
}

bool PanButtonStep(int id, PanStep* step) {
  switch (id) {
  case kIdPanE:
    *step = {kPanStep, -kPanStep};
    return true;
  case kIdPanC:
    *step = {kPanStep, kPanStep};
    return true;
  case kIdPanD:
    *step = {kPanStep, 0};
    return true;
  case kIdPanQ:
    *step = {-kPanStep, -kPanStep};
    return true;
  case kIdPanZ:
    *step = {-kPanStep, kPanStep};
    return true;
  case kIdPanA:
    *step = {-kPanStep, 0};
    return true;
  case kIdPanW:
    *step = {0, -kPanStep};
    return true;
  case kIdPanX:
    *step = {0, kPanStep};
    return true;
  default:
    return false;
  }
}

bool ApplyPanButton(PreviewState& state, int id) {
  PanStep step{};
  if (!PanButtonStep(id, &step)) return false;
  ClampPan(state);
  state.panH += step.h;
  state.panV += step.v;
  ClampPan(state);
  return true;
}

void BeginDrag(PreviewState& state, int32 x, int32 y) {
  state.anchorX = x;
  state.anchorY = y;
  state.dragging = 1;
}

namespace {
// One axis of a drag move.
void DragAxis(int32 zoom, int32 anchorToCursor, int32 cursor, int32& anchor, int32& delta,
              int32& offset, int32& pan, int32 lowLimit, int32 highLimit) {
  delta = zoom * anchorToCursor;
  offset = pan + delta;
  // At a limit the anchor follows the cursor, so that the first move back away
  // from the limit moves the image again; the delta keeps its value.
  if (offset < -lowLimit) {
    offset = pan = -lowLimit;
    anchor = cursor;
  }
  if (offset > highLimit) {
    offset = pan = highLimit;
    anchor = cursor;
  }
}
} // namespace

void DragTo(PreviewState& state, int32 zoom, int32 x, int32 y) {
  DragAxis(zoom, state.anchorX - x, x, state.anchorX, state.dragDeltaH, state.dragOffsetH,
           state.panH, state.panLimitLeft, state.panLimitRight);
  DragAxis(zoom, state.anchorY - y, y, state.anchorY, state.dragDeltaV, state.dragOffsetV,
           state.panV, state.panLimitTop, state.panLimitBottom);
}

void EndDrag(PreviewState& state) {
  state.dragging = 0;
  state.panH += state.dragDeltaH;
  state.panV += state.dragDeltaV;
  state.dragDeltaH = 0;
  state.dragDeltaV = 0;
}

void AbandonDrag(PreviewState& state) {
  state.dragging = 0;
  state.dragDeltaH = 0;
  state.dragDeltaV = 0;
}

void CentrePan(PreviewState& state) {
  state.dragDeltaH = state.dragOffsetH = state.panH = state.anchorX = 0;
  state.dragDeltaV = state.dragOffsetV = state.panV = state.anchorY = 0;
}

void CarryPanAcrossZoom(PreviewState& state, int32 oldOffsetH, int32 oldOffsetV) {
  state.panH = state.panH / 2 + oldOffsetH / 2;
  state.panV = state.panV / 2 + oldOffsetV / 2;
  ClampPan(state);
}

bool InsidePreview(const PreviewBounds& bounds, int32 x, int32 y) {
  return !(x < bounds.left || y > bounds.bottom || x > bounds.right || y < bounds.top);
}

bool ReductionTooSmall(const Rect& image, int32 zoom, const PreviewBounds& bounds) {
  const int32 width = int32(image.right) - image.left;
  const int32 height = int32(image.bottom) - image.top;
  if (zoom + 1 > kMaxZoom) return true;
  return width / (zoom + 1) < bounds.right || height / (zoom + 1) < bounds.bottom;
}

ZoomDecision DecideZoom(int id, int16 zoom, const Rect& image, const PreviewBounds& bounds) {
  ZoomDecision d{zoom, ButtonChange::Leave, ButtonChange::Leave, 0};
  int32 z = EffectiveZoom(zoom);
  const int32 width = int32(image.right) - image.left;
  const int32 height = int32(image.bottom) - image.top;
  if (id == kIdZoomIn) {
    z -= 1;
    if (z > 1) {
      d.zoomIn = ButtonChange::Enable;
    } else {
      z = 1;
      d.zoomIn = ButtonChange::Disable;
      d.focus = kIdZoomOut;
    }
    if (width / z > bounds.right || height / z > bounds.bottom) d.zoomOut = ButtonChange::Enable;
  } else if (id == kIdZoomOut) {
    if (z < kMaxZoom) z += 1;
    if (ReductionTooSmall(image, z, bounds)) {
      d.zoomOut = ButtonChange::Disable;
      d.focus = kIdZoomIn;
    }
    if (z > 1) d.zoomIn = ButtonChange::Enable;
  }
  d.zoom = int16(z);
  return d;
}

ZoomDecision OpeningZoomButtons(const Rect& image, const PreviewBounds& bounds) {
  ZoomDecision d{1, ButtonChange::Disable, ButtonChange::Leave, 0};
  if (ReductionTooSmall(image, 1, bounds)) d.zoomOut = ButtonChange::Disable;
  return d;
}

PreviewBounds PlaceProxy(int32 anchorLeft, int32 anchorTop, int32 anchorRight, int32 anchorBottom,
                         int32 originX, int32 originY, const Rect& outRect) {
  const int16 w = int16(outRect.right - outRect.left);
  const int16 h = int16(outRect.bottom - outRect.top);
  // Halved on screen coordinates, before the origin is taken off.
  const int16 x0 = int16((anchorLeft + anchorRight - w) / 2 - originX);
  const int16 y0 = int16((anchorTop + anchorBottom - h) / 2 - originY);
  return PreviewBounds{x0, y0, int16(x0 + w), int16(y0 + h)};
}
