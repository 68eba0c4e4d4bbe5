// PlatformData and AboutRecord: the window handle that hosts give to plug-ins, and
// the parameter block of the About selector.
#pragma once

#include "PITypes.h"

struct SPBasicSuite;

struct PlatformData {
  intptr_t hwnd; // the host window, a HWND value
};

struct AboutRecord {
  void* platformData; // points to PlatformData
  SPBasicSuite* sSPBasic;
  void* plugInRef;
  char reserved[244];
};

static_assert(sizeof(PlatformData) == TINTARA_W(4, 8));
static_assert(sizeof(AboutRecord) == TINTARA_W(256, 272));
static_assert(offsetof(AboutRecord, sSPBasic) == TINTARA_W(4, 8));
static_assert(offsetof(AboutRecord, plugInRef) == TINTARA_W(8, 16));
static_assert(offsetof(AboutRecord, reserved) == TINTARA_W(12, 24));
