#include "engine/StripLoop.h"

#include <algorithm>
#include <limits>

#include "engine/PixelRequest.h"
#include "engine/ToneKernel.h"

namespace {

// The last strip ends at the filter rectangle's bottom: a host that pads only
// requests reaching above or left of the image reads past its own pixels for one
// that overhangs the bottom, and rows below the rectangle are no part of the
// result. The bottom also stays a 16-bit coordinate. An empty rectangle still gets
// its one row.
int16 StripBottom(int16 top, int16 rows, int16 filterBottom) {
  const int32 limit = std::max<int32>(filterBottom, int32(top) + 1);
  return int16(std::min<int32>({int32(top) + rows, limit, std::numeric_limits<int16>::max()}));
}

void SetStripRectangles(FilterRecord* fr, int16 top, int16 rows) {
  fr->inRect = fr->filterRect;
  fr->inRect.top = top;
  fr->inRect.bottom = StripBottom(top, rows, fr->filterRect.bottom);
  fr->maskRect = fr->inRect;
  fr->outRect = fr->maskRect;
}

} // namespace

int16 EffectiveStripRows(const TintParameters* parameters) {
  return std::max<int16>(parameters->stripRows, 1);
}

int16 RunStripRows(int16 stripRows, const Rect& filterRect) {
  const int32 height = int32(filterRect.bottom) - int32(filterRect.top);
  return int16(std::clamp<int32>(stripRows, 1, std::max<int32>(height, 1)));
}

int16 PlanStripRows(int16 stripRows, int32 rowCost, int32 maxSpace, int16 height) {
  if (int64(stripRows) * rowCost < maxSpace) {
    for (;;) {
      if (stripRows >= height) break;
      ++stripRows;
      if (int64(stripRows) * rowCost >= maxSpace) break;
    }
  }
  return stripRows;
}

void EmptyRectangles(FilterRecord* fr) {
  fr->inRect = fr->outRect = fr->maskRect = Rect{0, 0, 0, 0};
}

void FilterWholeImage(PluginGlobals* globals) {
  FilterRecord* fr = globals->filterRecord;
  TintParameters* p = GetParameters(fr);
  RequestAllPlanes(fr, kUnitRate);
  // The strip is the whole rectangle; a height beyond 16 bits is kept as the
  // largest count the field holds, never as a wrapped, negative one.
  const int32 height = int32(fr->filterRect.bottom) - int32(fr->filterRect.top);
  p->stripRows = int16(std::min<int32>(height, std::numeric_limits<int16>::max()));
  // The strip is the whole rectangle, so the walk is one pass when the rectangle has
  // rows and none otherwise. Deciding that on the coordinates themselves keeps a
  // rectangle taller than a 16-bit height from stepping by a wrapped, negative count.
  if (fr->filterRect.top < fr->filterRect.bottom) {
    if (fr->abortProc != nullptr && fr->abortProc()) {
      *globals->result = userCanceledErr;
    } else {
      fr->inRect = fr->outRect = fr->maskRect = fr->filterRect;
      *globals->result = fr->advanceState();
      if (*globals->result == noErr) ToneBuffers(globals, true);
    }
  }
  EmptyRectangles(fr);
}

void SetUpFirstStrip(PluginGlobals* globals) {
  FilterRecord* fr = globals->filterRecord;
  RequestAllPlanes(fr, kUnitRate);
  RequestFullPadding(fr);
  SetStripRectangles(fr, fr->filterRect.top,
                     RunStripRows(GetParameters(fr)->stripRows, fr->filterRect));
}

bool AdvanceStrip(PluginGlobals* globals) {
  FilterRecord* fr = globals->filterRecord;
  const int16 rows = RunStripRows(GetParameters(fr)->stripRows, fr->filterRect);
  // In 32 bits, so that the last strip of a rectangle near the largest coordinate
  // ends the walk instead of wrapping to a negative top.
  const int32 top = int32(fr->inRect.top) + rows;
  if (top >= fr->filterRect.bottom) {
    EmptyRectangles(fr);
    return false;
  }
  SetStripRectangles(fr, int16(top), rows);
  return true;
}
