#include <windows.h>

#include "host/Callbacks.h"
#include "plugin/Entry.h"
#include "plugin/TintParameters.h"
#include "ui/DialogControlsWin.h"
#include "ui/DialogIds.h"
#include "ui/DialogModel.h"
#include "ui/ParameterDialog.h"
#include "ui/PreviewPanelWin.h"
#include "ui/ToneField.h"
#include "ui/ToneValue.h"

// Exported by the module definition files under this undecorated name.
extern "C" INT_PTR CALLBACK MossbracketProc(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam);

namespace {

PluginGlobals* Globals() {
  return previewState.globals;
}

TintParameters* Params() {
  return GetParameters(previewState.globals->filterRecord);
}

void SetCurrentColour(const ToneColour& c) {
  previewState.currentRed = c.red;
  previewState.currentGreen = c.green;
  previewState.currentBlue = c.blue;
}

// Saves the field's own procedure, then installs the tone field procedure in its
// place. The pointer-sized calls serve the 32- and the 64-bit build alike.
void Subclass(WindowRef edit, WindowProcRef* saved) {
  *saved = GetWindowLongPtrA(AsWindow(edit), GWLP_WNDPROC);
  SetWindowLongPtrA(AsWindow(edit), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ToneFieldProc));
}

void InvalidateSwatch(HWND dialog) {
  InvalidateRect(GetDlgItem(dialog, kIdSwatch), nullptr, FALSE);
}

