// The dialog-wide values shared by the dialog procedure, the preview panel and the
// tone fields. One process-wide instance, valid while a dialog is open.
#pragma once

#include "plugin/PluginGlobals.h"

// Window handles, window procedures and cursors are kept as opaque values so that
// the dialog's arithmetic builds and is tested without Windows; the Windows glue
// converts them back.
using WindowRef = void*;
using WindowProcRef = intptr_t;
using CursorRef = void*;

// Where the proxy image was drawn at opening, in dialog client coordinates: left
// and top are its first column and row, right and bottom lie one past its last.
struct PreviewBounds {
  int32 left;
  int32 top;
  int32 right;
  int32 bottom;
};

struct PreviewState {
  PluginGlobals* globals; // the filter run whose dialog is open
  WindowRef dialog;
  WindowRef editRed, editGreen, editBlue;
  WindowProcRef editRedProc, editGreenProc, editBlueProc; // saved before subclassing
  WindowRef checkRed, checkGreen, checkBlue;
  OSType savedMode; // TintParameters.mode at opening, put back by Cancel
  uint8 savedModeFlag;
  int32 currentRed, currentGreen, currentBlue; // the colour in the fields and swatch

  int32 dragging;                 // 1 from button down to button up on the preview
  int32 anchorX, anchorY;         // cursor position the current drag is measured from
  int32 dragDeltaH, dragDeltaV;   // zoom * (anchor - cursor) at the last move
  int32 dragOffsetH, dragOffsetV; // the clamped offset shown during a drag
  int32 panH, panV;               // pan position outside a drag, image pixels
  // Allowed ranges: panH in [-panLimitLeft, panLimitRight], panV in
  // [-panLimitTop, panLimitBottom].
  int32 panLimitLeft, panLimitTop, panLimitRight, panLimitBottom;
  PreviewBounds previewBounds;
  CursorRef handCursor;
  CursorRef grabCursor;
};

extern PreviewState previewState;
