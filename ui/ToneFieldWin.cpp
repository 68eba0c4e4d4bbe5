#include "ui/ToneField.h"

#include "ui/DialogControlsWin.h"
#include "ui/DialogIds.h"
#include "ui/PreviewState.h"
#include "ui/ToneValue.h"

namespace {

// The field's own procedure as it was before the dialog replaced it.
WNDPROC OwnProcedure(HWND field) {
  const PreviewState& s = previewState;
  WindowProcRef proc = 0;
  if (field == AsWindow(s.editRed))
    proc = s.editRedProc;
  else if (field == AsWindow(s.editGreen))
    proc = s.editGreenProc;
  else if (field == AsWindow(s.editBlue))
    proc = s.editBlueProc;
  return reinterpret_cast<WNDPROC>(proc);
}

LRESULT PassOn(HWND field, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC own = OwnProcedure(field);
  if (own == nullptr) return 0;
  return CallWindowProcA(own, field, message, wParam, lParam);
}

// The value at the start of the field's text, as typed (not held to range).
int32 ReadFieldText(HWND field) {
  char text[kToneTextBuffer] = {};
  GetWindowTextA(field, text, kToneTextBuffer);
  return ParseToneText(text);
}

// Reads one field held to 0..255. Text that reached the field without passing the
// character filter (a paste) may stand for any number; it is held to range, and
// the field is made to show the value in force.
int32 ReadFieldHeld(HWND field) {
  const int32 typed = ReadFieldText(field);
  const int32 held = ClampTone(typed);
  if (held != typed) WriteToneText(field, held);
  return held;
}

// Re-reads all three fields, in order, into the current colour and tells the
// dialog, which stores the colour, repaints the swatch and re-tones the preview.
void RereadAndNotify() {
  PreviewState& s = previewState;
  s.currentRed = ReadFieldHeld(AsWindow(s.editRed));
  s.currentGreen = ReadFieldHeld(AsWindow(s.editGreen));
  s.currentBlue = ReadFieldHeld(AsWindow(s.editBlue));
  SendMessageA(AsWindow(s.dialog), WM_COMMAND, MAKEWPARAM(kIdSwatch, 0), kToneChangedMark);
}

void ToggleCheck(WindowRef box) {
  const LRESULT state = SendMessageA(AsWindow(box), BM_GETCHECK, 0, 0);
  SendMessageA(AsWindow(box), BM_SETCHECK, state == 0 ? BST_CHECKED : BST_UNCHECKED, 0);
}

void PerformShortcut(HWND field, const ToneShortcut& shortcut, LPARAM keyData) {
  PreviewState& s = previewState;
  switch (shortcut.kind) {
  case ShortcutKind::ToggleRed:
    ToggleCheck(s.checkRed);
    break;
  case ShortcutKind::ToggleGreen:
    ToggleCheck(s.checkGreen);
    break;
  case ShortcutKind::ToggleBlue:
    ToggleCheck(s.checkBlue);
    break;
  case ShortcutKind::DeleteForward:
    SendMessageA(field, WM_KEYDOWN, VK_DELETE, 0);
    SendMessageA(field, WM_KEYUP, VK_DELETE, 0);
    return;
  case ShortcutKind::DeleteBackward:
    SendMessageA(field, WM_CHAR, 8, keyData);
    SendMessageA(field, WM_KEYUP, VK_BACK, keyData);
    return;
  default:
    break;
  }
  if (shortcut.command != 0) {
    SendMessageA(AsWindow(s.dialog), WM_COMMAND, MAKEWPARAM(shortcut.command, 0), keyData);
  }
}

bool RereadsOnKeyUp(WPARAM key) {
  return key == VK_BACK || key == VK_DELETE || (key >= '0' && key <= '9') ||
         (key >= VK_NUMPAD0 && key <= VK_NUMPAD9);
}

} // namespace

LRESULT CALLBACK ToneFieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_KEYDOWN:
    // The arrow keys step the value like the wheel and do not reach the field.
    if (wParam == VK_UP) {
      SendMessageA(field, WM_MOUSEWHEEL, 1, 0);
      return 0;
    }
    if (wParam == VK_DOWN) {
      SendMessageA(field, WM_MOUSEWHEEL, static_cast<WPARAM>(-1), 0);
      return 0;
    }
    return PassOn(field, message, wParam, lParam);

  case WM_KEYUP:
    if (RereadsOnKeyUp(wParam)) RereadAndNotify();
    return PassOn(field, message, wParam, lParam);

  case WM_CHAR:
    switch (ClassifyToneChar(wParam)) {
    case ToneCharKind::Edit:
      PassOn(field, message, wParam, lParam);
      // A digit that takes the value above 255 empties the field.
      if (ReadFieldText(field) > kToneMax) SetWindowTextA(field, "");
      RereadAndNotify();
      return 0;
    case ToneCharKind::Shortcut:
      PerformShortcut(field, ShortcutForChar(wParam), lParam);
      return 0;
    case ToneCharKind::Discard:
    default:
      return 0;
    }

  case WM_MOUSEWHEEL: {
    // The sign of the first parameter taken as 32 bits: the wheel's delta sits in
    // its high word, the arrow keys send 1 and -1. One message is one step.
    const auto direction = static_cast<int32>(static_cast<uint32>(wParam & 0xFFFFFFFFu));
    WriteToneText(field, StepTone(ClampTone(ReadFieldText(field)), direction > 0));
    SendMessageA(field, WM_KEYUP, '0', 0);
    SendMessageA(field, EM_SETSEL, 0, -1);
    return 0;
  }

  case WM_KILLFOCUS:
    if (ReadFieldText(field) == 0) SetWindowTextA(field, "0");
    return PassOn(field, message, wParam, lParam);

  default:
    return PassOn(field, message, wParam, lParam);
  }
}
