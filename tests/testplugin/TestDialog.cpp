// A small dialog with the control IDs of the parameter dialog, built from an
// in-memory template, so that the host's dialog automation can be proven before
// (and independently of) the real dialog. It records what reaches it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "TestFilter.h"

namespace {

constexpr int kEdits[3] = {1006, 1007, 1008};
constexpr int kChecks[3] = {1012, 1023, 1024};

FilterRecord* dialogRecord = nullptr;
WNDPROC editProcs[3] = {};
std::vector<uint8> mask;

// Builds a DLGTEMPLATE in memory: header, then items, all DWORD-aligned.
class TemplateBuilder {
public:
  TemplateBuilder(const wchar_t* title, short cx, short cy) {
    Align();
    Add32(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT);
    Add32(0);
    countAt_ = words_.size();
    Add16(0);
    Add16(10), Add16(10), Add16(uint16(cx)), Add16(uint16(cy));
    Add16(0), Add16(0); // no menu, default class
    AddText(title);
    Add16(8);
    AddText(L"MS Shell Dlg");
  }
  void Item(const wchar_t* windowClass, const wchar_t* text, int id, short x, short y, short cx,
            short cy, DWORD style) {
    Align();
    Add32(style | WS_CHILD);
    Add32(0);
    Add16(uint16(x)), Add16(uint16(y)), Add16(uint16(cx)), Add16(uint16(cy));
    Add16(uint16(id));
    AddText(windowClass);
    AddText(text);
    Add16(0);
    ++words_[countAt_];
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
  void Add16(uint16 value) { words_.push_back(value); }
  void Add32(DWORD value) {
    Add16(uint16(value & 0xFFFF));
    Add16(uint16(value >> 16));
  }
  void AddText(const wchar_t* text) {
    for (; *text; ++text)
      Add16(uint16(*text));
    Add16(0);
  }
  void Align() {
    if (words_.size() % 2) Add16(0);
  }
  std::vector<uint16> words_;
  std::size_t countAt_ = 0;
};

int FieldValue(HWND dialog, int id) {
  char text[16] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return std::atoi(text);
}

void SetFieldValue(HWND dialog, int id, int value) {
  SetDlgItemTextA(dialog, id, std::to_string(value).c_str());
}

// Edits count characters and step with the arrow keys and the wheel.
LRESULT CALLBACK EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  int index = GetDlgCtrlID(edit) - kEdits[0];
  HWND dialog = GetParent(edit);
  if (message == WM_CHAR) ++testState.dialog.characters;
  if (message == WM_KEYDOWN && (wParam == VK_UP || wParam == VK_DOWN)) {
    SetFieldValue(dialog, GetDlgCtrlID(edit),
                  FieldValue(dialog, GetDlgCtrlID(edit)) + (wParam == VK_UP ? 1 : -1));
    return 0;
  }
  if (message == WM_MOUSEWHEEL) {
    int step = short(HIWORD(wParam)) > 0 ? 10 : -10;
    SetFieldValue(dialog, GetDlgCtrlID(edit), FieldValue(dialog, GetDlgCtrlID(edit)) + step);
    return 0;
  }
  return CallWindowProcA(editProcs[index], edit, message, wParam, lParam);
}

void FetchPreview(FilterRecord* r) {
  // A reduced copy of the top-left of the image at rate 2, as a preview proxy.
  Rect rect{0, 0, int16(std::min(60, r->imageSize.v / 2)), int16(std::min(80, r->imageSize.h / 2))};
  r->inRect = r->outRect = r->maskRect = rect;
  r->inLoPlane = r->outLoPlane = 0;
  r->inHiPlane = r->outHiPlane = int16(r->planes - 1);
  r->inputRate = r->maskRate = 2 * 65536;
  r->inputPadding = r->outputPadding = r->maskPadding = 255;
  if (r->advanceState == nullptr || r->advanceState() != noErr)
    TestFail("the preview fetch failed");
}

void PaintPreview(HWND dialog) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(dialog, &paint);
  FilterRecord* r = dialogRecord;
  RECT anchor;
  GetWindowRect(GetDlgItem(dialog, 5), &anchor);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&anchor), 2);
  if (r->displayPixels != nullptr && r->outData != nullptr) {
    ++testState.dialog.paints;
    PSPixelMap map{};
    map.version = 1;
    map.bounds = VRect{r->outRect.top, r->outRect.left, r->outRect.bottom, r->outRect.right};
    map.imageMode = plugInModeRGBColor;
    map.rowBytes = r->outRowBytes;
    map.colBytes = r->outHiPlane - r->outLoPlane + 1;
    map.planeBytes = 1;
    map.baseAddr = r->outData;
    // The mask hides the proxy's left quarter, so the host must honour it.
    int width = r->outRect.right - r->outRect.left, height = r->outRect.bottom - r->outRect.top;
    mask.assign(std::size_t(width) * std::size_t(height), 255);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width / 4; ++x)
        mask[std::size_t(y * width + x)] = 0;
    }
    PSPixelMask pixelMask{nullptr, mask.data(), width, 1, kSimplePSMask};
    map.masks = &pixelMask;
    r->displayPixels(&map, &map.bounds, anchor.top, anchor.left, dc);
  }
  EndPaint(dialog, &paint);
}

