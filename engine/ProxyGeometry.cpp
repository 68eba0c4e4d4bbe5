#include "engine/ProxyGeometry.h"

#include <algorithm>

#include "engine/PixelRequest.h"
#include "host/Callbacks.h"
#include "plugin/TintParameters.h"

namespace {

// Process-wide, like the dialog that relies on it: valid within one Start call.
bool proxyBuffersDelivered = false;

struct Span {
  int16 low;
  int16 high;
};

// Narrows [low, high) to `extent` pixels centred in the image's [imageLow,
// imageHigh), shifted by offset, when the span is at least that wide; otherwise the
// whole span is used, without centring or pan. The shifted area is held inside the
// span, as a pan would hold it: an offset replayed from a record (the dialog's first
// request comes before any pan limit applies) never reaches past the span's edge.
Span FitSpan(Span span, int16 imageLow, int16 imageHigh, int32 extent, int16 offset) {
  // A preview area without extent asks for no pixels: a negative one would turn the
  // area inside out, and its coordinates would wrap past the image.
  extent = std::max<int32>(extent, 0);
  if (int32(span.high) - int32(span.low) < extent) return span;
  const int32 shift = (int32(imageHigh) - extent - int32(imageLow)) / 2;
  const int32 low =
      std::clamp(int32(span.low) + shift + offset, int32(span.low), int32(span.high) - extent);
  return Span{int16(low), int16(low + extent)};
}

// The part of [low, high) inside the image's [0, size); a host that gives no size
// (0 or below) leaves the span as it is.
Span ClipToImage(Span span, int16 size) {
  if (size <= 0) return span;
  const int16 low = std::clamp<int16>(span.low, 0, size);
  const int16 high = std::clamp<int16>(span.high, low, size);
  return Span{low, high};
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
  // The source area lies inside the image: a request past its edge is one that some
  // hosts serve without padding, reading past their own pixels.
  const Span h =
      FitSpan(ClipToImage({fr->filterRect.left, fr->filterRect.right}, fr->imageSize.h), image.left,
              image.right, int32(zoom) * globals->previewRect.right, p->offsetH);
  const Span v =
      FitSpan(ClipToImage({fr->filterRect.top, fr->filterRect.bottom}, fr->imageSize.v), image.top,
              image.bottom, int32(zoom) * globals->previewRect.bottom, p->offsetV);
  fr->filterRect.left = h.low;
  fr->filterRect.right = h.high;
  fr->filterRect.top = v.low;
  fr->filterRect.bottom = v.high;

  fr->inRect = fr->filterRect;
  ScaleRect(&fr->inRect, 1, zoom);
  fr->outRect = fr->inRect;
  fr->maskRect = fr->outRect;

  RequestAllPlanes(fr, Fixed(zoom) * kUnitRate);
  RequestFullPadding(fr);

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
