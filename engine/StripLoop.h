// The strip plan and the two ways of walking the image: the whole filter rectangle
// in one advanceState (preview path) or strip by strip across Continue calls.
#pragma once

#include "plugin/PluginGlobals.h"
#include "plugin/TintParameters.h"

// Rows per strip as the loop uses them: a stored count below 1 (from a host-kept
// record) would never move the strips on, so it counts as 1.
int16 EffectiveStripRows(const TintParameters* parameters);

// Rows per strip in a run over filterRect: the effective count, but no more than the
// rectangle's height (and at least 1). A strip never needs rows below the rectangle,
// and a count kept from a taller image would ask the host for memory it does not need.
int16 RunStripRows(int16 stripRows, const Rect& filterRect);

// Grows stripRows from its stored value until stripRows x rowCost reaches maxSpace or
// the image height; returns the planned stripRows. The product is formed in 64 bits.
int16 PlanStripRows(int16 stripRows, int32 rowCost, int32 maxSpace, int16 height);

// Tones the whole filter rectangle fetched in one advanceState, then empties the
// rectangles.
void FilterWholeImage(PluginGlobals* globals);

// Asks the host for the first strip of the strip path.
void SetUpFirstStrip(PluginGlobals* globals);

// Moves the rectangles one strip down; false when the image is done.
bool AdvanceStrip(PluginGlobals* globals);

// Tells the host that nothing remains to be filtered.
void EmptyRectangles(FilterRecord* filterRecord);
