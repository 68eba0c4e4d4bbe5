// The filter's persistent parameter record, kept by the host in
// FilterRecord.parameters between calls and between runs.
#pragma once

#include <cstddef>

#include "plugin/PluginGlobals.h"

struct TintParameters {
  int16 offsetH; // horizontal pan of the preview, image pixels
  int16 offsetV; // vertical pan of the preview, image pixels
  int16 toneRed; // tone colour, 0..255 each
  int16 toneGreen;
  int16 toneBlue;
  Rect imageRect;       // the host's filterRect, saved while the preview narrows it
  Boolean showDialog;   // the next Start shows the dialog
  int16 stripRows;      // image rows per strip asked of the host
  OSType mode;          // a code of the enumeration 'mooD', recorded as 'disP'
  Boolean modeFlag;     // saved and restored with mode; recorded as 'entI'
  Boolean usePreview;   // Start drives the whole image itself, the dialog previews
  Boolean hostExcluded; // the running host is one where the preview path is off
  int16 zoom;           // preview reduction factor
  Boolean applyRed;
  Boolean applyGreen;
  Boolean applyBlue;
};

// The layout that a host keeps between runs and hands back, possibly to another
// build of the plug-in: the same on both targets, and fixed.
static_assert(offsetof(TintParameters, offsetH) == 0);
static_assert(offsetof(TintParameters, offsetV) == 2);
static_assert(offsetof(TintParameters, toneRed) == 4);
static_assert(offsetof(TintParameters, toneGreen) == 6);
static_assert(offsetof(TintParameters, toneBlue) == 8);
static_assert(offsetof(TintParameters, imageRect) == 10);
static_assert(offsetof(TintParameters, showDialog) == 18);
static_assert(offsetof(TintParameters, stripRows) == 20);
static_assert(offsetof(TintParameters, mode) == 24);
static_assert(offsetof(TintParameters, modeFlag) == 28);
static_assert(offsetof(TintParameters, usePreview) == 29);
static_assert(offsetof(TintParameters, hostExcluded) == 30);
static_assert(offsetof(TintParameters, zoom) == 32);
static_assert(offsetof(TintParameters, applyRed) == 34);
static_assert(offsetof(TintParameters, applyGreen) == 35);
static_assert(offsetof(TintParameters, applyBlue) == 36);
static_assert(sizeof(TintParameters) == 40);

constexpr OSType kDefaultMode = FourCC("moD1");
constexpr OSType kModeEnumType = FourCC("mooD");

// Set by the Parameters selector, never cleared: while it is true every Start
// shows the dialog.
extern bool dialogRequested;

// The record is host-kept and therefore untrusted: a host may hand back a record
// of another version, or garbage. Every reader must stay safe for any value of
// any field (a stripRows or zoom below 1, tones outside 0..255, flags other than
// 0 and 1): clamp or guard where a value is used for a loop step, a divisor or an
// index, never rewrite the stored record just for being unusual.
//
// Returns the record reached through FilterRecord.parameters (the handle, then
// its data address, without locking), or null when there is none.
TintParameters* GetParameters(const FilterRecord* filterRecord);

// Makes sure FilterRecord.parameters holds a record; an existing one is never
// changed. Reports -108 through the globals' result when it cannot be allocated.
void CreateDefaultParameters(PluginGlobals* globals);

// Makes sure the record exists and returns it; null, with -108 in the result, when
// the routine cannot reach one.
TintParameters* RequireParameters(PluginGlobals* globals);

// Whether the kept parameter handle cannot hold a record, or may not: a handle
// without data; one of the fallback's own handles (from this load or an earlier one)
// whose block the operating system measures as shorter than the record; a host
// handle that the host's suite says is shorter (asked under the one rule of
// host/Handles.h). An answer of 0 or below tells no size: it counts as empty when a
// usable suite reports the globals block's size (globalsHandle), is not believed from
// a usable suite that sizes nothing, and leaves a host handle without a usable suite
// unmeasured, hence unusable.
bool ParametersUnusable(const FilterRecord* filterRecord, Handle globalsHandle);

// Clears FilterRecord.parameters when the kept handle is unusable, so that the record
// counts as absent and the routines that need one make it afresh; the old handle goes
// back to the allocator that made it, where that allocator can take it.
void ForgetUnusableParameters(FilterRecord* filterRecord, Handle globalsHandle);

// The Parameters selector: asks for the dialog at the next Start.
void ParametersSelector(PluginGlobals* globals);

// Whether the host identification names the running host as one where the
// preview path is off (the key 'PrMr').
bool HostIsExcluded();