void RecordMouse(HWND dialog, UINT message, LPARAM lParam) {
  POINT cursor;
  GetCursorPos(&cursor);
  ScreenToClient(dialog, &cursor);
  POINT at{short(LOWORD(lParam)), short(HIWORD(lParam))};
  if (cursor.x != at.x || cursor.y != at.y) ++testState.dialog.cursorMismatches;
  static POINT down{};
  DialogRecord& d = testState.dialog;
  switch (message) {
  case WM_LBUTTONDOWN:
    down = at;
    d.mouse += "d";
    break;
  case WM_LBUTTONUP:
    d.mouse += "u";
    d.drag = std::to_string(at.x - down.x) + "," + std::to_string(at.y - down.y);
    break;
  case WM_LBUTTONDBLCLK:
    d.mouse += "2";
    break;
  default:
    break;
  }
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  FilterRecord* r = dialogRecord;
  switch (message) {
  case WM_INITDIALOG:
    for (int i = 0; i < 3; ++i) {
      SetFieldValue(dialog, kEdits[i], 0);
      editProcs[i] = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
          GetDlgItem(dialog, kEdits[i]), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditProc)));
    }
    CheckDlgButton(dialog, kChecks[0], BST_CHECKED);
    CheckDlgButton(dialog, kChecks[1], BST_CHECKED);
    FetchPreview(r);
    return TRUE;
  case WM_PAINT:
    PaintPreview(dialog);
    return TRUE;
  case WM_MOUSEMOVE:
  case WM_LBUTTONDOWN:
  case WM_LBUTTONUP:
  case WM_LBUTTONDBLCLK:
    RecordMouse(dialog, message, lParam);
    return TRUE;
  case WM_COMMAND: {
    int id = LOWORD(wParam);
    if (HIWORD(wParam) != BN_CLICKED) return FALSE;
    DialogRecord& d = testState.dialog;
    d.commands += (d.commands.empty() ? "" : ",") + std::to_string(id);
    if (id == IDOK || id == IDCANCEL) {
      for (int i = 0; i < 3; ++i)
        d.tone[i] = FieldValue(dialog, kEdits[i]);
      d.checks.clear();
      for (int i = 0; i < 3; ++i) {
        if (IsDlgButtonChecked(dialog, kChecks[i]) == BST_CHECKED) d.checks += "rgb"[i];
      }
      EndDialog(dialog, id == IDOK);
    } else if (id == 1026 && r->colorServices != nullptr) {
      ColorServicesInfo info{};
      info.infoSize = sizeof info;
      info.selector = plugIncolorServicesChooseColor;
      info.sourceSpace = info.resultSpace = plugIncolorServicesRGBSpace;
      Str255 prompt = "\x0bPick a tone";
      info.selectorParameter.pickerPrompt = &prompt;
      for (int i = 0; i < 3; ++i)
        info.colorComponents[i] = int16(FieldValue(dialog, kEdits[i]));
      if (r->colorServices(&info) == noErr) {
        for (int i = 0; i < 3; ++i)
          SetFieldValue(dialog, kEdits[i], info.colorComponents[i]);
      }
    } else if (id == 1027) {
      for (int i = 0; i < 3; ++i)
        SetFieldValue(dialog, kEdits[i], 255 - FieldValue(dialog, kEdits[i]));
    } else if (id >= 1013 && id <= 1022) {
      FetchPreview(r);
      InvalidateRect(dialog, nullptr, FALSE);
    }
    return TRUE;
  }
  default:
    return FALSE;
  }
}

} // namespace

bool RunTestDialog(FilterRecord* record) {
  dialogRecord = record;
  testState.dialog = DialogRecord{};
  testState.dialog.shown = true;
  const DWORD push = WS_VISIBLE | BS_PUSHBUTTON;
  const DWORD check = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
  const DWORD edit = WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
  TemplateBuilder t(L"TestFilter", 226, 178);
  t.Item(L"BUTTON", L"OK", IDOK, 164, 150, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON);
  t.Item(L"BUTTON", L"Cancel", IDCANCEL, 164, 5, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON);
  t.Item(L"STATIC", L"", 5, 48, 49, 61, 70, SS_CENTER);
  const struct {
    int id;
    const wchar_t* text;
    short x, y;
  } pans[] = {{1013, L"&E", 138, 8}, {1014, L"&C", 138, 149}, {1015, L"&D", 138, 79},
              {1016, L"&Q", 5, 8},   {1017, L"&Z", 5, 149},   {1018, L"&A", 5, 79},
              {1019, L"&W", 72, 8},  {1020, L"&X", 72, 149}};
  for (const auto& pan : pans)
    t.Item(L"BUTTON", pan.text, pan.id, pan.x, pan.y, 14, 12, push);
  t.Item(L"BUTTON", L"In", 1021, 24, 149, 44, 14, push);
  t.Item(L"BUTTON", L"Out", 1022, 90, 149, 44, 14, push);
  t.Item(L"BUTTON", L"R", kChecks[0], 162, 23, 56, 10, check);
  t.Item(L"BUTTON", L"G", kChecks[1], 162, 37, 56, 10, check);
  t.Item(L"BUTTON", L"B", kChecks[2], 162, 51, 56, 10, check);
  t.Item(L"BUTTON", L"Pick", 1026, 164, 86, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON);
  t.Item(L"EDIT", L"", kEdits[0], 162, 113, 16, 12, edit);
  t.Item(L"EDIT", L"", kEdits[1], 181, 113, 16, 12, edit);
  t.Item(L"EDIT", L"", kEdits[2], 200, 113, 16, 12, edit);
  t.Item(L"BUTTON", L"", 1027, 164, 130, 50, 12, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON);
  HWND owner = reinterpret_cast<HWND>(static_cast<PlatformData*>(record->platformData)->hwnd);
  INT_PTR ok =
      DialogBoxIndirectParamA(static_cast<HINSTANCE>(testModule), t.Get(), owner, DialogProc, 0);
  // The preview's rectangles and rates are the dialog's; filtering sets its own.
  return ok == 1;
}
