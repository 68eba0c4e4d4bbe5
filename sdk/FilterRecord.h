// The FilterRecord: the parameter block that the host passes for selectors 1..5.
// Packed to 4 bytes on Windows, as hosts lay it out; the callback suites it points
// to keep their natural alignment.
#pragma once

#include "ColorServices.h"
#include "DescriptorProcs.h"
#include "HandleProcs.h"
#include "PITypes.h"
#include "PixelMap.h"
#include "PlatformData.h"

using TestAbortProc = Boolean (*)();
using ProgressProc = void (*)(int32 done, int32 total);
using HostProc = void (*)(int16 selector, intptr_t* data);
using ProcessEventProc = void (*)(void* event);
using AdvanceStateProc = OSErr (*)();
using GetPropertyProc = OSErr (*)(uint32 signature, uint32 key, int32 index,
                                  intptr_t* simpleProperty, Handle* complexProperty);

// The plug-in's exported entry point.
using PluginEntryProc = void (*)(int16 selector, void* paramBlock, intptr_t* data, int16* result);

struct BufferProcs;
struct ResourceProcs;
struct ImageServicesProcs;
struct PropertyProcs;
struct ChannelPortProcs;
struct ReadImageDocumentDesc;

#pragma pack(push, 4)

struct BigDocumentStruct {
  int32 PluginUsing32BitCoordinates;
  VPoint imageSize32;
  VRect filterRect32;
  VRect inRect32;
  VRect outRect32;
  VRect maskRect32;
  VPoint floatCoord32;
  VPoint wholeSize32;
};

struct FilterRecord {
  int32 serialNumber;
  TestAbortProc abortProc;
  ProgressProc progressProc;
  Handle parameters;
  Point imageSize;
  int16 planes;
  Rect filterRect;
  RGBColor background;
  RGBColor foreground;
  int32 maxSpace;
  int32 bufferSpace;
  Rect inRect;
  int16 inLoPlane;
  int16 inHiPlane;
  Rect outRect;
  int16 outLoPlane;
  int16 outHiPlane;
  void* inData;
  int32 inRowBytes;
  void* outData;
  int32 outRowBytes;
  Boolean isFloating;
  Boolean haveMask;
  Boolean autoMask;
  Rect maskRect;
  void* maskData;
  int32 maskRowBytes;
  FilterColor backColor;
  FilterColor foreColor;
  OSType hostSig;
  HostProc hostProc;
  int16 imageMode;
  Fixed imageHRes;
  Fixed imageVRes;
  Point floatCoord;
  Point wholeSize;
  PlugInMonitor monitor;
  void* platformData;
  BufferProcs* bufferProcs;
  ResourceProcs* resourceProcs;
  ProcessEventProc processEvent;
  DisplayPixelsProc displayPixels;
  HandleProcs* handleProcs;
  Boolean supportsDummyChannels;
  Boolean supportsAlternateLayouts;
  int16 wantLayout;
  int16 filterCase;
  int16 dummyPlaneValue;
  void* premiereHook;
  AdvanceStateProc advanceState;
  Boolean supportsAbsolute;
  Boolean wantsAbsolute;
  GetPropertyProc getPropertyObsolete;
  Boolean cannotUndo;
  Boolean supportsPadding;
  int16 inputPadding;
  int16 outputPadding;
  int16 maskPadding;
  char samplingSupport;
  char reservedByte;
  Fixed inputRate;
  Fixed maskRate;
  ColorServicesProc colorServices;
  int16 inLayerPlanes;
  int16 inTransparencyMask;
  int16 inLayerMasks;
  int16 inInvertedLayerMasks;
  int16 inNonLayerPlanes;
  int16 outLayerPlanes;
  int16 outTransparencyMask;
  int16 outLayerMasks;
  int16 outInvertedLayerMasks;
  int16 outNonLayerPlanes;
  int16 absLayerPlanes;
  int16 absTransparencyMask;
  int16 absLayerMasks;
  int16 absInvertedLayerMasks;
  int16 absNonLayerPlanes;
  int16 inPreDummyPlanes;
  int16 inPostDummyPlanes;
  int16 outPreDummyPlanes;
  int16 outPostDummyPlanes;
  int32 inColumnBytes;
  int32 inPlaneBytes;
  int32 outColumnBytes;
  int32 outPlaneBytes;
  ImageServicesProcs* imageServicesProcs;
  PropertyProcs* propertyProcs;
  int16 inTileHeight;
  int16 inTileWidth;
  Point inTileOrigin;
  int16 absTileHeight;
  int16 absTileWidth;
  Point absTileOrigin;
  int16 outTileHeight;
  int16 outTileWidth;
  Point outTileOrigin;
  int16 maskTileHeight;
  int16 maskTileWidth;
  Point maskTileOrigin;
  PIDescriptorParameters* descriptorParameters;
  Str255* errorString;
  ChannelPortProcs* channelPortProcs;
  ReadImageDocumentDesc* documentInfo;
  // Fields below were added after the 4.0 interface. The plug-in never reads them:
  // many hosts allocate only the 6.0-era record.
  void* sSPBasic;
  void* plugInRef;
  int32 depth;
  Handle iCCprofileData;
  int32 iCCprofileSize;
  int32 canUseICCProfiles;
  int32 hasImageScrap;
  BigDocumentStruct* bigDocumentData;
  PIDescriptorParameters* input3DScene;
  PIDescriptorParameters* output3DScene;
  Boolean createNewLayer;
  Handle iCCWorkingProfileData;
  int32 iCCWorkingProfileSize;
  int64 bufferSpace64;
  int64 maxSpace64;
  Boolean allowOverrangeColors;
  char reserved[45];
};

