// The window procedure installed on the three tone fields.
#pragma once

#include <windows.h>

// Keeps a field numeric and within 0..255, steps it with the arrow keys and the
// wheel, turns letters into the dialog's shortcuts, and after every change reads
// all three fields into the dialog's current colour and tells the dialog.
LRESULT CALLBACK ToneFieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam);
