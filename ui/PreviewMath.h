// The preview panel's arithmetic: pan limits and clamping, the pan buttons' steps,
// dragging, double click, the zoom buttons' rules and the placing of the proxy.
// Pure functions on PreviewState and plain values, so that native tests call them.
#pragma once

#include "ui/PreviewState.h"

// Distance that one pan button moves the preview, in image pixels.
constexpr int32 kPanStep = 50;

// The reduction factor as a divisor: the host-kept record may hold anything, and a
// factor below 1 is never used for arithmetic.
int32 EffectiveZoom(int16 zoom);

// Clamps value to [-lowLimit, highLimit], testing the lower end first.
int32 ClampToLimits(int32 value, int32 lowLimit, int32 highLimit);

// Clamps panH and panV to their ranges.
void ClampPan(PreviewState& state);

// Sets the four pan limits from the proxy's source rectangle and the full filter
// rectangle: how far the source may move towards each edge of the image.
void SetPanLimits(PreviewState& state, const Rect& source, const Rect& image);

struct PanStep {
  int32 h;
  int32 v;
};

// The move of a pan button (1013..1020); false for any other ID.
bool PanButtonStep(int id, PanStep* step);

// A pan button: clamps, moves by the button's step and clamps again; the new pan
// position is what the offsets become. False (and no change) for other IDs.
bool ApplyPanButton(PreviewState& state, int id);

// Starts a drag at (x, y).
void BeginDrag(PreviewState& state, int32 x, int32 y);

// A move to (x, y) during a drag: sets dragDelta and dragOffset, holding the offset
// at a limit and moving the anchor to the cursor while it presses against one.
void DragTo(PreviewState& state, int32 zoom, int32 x, int32 y);

// Button up: the drag's deltas join the pan position and are cleared.
void EndDrag(PreviewState& state);

// Forgets a drag without applying it (the dialog ended while the button was held).
void AbandonDrag(PreviewState& state);

// Double click: every pan and drag value back to 0 (centred).
void CentrePan(PreviewState& state);

// After a zoom: the pan position from before (panH, and the offsets then in force)
// carried over, halved twice and summed, then clamped to the new limits.
void CarryPanAcrossZoom(PreviewState& state, int32 oldOffsetH, int32 oldOffsetV);

// Whether (x, y) lies on the drawn proxy; every edge counts as inside.
bool InsidePreview(const PreviewBounds& bounds, int32 x, int32 y);

// The largest reduction factor; beyond it the host's rate (zoom * 65536) and the
// 16-bit record field would overflow.
constexpr int32 kMaxZoom = 32767;

// Whether reducing once more from zoom would make the image smaller than the
// drawn proxy (its right or bottom coordinate) on either axis.
bool ReductionTooSmall(const Rect& image, int32 zoom, const PreviewBounds& bounds);

// What a zoom button does to the factor and to the two zoom buttons.
enum class ButtonChange { Leave, Enable, Disable };
struct ZoomDecision {
  int16 zoom;           // the new factor
  ButtonChange zoomIn;  // button 1021
  ButtonChange zoomOut; // button 1022
  int focus;            // control that takes the focus, 0 for none
};

// The zoom rules for button 1021 (enlarge) or 1022 (reduce).
ZoomDecision DecideZoom(int id, int16 zoom, const Rect& image, const PreviewBounds& bounds);

// The zoom buttons' states at opening (factor 1): 1021 disabled, 1022 disabled when
// the image is too small to reduce.
ZoomDecision OpeningZoomButtons(const Rect& image, const PreviewBounds& bounds);

// Places a proxy of outRect's size centred on the anchor control, whose screen
// rectangle is given, with the dialog's client origin at (originX, originY).
PreviewBounds PlaceProxy(int32 anchorLeft, int32 anchorTop, int32 anchorRight, int32 anchorBottom,
                         int32 originX, int32 originY, const Rect& outRect);
