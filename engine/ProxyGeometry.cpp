#include "engine/ProxyGeometry.h"

#include <algorithm>

#include "host/Callbacks.h"
#include "plugin/TintParameters.h"

namespace {

constexpr int16 kFullPadding = 255;

// Process-wide, like the dialog that relies on it: valid within one Start call.
bool proxyBuffersDelivered = false;

struct Span {
  int16 low;
  int16 high;
};

// Narrows [low, high) to `extent` pixels centred in the image's [imageLow,
// imageHigh), shifted by offset, when the span is at least that wide; otherwise the
// whole span is used, without centring or pan.
Span FitSpan(Span span, int16 imageLow, int16 imageHigh, int32 extent, int16 offset) {
  if (int32(span.high) - int32(span.low) < extent) return span;
  const int32 shift = (int32(imageHigh) - extent - int32(imageLow)) / 2;
  Span fitted;
  fitted.high = int16(int32(span.low) + extent + shift + offset);
  fitted.low = int16(int32(span.low) + shift + offset);
  return fitted;
}

} // namespace

void ScaleRect(Rect* rect, int16 num, int16 den) {
  if (den == 0) return; // no scale to apply; the rectangle stays as it is
  const auto scale = [num, den](int16 c) { return int16(int32(c) * num / den); };
  rect->top = scale(rect->top);
  rect->left = scale(rect->left);
  rect->bottom = scale(rect->bottom);
  rect->right = scale(rect->right);
}

void ComputeProxy(PluginGlobals* globals) {
  FilterRecord* fr = globals->filterRecord;
  TintParameters* p = GetParameters(fr);
  proxyBuffersDelivered = false;
  if (p == nullptr) return;
  // A stored zoom below 1 would divide by zero or turn the rectangles over.
  const int16 zoom = std::max<int16>(p->zoom, 1);

  p->imageRect = fr->filterRect;
  const Rect& image = p->imageRect;
  const Span h = FitSpan({fr->filterRect.left, fr->filterRect.right}, image.left, image.right,
                         int32(zoom) * globals->previewRect.right, p->offsetH);
  const Span v = FitSpan({fr->filterRect.top, fr->filterRect.bottom}, image.top, image.bottom,
                         int32(zoom) * globals->previewRect.bottom, p->offsetV);
  fr->filterRect.left = h.low;
  fr->filterRect.right = h.high;
  fr->filterRect.top = v.low;
  fr->filterRect.bottom = v.high;

  fr->inRect = fr->filterRect;
  ScaleRect(&fr->inRect, 1, zoom);
  fr->outRect = fr->inRect;
  fr->maskRect = fr->outRect;

  fr->outLoPlane = fr->inLoPlane = 0;
  fr->outHiPlane = fr->inHiPlane = int16(fr->planes - 1);
  fr->inputRate = fr->maskRate = Fixed(zoom) * 65536;
  fr->inputPadding = fr->outputPadding = fr->maskPadding = kFullPadding;

  // A host without advanceState has no proxy to give: the rectangles are set, the
  // result is left alone and the preview stays without buffers.
  if (!CanAdvanceState(fr)) return;
  *globals->result = fr->advanceState();
  proxyBuffersDelivered = *globals->result == noErr;
}

bool ProxyBuffersDelivered() {
  return proxyBuffersDelivered;
}

void ForgetProxyBuffers() {
  proxyBuffersDelivered = false;
}
