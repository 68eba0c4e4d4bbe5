// The dialog's decisions that need no window: the colour at opening, the swatch's
// inversion, the colour picker's request and answer, and the pixel map that the
// host draws the preview from.
#pragma once

#include "plugin/TintParameters.h"
#include "ui/PreviewState.h"

struct ToneColour {
  int32 red;
  int32 green;
  int32 blue;
};

// The colour the dialog opens with: the stored tone, or the host's foreground
// colour when the stored tone is 0, 0, 0 (no colour chosen yet). Stored values
// outside 0..255 (a host-kept record can hold anything) are shown held to range.
ToneColour OpeningTone(const TintParameters& params, const FilterColor foreColor);

// Copies the dialog's current colour into the record's tone, held to 0..255.
void StoreTone(TintParameters& params, const PreviewState& state);

// The swatch click: each value becomes 255 minus itself.
ToneColour InvertTone(const ToneColour& colour);

// Fills the colour picker's request: choose a colour in RGB, starting from colour.
void FillColorRequest(ColorServicesInfo* info, const ToneColour& colour);

// The picker's answer, held to 0..255 (the host may answer with anything).
ToneColour ColourFromPicker(const ColorServicesInfo& info);

// Describes the proxy's output buffer for displayPixels: the map, and its mask when
// the image has one (the host's selection for a floating selection, the
// transparency plane of a layer). False when there is nothing to draw (no buffer,
// or an empty rectangle).
bool BuildPreviewMap(const FilterRecord& fr, PSPixelMap* map, PSPixelMask* mask);
