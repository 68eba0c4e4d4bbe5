#include "DialogAutomation.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "DibWin.h"
#include "HostImage.h"
#include "Trace.h"

namespace {

DialogAutomation* activeAutomation = nullptr;
constexpr UINT kTickMs = 15;
// Without a person and without a script a dialog is cancelled after this long.
constexpr int kUnattendedTimeoutMs = 5000;
// A script that ends without ok or cancel leaves the dialog this long.
constexpr int kAfterScriptTimeoutMs = 3000;

std::string Utf8Text(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::wstring wide(std::size_t(length) + 1, L'\0');
  GetWindowTextW(window, wide.data(), length + 1);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string text(std::size_t(bytes > 0 ? bytes : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, text.data(), bytes, nullptr, nullptr);
  text.resize(std::strlen(text.c_str()));
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

std::string ClassName(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

// "free" when the cursor may go anywhere on the screen, else the confining rectangle.
std::string CursorClipText() {
  RECT clip{};
  GetClipCursor(&clip);
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int right = left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int bottom = top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (clip.left <= left && clip.top <= top && clip.right >= right && clip.bottom >= bottom)
    return "free";
  return std::to_string(clip.left) + "," + std::to_string(clip.top) + "," +
         std::to_string(clip.right) + "," + std::to_string(clip.bottom);
}

POINT CenterOf(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

LPARAM ClientParam(HWND window, POINT screen) {
  ScreenToClient(window, &screen);
  return MAKELPARAM(screen.x, screen.y);
}

struct Finder {
  HWND host;
  bool messageBoxes;
  HWND found;
};

BOOL CALLBACK FindProc(HWND window, LPARAM param) {
  auto* finder = reinterpret_cast<Finder*>(param);
  if (window == finder->host || !IsWindowVisible(window) || ClassName(window) != "#32770")
    return TRUE;
  bool isMessageBox =
      GetDlgItem(window, 0xFFFF) != nullptr && GetDlgItem(window, kEditRed) == nullptr;
  if (isMessageBox != finder->messageBoxes) return TRUE;
  finder->found = window;
  return FALSE;
}

// Width that a control leaves for its caption, in pixels, as the system draws it:
// a check box's glyph and the gap after it (13 + 4 at 96 dpi), a push button's
// edges (3 on each side), a static text's whole width. Group boxes and
// owner-drawn controls are not measured.
int CaptionRoom(HWND control) {
  RECT client;
  GetClientRect(control, &client);
  const LONG style = GetWindowLongA(control, GWL_STYLE);
  const std::string kind = ClassName(control);
  if (kind == "Static") return client.right;
  if (kind != "Button") return -1;
  switch (style & BS_TYPEMASK) {
  case BS_CHECKBOX:
  case BS_AUTOCHECKBOX:
  case BS_RADIOBUTTON:
  case BS_AUTORADIOBUTTON:
    return client.right - 17;
  case BS_PUSHBUTTON:
  case BS_DEFPUSHBUTTON:
    return client.right - 6;
  default:
    return -1;
  }
}

BOOL CALLBACK TraceCaptionProc(HWND control, LPARAM) {
  const int room = CaptionRoom(control);
  const int length = GetWindowTextLengthW(control);
  if (room < 0 || length == 0 || !IsWindowVisible(control)) return TRUE;
  std::wstring caption(std::size_t(length) + 1, L'\0');
  GetWindowTextW(control, caption.data(), length + 1);
  HDC dc = GetDC(control);
  HGDIOBJ old =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT needed{0, 0, 0, 0};
  // DT_CALCRECT measures the caption as drawn, without the mnemonic's ampersand.
  DrawTextW(dc, caption.c_str(), length, &needed, DT_CALCRECT | DT_SINGLELINE);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  HostTrace().Line("dialog caption id=%d \"%s\" width=%ld room=%d %s", GetDlgCtrlID(control),
                   Utf8Text(control).c_str(), needed.right, room,
                   needed.right <= room ? "fits" : "cut");
  return TRUE;
}

BOOL CALLBACK AnyDialogProc(HWND window, LPARAM param) {
  auto* finder = reinterpret_cast<Finder*>(param);
  if (window == finder->host || ClassName(window) != "#32770") return TRUE;
  finder->found = window;
  return FALSE;
}

} // namespace

bool DialogAutomation::DialogOfThisThread() const {
  Finder finder{host_, false, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), AnyDialogProc, reinterpret_cast<LPARAM>(&finder));
  return finder.found != nullptr;
}

DialogAutomation::DialogAutomation(HWND hostWindow, std::vector<DialogStep> steps, bool attended,
                                   int timeoutMs)
    : host_(hostWindow), steps_(std::move(steps)), attended_(attended), timeoutMs_(timeoutMs) {}

DialogAutomation::~DialogAutomation() {
  End();
}

void DialogAutomation::Begin() {
  activeAutomation = this;
  begun_ = GetTickCount();
  if (timer_ == 0) timer_ = SetTimer(nullptr, 0, kTickMs, TimerProc);
}

void DialogAutomation::End() {
  if (dialog_ != nullptr && kind_ == Kind::Parameter) {
    // A plug-in that confined the cursor (a drag on its preview) must free it,
    // however its dialog ended.
    HostTrace().Line("dialog gone cursorClip=%s", CursorClipText().c_str());
  }
  if (timer_ != 0) KillTimer(nullptr, timer_);
  timer_ = 0;
  if (activeAutomation == this) activeAutomation = nullptr;
  dialog_ = nullptr;
  stepRunning_ = false;
}

void CALLBACK DialogAutomation::TimerProc(HWND, UINT, UINT_PTR, DWORD) {
  if (activeAutomation != nullptr) activeAutomation->Tick();
}

HWND DialogAutomation::FindWindowOfThread(bool messageBoxes) const {
  Finder finder{host_, messageBoxes, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindProc, reinterpret_cast<LPARAM>(&finder));
  return finder.found;
}

void DialogAutomation::Tick() {
  // A nested modal loop (a colour dialog opened by a click) may tick again
  // while an action runs.
  if (busy_) return;
  busy_ = true;
  if (HWND box = FindWindowOfThread(true)) AnswerMessageBox(box);
  if (dialog_ != nullptr && !IsWindow(dialog_)) {
    HostTrace().Line("dialog closed after=%lums",
                     static_cast<unsigned long>(GetTickCount() - begun_));
    dialog_ = nullptr;
    stepRunning_ = false;
  }
  if (dialog_ == nullptr) {
    if (HWND window = FindWindowOfThread(false)) Appeared(window);
  }
  if (dialog_ != nullptr) {
    if (kind_ == Kind::Parameter && !steps_.empty() && !scriptDone_) {
      RunScript();
    } else {
      int limit = timeoutMs_;
      if (limit < 0 && !steps_.empty()) limit = kAfterScriptTimeoutMs;
      if (limit < 0 && !attended_) limit = kUnattendedTimeoutMs;
      DWORD waited = GetTickCount() - since_;
      if (limit >= 0 && waited >= DWORD(limit)) CancelUnanswered(waited);
    }
  }
  busy_ = false;
}

void DialogAutomation::Appeared(HWND window) {
  dialog_ = window;
  ++dialogsSeen_;
  if (dialogsSeen_ == 2 && !laterSteps_.empty()) steps_ = laterSteps_;
  since_ = GetTickCount();
  bool parameter = GetDlgItem(window, kEditRed) != nullptr && GetDlgItem(window, IDOK) != nullptr;
  kind_ = parameter ? Kind::Parameter : Kind::Other;
  stepIndex_ = 0;
  scriptDone_ = false;
  stepRunning_ = false;
  RECT r;
  GetWindowRect(window, &r);
  HWND owner = GetWindow(window, GW_OWNER);
  HostTrace().Line("dialog appeared kind=%s title=\"%s\" owner=%s rect=%ld,%ld,%ld,%ld after=%lums",
                   parameter ? "parameters" : "other", Utf8Text(window).c_str(),
                   owner == host_ ? "host" : (owner ? "other" : "none"), r.top, r.left, r.bottom,
                   r.right, static_cast<unsigned long>(since_ - begun_));
  if (parameter) {
    EnumChildWindows(window, TraceCaptionProc, 0);
    TraceState();
  }
}

void DialogAutomation::AnswerMessageBox(HWND box) {
  static HWND reported = nullptr;
  if (box != reported) {
    reported = box;
    HostTrace().Line("messageBox caption=\"%s\" text=\"%s\"", Utf8Text(box).c_str(),
                     Utf8Text(GetDlgItem(box, 0xFFFF)).c_str());
  }
  if (attended_ && steps_.empty()) return; // a person reads it and closes it
  for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
    HWND button = GetDlgItem(box, id);
    if (button != nullptr) {
      HostTrace().Line("messageBox closed with button %d", id);
      SendMessageA(button, BM_CLICK, 0, 0);
      return;
    }
  }
  PostMessageA(box, WM_CLOSE, 0, 0);
}

void DialogAutomation::CancelUnanswered(DWORD waited) {
  std::fprintf(stderr,
               "tintara-host: the dialog \"%s\" was left unanswered for %lu ms; cancelled it\n",
               Utf8Text(dialog_).c_str(), static_cast<unsigned long>(waited));
  HostTrace().Line("dialog unanswered after %lu ms: cancelled", static_cast<unsigned long>(waited));
  cancelledByTimeout_ = true;
  HWND cancel = GetDlgItem(dialog_, IDCANCEL);
  if (cancel != nullptr && IsWindowEnabled(cancel))
    SendMessageA(cancel, BM_CLICK, 0, 0);
  else
    PostMessageA(dialog_, WM_COMMAND, IDCANCEL, 0);
  since_ = GetTickCount();
}

void DialogAutomation::Fail(const std::string& why) {
  ++stepsFailed_;
  std::fprintf(stderr, "tintara-host: dialog step '%s' failed: %s\n",
               steps_[stepIndex_].text.c_str(), why.c_str());
  HostTrace().Line("dialog step %zu '%s' failed: %s", stepIndex_ + 1,
                   steps_[stepIndex_].text.c_str(), why.c_str());
}

void DialogAutomation::RunScript() {
  if (!stepRunning_) {
    if (stepIndex_ >= steps_.size()) {
      scriptDone_ = true;
      since_ = GetTickCount();
      return;
    }
    actions_.clear();
    actionIndex_ = 0;
    StartStep(steps_[stepIndex_]);
    stepRunning_ = true;
  }
  if (actionIndex_ < actions_.size()) {
    bool ok = actions_[actionIndex_++]();
    if (!ok) actionIndex_ = actions_.size() + 1; // stop this step, go on with the next
    if (actionIndex_ < actions_.size()) return;
  }
  // The step's last message has been handled by now: the next tick comes after it.
  if (actionIndex_ == actions_.size()) {
    HostTrace().Line("dialog step %zu '%s' done", stepIndex_ + 1, steps_[stepIndex_].text.c_str());
    if (dialog_ != nullptr && IsWindow(dialog_)) TraceState();
  }
  ++stepIndex_;
  stepRunning_ = false;
}

void DialogAutomation::TraceState() {
  auto text = [&](int id) {
    HWND w = GetDlgItem(dialog_, id);
    return w ? Utf8Text(w) : std::string("?");
  };
  auto checked = [&](int id, char letter) {
    return IsDlgButtonChecked(dialog_, id) == BST_CHECKED ? std::string(1, letter) : std::string();
  };
  auto enabled = [&](int id) {
    HWND w = GetDlgItem(dialog_, id);
    return w == nullptr ? "none" : IsWindowEnabled(w) ? "on" : "off";
  };
  HWND focus = GetFocus();
  std::string checks =
      checked(kCheckRed, 'r') + checked(kCheckGreen, 'g') + checked(kCheckBlue, 'b');
  // Whether OK is drawn and acts as the default button, and which button the dialog
  // manager names as its default (what Enter presses when the focus is not on a
  // push button that has become the default).
  HWND ok = GetDlgItem(dialog_, IDOK);
  const bool okDefault =
      ok != nullptr && (GetWindowLongA(ok, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  const LRESULT defId = SendMessageA(dialog_, DM_GETDEFID, 0, 0);
  HostTrace().Line(
      "dialog state fields=%s,%s,%s checks=%s zoomIn=%s zoomOut=%s focus=%d okDefault=%s "
      "defId=%d",
      text(kEditRed).c_str(), text(kEditGreen).c_str(), text(kEditBlue).c_str(),
      checks.empty() ? "none" : checks.c_str(), enabled(kZoomIn), enabled(kZoomOut),
      focus ? GetDlgCtrlID(focus) : 0, okDefault ? "yes" : "no",
      HIWORD(defId) == DC_HASDEFID ? int(LOWORD(defId)) : 0);
}

void DialogAutomation::AddClick(int control, const std::string& what) {
  HWND dialog = dialog_;
  auto target = [dialog, control, what, this]() -> HWND {
    HWND w = GetDlgItem(dialog, control);
    if (w == nullptr)
      Fail("the dialog has no control " + std::to_string(control) + " (" + what + ")");
    else if (!IsWindowVisible(w))
      Fail(what + " is hidden");
    else if (!IsWindowEnabled(w)) {
      // A person's click on a disabled button does nothing; neither does ours.
      HostTrace().Line("dialog step %zu: %s is disabled, the click does nothing", stepIndex_ + 1,
                       what.c_str());
      return nullptr;
    }
    return w;
  };
  actions_.push_back([target]() {
    HWND w = target();
    if (w == nullptr) return false;
    POINT p = CenterOf(w);
    SetCursorPos(p.x, p.y);
    PostMessageA(w, WM_MOUSEMOVE, 0, ClientParam(w, p));
    return true;
  });
  actions_.push_back([dialog, control]() {
    HWND w = GetDlgItem(dialog, control);
    POINT p;
    GetCursorPos(&p);
    PostMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, ClientParam(w, p));
    return true;
  });
  actions_.push_back([dialog, control]() {
    HWND w = GetDlgItem(dialog, control);
    if (w == nullptr) return true; // the click closed the dialog
    POINT p;
    GetCursorPos(&p);
    PostMessageA(w, WM_LBUTTONUP, 0, ClientParam(w, p));
    return true;
  });
}

void DialogAutomation::AddKey(UINT vk, char character) {
  auto keyData = [](UINT key, bool up) {
    LPARAM scan = LPARAM(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
    LPARAM data = 1 | (scan << 16);
    if (up) data |= LPARAM(0xC0000000u);
    return data;
  };
  bool shift = false;
  if (character != 0) {
    SHORT scan = VkKeyScanA(character);
    if (scan == -1) {
      // Not on the keyboard: the character arrives as it would from an input method.
      actions_.push_back([character]() {
        PostMessageA(GetFocus(), WM_CHAR, WPARAM(static_cast<unsigned char>(character)), 1);
        return true;
      });
      return;
    }
    vk = UINT(scan & 0xFF);
    shift = (scan & 0x100) != 0;
  }
  actions_.push_back([vk, shift, keyData]() {
    HWND focus = GetFocus();
    if (focus == nullptr) return false;
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    // The dialog's loop translates the key into its character, as for a real key.
    PostMessageA(focus, WM_KEYDOWN, vk, keyData(vk, false));
    return true;
  });
  actions_.push_back([vk, shift, keyData]() {
    HWND focus = GetFocus();
    if (focus != nullptr) PostMessageA(focus, WM_KEYUP, vk, keyData(vk, true));
    if (shift) {
      BYTE keys[256];
      GetKeyboardState(keys);
      keys[VK_SHIFT] = 0;
      SetKeyboardState(keys);
    }
    return true;
  });
}

void DialogAutomation::AddPreviewMouse(UINT message, WPARAM keys, int dx, int dy) {
  HWND dialog = dialog_;
  actions_.push_back([this, dialog, message, keys, dx, dy]() {
    POINT p{dragPoint_.x + dx, dragPoint_.y + dy};
    SetCursorPos(p.x, p.y);
    // The cursor may be confined (a drag clips it to the preview): use where it went.
    GetCursorPos(&p);
    PostMessageA(dialog, message, keys, ClientParam(dialog, p));
    return true;
  });
}

void DialogAutomation::StartStep(const DialogStep& step) {
  HWND dialog = dialog_;
  switch (step.kind) {
  case StepKind::Field: {
    const char* name = step.control == kEditRed     ? "red field"
                       : step.control == kEditGreen ? "green field"
                                                    : "blue field";
    AddClick(step.control, name);
    actions_.push_back([dialog, step]() {
      SendMessageA(GetDlgItem(dialog, step.control), EM_SETSEL, 0, -1);
      return true;
    });
    for (char c : step.argument)
      AddKey(0, c);
    AddKey(VK_TAB); // leave the field
    break;
  }
  case StepKind::Check: {
    const int ids[3] = {kCheckRed, kCheckGreen, kCheckBlue};
    const char* names[3] = {"red check box", "green check box", "blue check box"};
    for (int i = 0; i < 3; ++i) {
      bool isChecked = IsDlgButtonChecked(dialog, ids[i]) == BST_CHECKED;
      if (isChecked != step.checks[i]) AddClick(ids[i], names[i]);
    }
    break;
  }
  case StepKind::Pan:
    AddClick(step.control, "pan button");
    break;
  case StepKind::Zoom:
    AddClick(step.control, step.control == kZoomIn ? "enlarge button" : "reduce button");
    break;
  case StepKind::Swatch:
    AddClick(kSwatch, "swatch");
    break;
  case StepKind::Pick:
    AddClick(kPicker, "colour picker button");
    break;
  case StepKind::Ok:
    AddClick(IDOK, "OK button");
    break;
  case StepKind::Cancel:
    AddClick(IDCANCEL, "Cancel button");
    break;
  case StepKind::Focus:
    AddClick(step.control, "tone field");
    break;
  case StepKind::Paste: {
    std::string text = step.argument;
    actions_.push_back([this, text]() {
      HWND focus = GetFocus();
      if (focus == nullptr || !OpenClipboard(focus)) {
        Fail("no focused control or no clipboard");
        return false;
      }
      EmptyClipboard();
      HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
      if (memory != nullptr) {
        std::memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
        GlobalUnlock(memory);
        SetClipboardData(CF_TEXT, memory);
      }
      CloseClipboard();
      // What the context menu's Paste sends: no key reaches the control.
      PostMessageA(focus, WM_PASTE, 0, 0);
      return true;
    });
    break;
  }
  case StepKind::Hold:
  case StepKind::Drag:
  case StepKind::DoubleClick: {
    actions_.push_back([this, dialog]() {
      HWND anchor = GetDlgItem(dialog, kPreviewAnchor);
      if (anchor == nullptr) {
        Fail("the dialog has no preview anchor (control 5)");
        return false;
      }
      dragPoint_ = CenterOf(anchor);
      return true;
    });
    AddPreviewMouse(WM_MOUSEMOVE, 0, 0, 0);
    if (step.kind == StepKind::DoubleClick) {
      // The system's order for a double click: down, up, double click, up.
      AddPreviewMouse(WM_LBUTTONDOWN, MK_LBUTTON, 0, 0);
      AddPreviewMouse(WM_LBUTTONUP, 0, 0, 0);
      AddPreviewMouse(WM_LBUTTONDBLCLK, MK_LBUTTON, 0, 0);
      AddPreviewMouse(WM_LBUTTONUP, 0, 0, 0);
      break;
    }
    AddPreviewMouse(WM_LBUTTONDOWN, MK_LBUTTON, 0, 0);
    int moves = std::max(std::abs(step.dx), std::abs(step.dy)) / 5 + 1;
    if (moves > 24) moves = 24;
    for (int i = 1; i <= moves; ++i) {
      AddPreviewMouse(WM_MOUSEMOVE, MK_LBUTTON, step.dx * i / moves, step.dy * i / moves);
    }
    if (step.kind == StepKind::Drag) {
      AddPreviewMouse(WM_LBUTTONUP, 0, step.dx, step.dy);
    } else {
      actions_.push_back([this]() {
        HostTrace().Line("dialog step %zu holds the button cursorClip=%s", stepIndex_ + 1,
                         CursorClipText().c_str());
        return true;
      });
    }
    break;
  }
  case StepKind::Type:
    for (char c : step.argument)
      AddKey(0, c);
    break;
  case StepKind::Key:
    if (step.argument == "up" || step.argument == "down") {
      AddKey(step.argument == "up" ? VK_UP : VK_DOWN);
    } else if (step.argument == "left" || step.argument == "right" || step.argument == "home" ||
               step.argument == "end" || step.argument == "enter" || step.argument == "escape") {
      const UINT vk = step.argument == "left"    ? VK_LEFT
                      : step.argument == "right" ? VK_RIGHT
                      : step.argument == "home"  ? VK_HOME
                      : step.argument == "end"   ? VK_END
                      : step.argument == "enter" ? VK_RETURN
                                                 : VK_ESCAPE;
      AddKey(vk);
    } else {
      int delta = step.argument == "wheelup" ? WHEEL_DELTA : -WHEEL_DELTA;
      actions_.push_back([delta]() {
        HWND focus = GetFocus();
        if (focus == nullptr) return false;
        POINT p;
        GetCursorPos(&p);
        PostMessageA(focus, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(p.x, p.y));
        return true;
      });
    }
    break;
  case StepKind::Shot:
    actions_.push_back([this, dialog, step]() {
      std::string error;
      RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
      if (!CaptureWindow(dialog, step.argument, error)) {
        Fail(error);
        return false;
      }
      HostTrace().Line("dialog shot %s", step.argument.c_str());
      return true;
    });
    break;
  case StepKind::Wait: {
    auto until = std::make_shared<DWORD>(0);
    int ms = step.value;
    actions_.push_back([until, ms]() {
      *until = GetTickCount() + DWORD(ms);
      return true;
    });
    // Repeats itself until the time has passed.
    actions_.push_back([this, until]() {
      if (LONG(GetTickCount() - *until) < 0) --actionIndex_;
      return true;
    });
    break;
  }
  }
  // The messages a step posts are handled before the next timer tick: one more
  // tick, so that the step's "done" and the dialog state traced with it show its
  // effect. Steps that may close the dialog get none (no tick follows them).
  const bool mayClose =
      step.kind == StepKind::Ok || step.kind == StepKind::Cancel ||
      (step.kind == StepKind::Key && (step.argument == "enter" || step.argument == "escape"));
  if (!mayClose) actions_.push_back([]() { return true; });
}

bool CaptureWindow(HWND window, const std::string& path, std::string& error) {
  RECT r;
  GetWindowRect(window, &r);
  int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) {
    error = "the window has no area";
    return false;
  }
  // Read from the window's own device context rather than the screen: that gives
  // what the window has painted so far, while the screen (under Wine, the X
  // server) may not have been sent its latest painting yet.
  HDC windowDc = GetWindowDC(window);
  HDC memory = CreateCompatibleDC(windowDc);
  BITMAPINFO info = TopDownBgrxInfo(width, height);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
  GdiFlush();
  HostImage image;
  image.width = width;
  image.height = height;
  image.planes = 3;
  image.pixels.resize(std::size_t(width) * std::size_t(height) * 3);
  const auto* source = static_cast<const uint8_t*>(bits);
  for (std::size_t i = 0; i < std::size_t(width) * std::size_t(height); ++i) {
    image.pixels[i * 3] = source[i * 4 + 2];
    image.pixels[i * 3 + 1] = source[i * 4 + 1];
    image.pixels[i * 3 + 2] = source[i * 4];
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, windowDc);
  return SaveImageFile(path, image, error);
}
