#include "ui/DialogControlsWin.h"

#include "ui/ToneValue.h"

void WriteToneText(HWND field, int32 value) {
  char text[256];
  FormatTone(value, text, sizeof text);
  SetWindowTextA(field, text);
}

void ApplyButtonChange(HWND dialog, int id, ButtonChange change) {
  if (change == ButtonChange::Leave) return;
  EnableWindow(GetDlgItem(dialog, id), change == ButtonChange::Enable ? TRUE : FALSE);
}
