// Small window-side helpers that the dialog, its preview panel and its tone fields
// share: the handle type, a tone field's text and a button's enabled state.
#pragma once

#include <windows.h>

#include "ui/PreviewMath.h"
#include "ui/PreviewState.h"

inline HWND AsWindow(WindowRef w) {
  return static_cast<HWND>(w);
}

// Shows value in the field as the tone fields write it.
void WriteToneText(HWND field, int32 value);

// Enables or disables the dialog's control id; Leave changes nothing.
void ApplyButtonChange(HWND dialog, int id, ButtonChange change);
