#include "ui/DialogModel.h"

#include "ui/ToneValue.h"

ToneColour OpeningTone(const TintParameters& params, const FilterColor foreColor) {
  if (params.toneRed == 0 && params.toneGreen == 0 && params.toneBlue == 0) {
    return ToneColour{foreColor[0], foreColor[1], foreColor[2]};
  }
  return ToneColour{ClampTone(params.toneRed), ClampTone(params.toneGreen),
                    ClampTone(params.toneBlue)};
}

void StoreTone(TintParameters& params, const PreviewState& state) {
  params.toneRed = int16(ClampTone(state.currentRed));
  params.toneGreen = int16(ClampTone(state.currentGreen));
  params.toneBlue = int16(ClampTone(state.currentBlue));
}

ToneColour InvertTone(const ToneColour& colour) {
  return ToneColour{kToneMax - colour.red, kToneMax - colour.green, kToneMax - colour.blue};
}

void FillColorRequest(ColorServicesInfo* info, const ToneColour& colour) {
  *info = ColorServicesInfo{};
  // The size of the record as this build lays it out (36 bytes on 32 bits).
  info->infoSize = int32(sizeof(ColorServicesInfo));
  info->selector = plugIncolorServicesConvertColor;
  info->sourceSpace = plugIncolorServicesRGBSpace;
  info->resultSpace = plugIncolorServicesChosenSpace;
  // The request proper: choose a colour, from RGB to RGB, without a prompt.
  info->selector = plugIncolorServicesChooseColor;
  info->sourceSpace = plugIncolorServicesRGBSpace;
  info->resultSpace = plugIncolorServicesRGBSpace;
  info->colorComponents[0] = int16(colour.red);
  info->colorComponents[1] = int16(colour.green);
  info->colorComponents[2] = int16(colour.blue);
  info->selectorParameter.pickerPrompt = nullptr;
}

ToneColour ColourFromPicker(const ColorServicesInfo& info) {
  return ToneColour{ClampTone(info.colorComponents[0]), ClampTone(info.colorComponents[1]),
                    ClampTone(info.colorComponents[2])};
}

bool BuildPreviewMap(const FilterRecord& fr, PSPixelMap* map, PSPixelMask* mask) {
  *map = PSPixelMap{};
  *mask = PSPixelMask{};
  if (fr.outData == nullptr) return false;
  if (fr.outRect.right <= fr.outRect.left || fr.outRect.bottom <= fr.outRect.top) return false;
  const int32 columnBytes = int32(fr.outHiPlane) - fr.outLoPlane + 1;
  if (columnBytes < 1) return false;

  map->version = 1;
  map->bounds = VRect{fr.outRect.top, fr.outRect.left, fr.outRect.bottom, fr.outRect.right};
  map->imageMode = fr.imageMode;
  map->rowBytes = fr.outRowBytes;
  map->colBytes = columnBytes;
  map->planeBytes = 1;
  map->baseAddr = fr.outData;
  map->mat = nullptr;
  map->masks = nullptr;
  map->maskPhaseRow = 0;
  map->maskPhaseCol = 0;

  mask->next = nullptr;
  mask->maskDescription = kSimplePSMask;
  if (fr.isFloating) {
    // A floating selection without mask data is drawn without a mask rather than
    // handing the host a null mask to read.
    if (fr.maskData == nullptr) return true;
    mask->maskData = fr.maskData;
    mask->rowBytes = fr.maskRowBytes;
    mask->colBytes = 1;
    map->masks = mask;
  } else if (fr.inLayerPlanes != 0 && fr.inTransparencyMask != 0) {
    // The transparency is the last plane of the interleaved output.
    mask->maskData = static_cast<unsigned char*>(fr.outData) + (columnBytes - 1);
    mask->rowBytes = fr.outRowBytes;
    mask->colBytes = columnBytes;
    map->masks = mask;
  }
  return true;
}
