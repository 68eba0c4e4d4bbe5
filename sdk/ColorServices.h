// The host's colour services record (natural alignment).
#pragma once

#include "PITypes.h"

struct ColorServicesInfo {
  int32 infoSize;
  int16 selector;
  int16 sourceSpace;
  int16 resultSpace;
  Boolean resultGamutInfoValid;
  Boolean resultInGamut;
  void* reservedSourceSpaceInfo;
  void* reservedResultSpaceInfo;
  int16 colorComponents[4];
  void* reserved;
  union {
    Str255* pickerPrompt;
    Point* globalSamplePoint;
    int32 specialColorID;
  } selectorParameter;
};

using ColorServicesProc = OSErr (*)(ColorServicesInfo* info);

constexpr int16 plugIncolorServicesChooseColor = 0;
constexpr int16 plugIncolorServicesConvertColor = 1;
constexpr int16 plugIncolorServicesSamplePoint = 2;
constexpr int16 plugIncolorServicesGetSpecialColor = 3;
constexpr int16 plugIncolorServicesRGBSpace = 0;
constexpr int16 plugIncolorServicesHSBSpace = 1;
constexpr int16 plugIncolorServicesCMYKSpace = 2;
constexpr int16 plugIncolorServicesLabSpace = 3;
constexpr int16 plugIncolorServicesGraySpace = 4;
constexpr int16 plugIncolorServicesHSLSpace = 5;
constexpr int16 plugIncolorServicesXYZSpace = 6;
constexpr int16 plugIncolorServicesChosenSpace = -1;

static_assert(offsetof(ColorServicesInfo, selector) == 4);
static_assert(offsetof(ColorServicesInfo, sourceSpace) == 6);
static_assert(offsetof(ColorServicesInfo, resultSpace) == 8);
static_assert(offsetof(ColorServicesInfo, resultGamutInfoValid) == 10);
static_assert(offsetof(ColorServicesInfo, resultInGamut) == 11);
static_assert(offsetof(ColorServicesInfo, reservedSourceSpaceInfo) == TINTARA_W(12, 16));
static_assert(offsetof(ColorServicesInfo, reservedResultSpaceInfo) == TINTARA_W(16, 24));
static_assert(offsetof(ColorServicesInfo, colorComponents) == TINTARA_W(20, 32));
static_assert(offsetof(ColorServicesInfo, reserved) == TINTARA_W(28, 40));
static_assert(offsetof(ColorServicesInfo, selectorParameter) == TINTARA_W(32, 48));
static_assert(sizeof(ColorServicesInfo) == TINTARA_W(36, 56));
