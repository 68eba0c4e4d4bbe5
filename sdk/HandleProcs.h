// The host's handle suite (natural alignment).
#pragma once

#include "PITypes.h"

using NewPIHandleProc = Handle (*)(int32 size);
using DisposePIHandleProc = void (*)(Handle h);
using GetPIHandleSizeProc = int32 (*)(Handle h);
using SetPIHandleSizeProc = OSErr (*)(Handle h, int32 newSize);
using LockPIHandleProc = Ptr (*)(Handle h, Boolean moveHigh);
using UnlockPIHandleProc = void (*)(Handle h);
using RecoverSpaceProc = void (*)(int32 size);
using DisposeRegularHandlePIHandleProc = void (*)(Handle h);

struct HandleProcs {
  int16 handleProcsVersion;
  int16 numHandleProcs;
  NewPIHandleProc newProc;
  DisposePIHandleProc disposeProc;
  GetPIHandleSizeProc getSizeProc;
  SetPIHandleSizeProc setSizeProc;
  LockPIHandleProc lockProc;
  UnlockPIHandleProc unlockProc;
  RecoverSpaceProc recoverSpaceProc;
  DisposeRegularHandlePIHandleProc disposeRegularHandleProc;
};

constexpr int16 kCurrentHandleProcsVersion = 1;
constexpr int16 kCurrentHandleProcsCount = 8;

static_assert(offsetof(HandleProcs, numHandleProcs) == 2);
static_assert(offsetof(HandleProcs, newProc) == TINTARA_W(4, 8));
static_assert(offsetof(HandleProcs, disposeProc) == TINTARA_W(8, 16));
static_assert(offsetof(HandleProcs, getSizeProc) == TINTARA_W(12, 24));
static_assert(offsetof(HandleProcs, setSizeProc) == TINTARA_W(16, 32));
static_assert(offsetof(HandleProcs, lockProc) == TINTARA_W(20, 40));
static_assert(offsetof(HandleProcs, unlockProc) == TINTARA_W(24, 48));
static_assert(offsetof(HandleProcs, recoverSpaceProc) == TINTARA_W(28, 56));
static_assert(offsetof(HandleProcs, disposeRegularHandleProc) == TINTARA_W(32, 64));
static_assert(sizeof(HandleProcs) == TINTARA_W(36, 72));
