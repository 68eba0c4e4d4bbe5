// The preview panel's window side: measuring and placing the proxy in the dialog,
// painting it through the host's displayPixels, cursors and cursor confinement.
#pragma once

#include <windows.h>

#include "ui/PreviewPanel.h"

// Stores the rectangle of the hidden anchor control, in dialog client
// coordinates, into rect.
void MeasurePreviewArea(HWND dialog, Rect* rect);

// Where the proxy of the current outRect is drawn: centred on the anchor control.
PreviewBounds GetProxyBounds(const PluginGlobals* globals, HWND dialog);

// The dialog's whole WM_PAINT while the preview is on: frame and proxy image.
void PaintPreview(PluginGlobals* globals, HWND dialog);

// Pan buttons (WM_COMMAND with 1013..1020) and mouse messages on the preview, with
// (x, y) in dialog client coordinates. Nonzero when the preview must be repainted.
int32 HandlePreviewInput(HWND dialog, UINT message, int id, PluginGlobals* globals, int32 x,
                         int32 y);

// A zoom button (1021 or 1022): the new factor and the buttons' states.
void ZoomPreview(HWND dialog, int id, PluginGlobals* globals);

// Releases the cursor confinement and forgets a drag in progress; the dialog calls
// it when it ends, since the button up that would release it may never come.
void ReleasePreviewDrag();

// Marks previewBounds for repainting, without erasing the background.
void InvalidatePreview(HWND dialog);