#pragma pack(pop)

// The size of the 6.0-era record that most hosts allocate: everything up to and
// including canUseICCProfiles plus 54 reserved bytes.
constexpr std::size_t kFilterRecordSize60 = TINTARA_W(452, 556);

static_assert(sizeof(BigDocumentStruct) == 92);
static_assert(offsetof(BigDocumentStruct, filterRect32) == 12);
static_assert(offsetof(BigDocumentStruct, wholeSize32) == 84);

#define TINTARA_FR(field, w32, w64)                                                                \
  static_assert(offsetof(FilterRecord, field) == TINTARA_W(w32, w64), #field)
TINTARA_FR(serialNumber, 0, 0);
TINTARA_FR(abortProc, 4, 4);
TINTARA_FR(progressProc, 8, 12);
TINTARA_FR(parameters, 12, 20);
TINTARA_FR(imageSize, 16, 28);
TINTARA_FR(planes, 20, 32);
TINTARA_FR(filterRect, 22, 34);
TINTARA_FR(background, 30, 42);
TINTARA_FR(foreground, 36, 48);
TINTARA_FR(maxSpace, 44, 56);
TINTARA_FR(bufferSpace, 48, 60);
TINTARA_FR(inRect, 52, 64);
TINTARA_FR(inLoPlane, 60, 72);
TINTARA_FR(inHiPlane, 62, 74);
TINTARA_FR(outRect, 64, 76);
TINTARA_FR(outLoPlane, 72, 84);
TINTARA_FR(outHiPlane, 74, 86);
TINTARA_FR(inData, 76, 88);
TINTARA_FR(inRowBytes, 80, 96);
TINTARA_FR(outData, 84, 100);
TINTARA_FR(outRowBytes, 88, 108);
TINTARA_FR(isFloating, 92, 112);
TINTARA_FR(haveMask, 93, 113);
TINTARA_FR(autoMask, 94, 114);
TINTARA_FR(maskRect, 96, 116);
TINTARA_FR(maskData, 104, 124);
TINTARA_FR(maskRowBytes, 108, 132);
TINTARA_FR(backColor, 112, 136);
TINTARA_FR(foreColor, 116, 140);
TINTARA_FR(hostSig, 120, 144);
TINTARA_FR(hostProc, 124, 148);
TINTARA_FR(imageMode, 128, 156);
TINTARA_FR(imageHRes, 132, 160);
TINTARA_FR(imageVRes, 136, 164);
TINTARA_FR(floatCoord, 140, 168);
TINTARA_FR(wholeSize, 144, 172);
TINTARA_FR(monitor, 148, 176);
TINTARA_FR(platformData, 188, 216);
TINTARA_FR(bufferProcs, 192, 224);
TINTARA_FR(resourceProcs, 196, 232);
TINTARA_FR(processEvent, 200, 240);
TINTARA_FR(displayPixels, 204, 248);
TINTARA_FR(handleProcs, 208, 256);
TINTARA_FR(supportsDummyChannels, 212, 264);
TINTARA_FR(supportsAlternateLayouts, 213, 265);
TINTARA_FR(wantLayout, 214, 266);
TINTARA_FR(filterCase, 216, 268);
TINTARA_FR(dummyPlaneValue, 218, 270);
TINTARA_FR(premiereHook, 220, 272);
TINTARA_FR(advanceState, 224, 280);
TINTARA_FR(supportsAbsolute, 228, 288);
TINTARA_FR(wantsAbsolute, 229, 289);
TINTARA_FR(getPropertyObsolete, 232, 292);
TINTARA_FR(cannotUndo, 236, 300);
TINTARA_FR(supportsPadding, 237, 301);
TINTARA_FR(inputPadding, 238, 302);
TINTARA_FR(outputPadding, 240, 304);
TINTARA_FR(maskPadding, 242, 306);
TINTARA_FR(samplingSupport, 244, 308);
TINTARA_FR(reservedByte, 245, 309);
TINTARA_FR(inputRate, 248, 312);
TINTARA_FR(maskRate, 252, 316);
TINTARA_FR(colorServices, 256, 320);
TINTARA_FR(inLayerPlanes, 260, 328);
TINTARA_FR(inTransparencyMask, 262, 330);
TINTARA_FR(inLayerMasks, 264, 332);
TINTARA_FR(outLayerPlanes, 270, 338);
TINTARA_FR(absLayerPlanes, 280, 348);
TINTARA_FR(inPreDummyPlanes, 290, 358);
TINTARA_FR(outPostDummyPlanes, 296, 364);
TINTARA_FR(inColumnBytes, 300, 368);
TINTARA_FR(inPlaneBytes, 304, 372);
TINTARA_FR(outColumnBytes, 308, 376);
TINTARA_FR(outPlaneBytes, 312, 380);
TINTARA_FR(imageServicesProcs, 316, 384);
TINTARA_FR(propertyProcs, 320, 392);
TINTARA_FR(inTileHeight, 324, 400);
TINTARA_FR(inTileWidth, 326, 402);
TINTARA_FR(inTileOrigin, 328, 404);
TINTARA_FR(absTileHeight, 332, 408);
TINTARA_FR(absTileOrigin, 336, 412);
TINTARA_FR(outTileHeight, 340, 416);
TINTARA_FR(outTileOrigin, 344, 420);
TINTARA_FR(maskTileHeight, 348, 424);
TINTARA_FR(maskTileOrigin, 352, 428);
TINTARA_FR(descriptorParameters, 356, 432);
TINTARA_FR(errorString, 360, 440);
TINTARA_FR(channelPortProcs, 364, 448);
TINTARA_FR(documentInfo, 368, 456);
TINTARA_FR(sSPBasic, 372, 464);
TINTARA_FR(plugInRef, 376, 472);
TINTARA_FR(depth, 380, 480);
TINTARA_FR(iCCprofileData, 384, 484);
TINTARA_FR(iCCprofileSize, 388, 492);
TINTARA_FR(canUseICCProfiles, 392, 496);
TINTARA_FR(hasImageScrap, 396, 500);
TINTARA_FR(bigDocumentData, 400, 504);
TINTARA_FR(input3DScene, 404, 512);
TINTARA_FR(output3DScene, 408, 520);
TINTARA_FR(createNewLayer, 412, 528);
TINTARA_FR(iCCWorkingProfileData, 416, 532);
TINTARA_FR(iCCWorkingProfileSize, 420, 540);
TINTARA_FR(bufferSpace64, 424, 544);
TINTARA_FR(maxSpace64, 432, 552);
TINTARA_FR(allowOverrangeColors, 440, 560);
TINTARA_FR(reserved, 441, 561);
#undef TINTARA_FR
static_assert(sizeof(FilterRecord) == TINTARA_W(488, 608));
// Every field that the plug-in reads lies inside the 6.0-era record.
static_assert(offsetof(FilterRecord, documentInfo) + sizeof(void*) <= kFilterRecordSize60);
