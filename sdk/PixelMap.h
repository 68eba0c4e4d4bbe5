// The pixel map that a plug-in hands to the host's displayPixels (natural alignment).
#pragma once

#include "PITypes.h"

struct PSPixelMask {
  PSPixelMask* next;
  void* maskData;
  int32 rowBytes;
  int32 colBytes;
  int32 maskDescription;
};

constexpr int32 kSimplePSMask = 0;
constexpr int32 kBlackMatPSMask = 1;
constexpr int32 kGrayMatPSMask = 2;
constexpr int32 kWhiteMatPSMask = 3;
constexpr int32 kInvertPSMask = 4;

struct PSPixelOverlay;

// Version 1 of the map: the fields after maskPhaseCol belong to later versions and
// are not part of what a version 1 map promises to the host.
struct PSPixelMap {
  int32 version;
  VRect bounds;
  int32 imageMode;
  int32 rowBytes;
  int32 colBytes;
  int32 planeBytes;
  void* baseAddr;
  PSPixelMask* mat;
  PSPixelMask* masks;
  int32 maskPhaseRow;
  int32 maskPhaseCol;
};

using DisplayPixelsProc = OSErr (*)(const PSPixelMap* source, const VRect* srcRect, int32 dstRow,
                                    int32 dstCol, void* platformContext);

static_assert(offsetof(PSPixelMask, maskData) == TINTARA_W(4, 8));
static_assert(offsetof(PSPixelMask, rowBytes) == TINTARA_W(8, 16));
static_assert(offsetof(PSPixelMask, colBytes) == TINTARA_W(12, 20));
static_assert(offsetof(PSPixelMask, maskDescription) == TINTARA_W(16, 24));
static_assert(sizeof(PSPixelMask) == TINTARA_W(20, 32));

static_assert(offsetof(PSPixelMap, bounds) == 4);
static_assert(offsetof(PSPixelMap, imageMode) == 20);
static_assert(offsetof(PSPixelMap, rowBytes) == 24);
static_assert(offsetof(PSPixelMap, colBytes) == 28);
static_assert(offsetof(PSPixelMap, planeBytes) == 32);
static_assert(offsetof(PSPixelMap, baseAddr) == TINTARA_W(36, 40));
static_assert(offsetof(PSPixelMap, mat) == TINTARA_W(40, 48));
static_assert(offsetof(PSPixelMap, masks) == TINTARA_W(44, 56));
static_assert(offsetof(PSPixelMap, maskPhaseRow) == TINTARA_W(48, 64));
static_assert(offsetof(PSPixelMap, maskPhaseCol) == TINTARA_W(52, 68));
static_assert(sizeof(PSPixelMap) == TINTARA_W(56, 72));