void OpenDialog(HWND dialog, PluginGlobals* globals) {
  PreviewState& s = previewState;
  s.globals = globals;
  s.dialog = dialog;
  s.editRed = GetDlgItem(dialog, kIdEditRed);
  s.editGreen = GetDlgItem(dialog, kIdEditGreen);
  s.editBlue = GetDlgItem(dialog, kIdEditBlue);
  s.checkRed = GetDlgItem(dialog, kIdCheckRed);
  s.checkGreen = GetDlgItem(dialog, kIdCheckGreen);
  s.checkBlue = GetDlgItem(dialog, kIdCheckBlue);
  Subclass(s.editRed, &s.editRedProc);
  Subclass(s.editGreen, &s.editGreenProc);
  Subclass(s.editBlue, &s.editBlueProc);

  FilterRecord* fr = globals->filterRecord;
  TintParameters* p = Params();
  s.savedMode = p->mode;
  s.savedModeFlag = p->modeFlag;

  // A host-kept flag other than 0 or 1 shows as checked, not as a third state.
  SendMessageA(AsWindow(s.checkRed), BM_SETCHECK, p->applyRed ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageA(AsWindow(s.checkGreen), BM_SETCHECK, p->applyGreen ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageA(AsWindow(s.checkBlue), BM_SETCHECK, p->applyBlue ? BST_CHECKED : BST_UNCHECKED, 0);

  // A stored tone of 0, 0, 0 means none chosen yet: the host's foreground colour
  // is taken and written into the record.
  const bool noneChosen = p->toneRed == 0 && p->toneGreen == 0 && p->toneBlue == 0;
  SetCurrentColour(OpeningTone(*p, fr->foreColor));
  if (noneChosen) StoreTone(*p, s);
  WriteToneText(AsWindow(s.editRed), s.currentRed);
  WriteToneText(AsWindow(s.editGreen), s.currentGreen);
  WriteToneText(AsWindow(s.editBlue), s.currentBlue);

  p->zoom = 1;
  p->imageRect = fr->filterRect;
  s.dragging = 0;
  s.panH = s.panV = 0;
  s.dragDeltaH = s.dragDeltaV = 0;
  s.dragOffsetH = s.dragOffsetV = 0;
  s.anchorX = s.anchorY = 0;

  // Measured also with the preview off: the pan and zoom buttons still run the
  // proxy geometry, which must not work from a rectangle that was never set.
  MeasurePreviewArea(dialog, &globals->previewRect);
  if (p->usePreview) FetchOpeningProxy(globals);
  s.previewBounds = GetProxyBounds(globals, dialog);

  s.handCursor =
      LoadCursorA(static_cast<HINSTANCE>(moduleInstance), MAKEINTRESOURCEA(kHandCursorId));
  s.grabCursor =
      LoadCursorA(static_cast<HINSTANCE>(moduleInstance), MAKEINTRESOURCEA(kGrabCursorId));

  UpdatePanLimits(globals, s);

  const ZoomDecision zoom = OpeningZoomButtons(p->imageRect, s.previewBounds);
  ApplyButtonChange(dialog, kIdZoomIn, zoom.zoomIn);
  ApplyButtonChange(dialog, kIdZoomOut, zoom.zoomOut);

  // A host without advanceState cannot deliver a proxy: the pan and zoom buttons
  // are disabled (their letter shortcuts and the mouse do nothing either). A host
  // without colour services has no picker to open.
  if (!PreviewCanFetch(globals)) {
    for (int id = kIdFirstPan; id <= kIdZoomOut; ++id)
      EnableWindow(GetDlgItem(dialog, id), FALSE);
  }
  if (!CanUseColorServices(fr)) EnableWindow(GetDlgItem(dialog, kIdPicker), FALSE);
}

// OK and Cancel: the host's filter rectangle and centred offsets come back, and a
// drag in progress lets go of the cursor.
void RestoreForClosing() {
  ReleasePreviewDrag();
  FilterRecord* fr = Globals()->filterRecord;
  TintParameters* p = Params();
  fr->filterRect = p->imageRect;
  p->offsetH = 0;
  p->offsetV = 0;
}

void ChannelBox(HWND dialog, int id) {
  const bool checked = SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
  TintParameters* p = Params();
  const Boolean value = checked ? 1 : 0;
  if (id == kIdCheckRed) p->applyRed = value;
  if (id == kIdCheckGreen) p->applyGreen = value;
  if (id == kIdCheckBlue) p->applyBlue = value;
  RetonePreview(Globals());
  InvalidatePreview(dialog);
}

void ColourPicker(HWND dialog) {
  FilterRecord* fr = Globals()->filterRecord;
  // A host without colour services has no picker (the button is disabled too).
  if (!CanUseColorServices(fr)) return;
  PreviewState& s = previewState;
  ColorServicesInfo info{};
  FillColorRequest(&info, ToneColour{s.currentRed, s.currentGreen, s.currentBlue});
  fr->colorServices(&info); // its answer is not examined: the components are taken
  SetCurrentColour(ColourFromPicker(info));
  StoreTone(*Params(), s);
  WriteToneText(AsWindow(s.editRed), s.currentRed);
  WriteToneText(AsWindow(s.editGreen), s.currentGreen);
  WriteToneText(AsWindow(s.editBlue), s.currentBlue);
  InvalidateSwatch(dialog);
  RetonePreview(Globals());
  InvalidatePreview(dialog);
}

void Swatch(HWND dialog, LPARAM lParam) {
  PreviewState& s = previewState;
  if (lParam != kToneChangedMark) {
    // A real click inverts the colour.
    const ToneColour inverted = InvertTone(ToneColour{s.currentRed, s.currentGreen, s.currentBlue});
    s.currentRed = inverted.red;
    WriteToneText(AsWindow(s.editRed), s.currentRed);
    s.currentGreen = inverted.green;
    WriteToneText(AsWindow(s.editGreen), s.currentGreen);
    s.currentBlue = inverted.blue;
    WriteToneText(AsWindow(s.editBlue), s.currentBlue);
  }
  InvalidateSwatch(dialog);
  StoreTone(*Params(), s);
  RetonePreview(Globals());
  InvalidatePreview(dialog);
}

void Command(HWND dialog, WPARAM wParam, LPARAM lParam) {
  const int id = LOWORD(wParam);
  const int code = HIWORD(wParam);
  switch (id) {
  case kIdOk:
    if (code != 0) return; // focus and double-click notifications end nothing
    RestoreForClosing();
    EndDialog(dialog, 1);
    return;
  case kIdCancel: {
    if (code != 0) return;
    TintParameters* p = Params();
    p->mode = previewState.savedMode;
    p->modeFlag = previewState.savedModeFlag;
    *Globals()->result = userCanceledErr;
    RestoreForClosing();
    EndDialog(dialog, 2);
    return;
  }
  case kIdCheckRed:
  case kIdCheckGreen:
  case kIdCheckBlue:
    ChannelBox(dialog, id);
    return;
  case kIdZoomIn:
  case kIdZoomOut:
    ZoomPreview(dialog, id, Globals());
    InvalidatePreview(dialog);
    return;
  case kIdPicker:
    ColourPicker(dialog);
    return;
  case kIdSwatch:
    Swatch(dialog, lParam);
    return;
  default:
    if (id >= kIdFirstPan && id <= kIdLastPan) {
      if (HandlePreviewInput(dialog, WM_COMMAND, id, Globals(), 0, 0) != 0) {
        InvalidatePreview(dialog);
      }
    }
    return;
  }
}

void DrawSwatch(const DRAWITEMSTRUCT* item) {
  if (item->CtlID != static_cast<UINT>(kIdSwatch)) return;
  const PreviewState& s = previewState;
  HBRUSH brush =
      CreateSolidBrush(RGB(s.currentRed & 0xFF, s.currentGreen & 0xFF, s.currentBlue & 0xFF));
  SelectObject(item->hDC, brush);
  // The context's current pen draws the one-pixel outline.
  Rectangle(item->hDC, 0, 0, item->rcItem.right, item->rcItem.bottom);
  SelectObject(item->hDC, GetStockObject(WHITE_BRUSH));
  DeleteObject(brush);
}

void Mouse(HWND dialog, UINT message) {
  // The cursor's position now, not the one the message carries.
  POINT at{};
  GetCursorPos(&at);
  ScreenToClient(dialog, &at);
  if (!InsidePreview(previewState.previewBounds, at.x, at.y)) return;
  if (HandlePreviewInput(dialog, message, 0, Globals(), at.x, at.y) != 0) {
    InvalidatePreview(dialog);
  }
}

} // namespace

extern "C" INT_PTR CALLBACK MossbracketProc(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    OpenDialog(dialog, reinterpret_cast<PluginGlobals*>(lParam));
    return 1;
  }
  // Messages before the opening (WM_SETFONT) or for another window find no state.
  if (previewState.dialog != dialog || previewState.globals == nullptr) return 0;

  switch (message) {
  case WM_COMMAND:
    Command(dialog, wParam, lParam);
    return 1;
  case WM_DRAWITEM:
    DrawSwatch(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    return 1;
  case WM_PAINT:
    if (Params()->usePreview) PaintPreview(Globals(), dialog);
    return 0;
  case WM_MOUSEMOVE:
  case WM_LBUTTONDOWN:
  case WM_LBUTTONUP:
  case WM_LBUTTONDBLCLK:
    Mouse(dialog, message);
    return 1;
  case WM_DESTROY:
    // However the dialog ends, a drag in progress lets go of the cursor.
    ReleasePreviewDrag();
    previewState.dialog = nullptr;
    return 0;
  default:
    return 0;
  }
}

bool RunParameterDialog(PluginGlobals* globals) {
  if (globals == nullptr || GetParameters(globals->filterRecord) == nullptr) return false;
  HWND owner = nullptr;
  const auto* platform = static_cast<const PlatformData*>(globals->filterRecord->platformData);
  if (platform != nullptr) owner = reinterpret_cast<HWND>(platform->hwnd);
  const INT_PTR ended = DialogBoxParamA(static_cast<HINSTANCE>(moduleInstance), kDialogTemplateName,
                                        owner, MossbracketProc, reinterpret_cast<LPARAM>(globals));
  return ended == 1;
}
