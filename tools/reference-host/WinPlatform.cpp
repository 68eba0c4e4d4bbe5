#include "WinPlatform.h"

#include <commdlg.h>
#include <io.h>

#include <algorithm>
#include <cstdlib>

#include "DibWin.h"
#include "Trace.h"

namespace {

constexpr char kWindowClass[] = "TintaraReferenceHost";

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateHostWindow() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = HostWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassA(&windowClass); // fails harmlessly when a previous job registered it
  // The editor's main window: plug-ins own their dialogs and message boxes by it.
  return CreateWindowExA(0, kWindowClass, "Tintara reference host", WS_OVERLAPPEDWINDOW,
                         CW_USEDEFAULT, CW_USEDEFAULT, 640, 480, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

DWORD WINAPI RunCall(LPVOID parameter) {
  (*static_cast<const std::function<void()>*>(parameter))();
  return 0;
}

} // namespace

bool UnattendedDisplay() {
  const char* value = std::getenv("TINTARA_HOST_UNATTENDED");
  return value != nullptr && *value != '\0' && *value != '0';
}

WinPlatform::WinPlatform(const HostOptions& options, std::vector<DialogStep> steps,
                         std::vector<DialogStep> againSteps,
                         std::function<PluginEntryProc()> reload)
    : reload_(std::move(reload)) {
  window_ = CreateHostWindow();
  attended_ = steps.empty() && !UnattendedDisplay();
  automation_ = std::make_unique<DialogAutomation>(window_, std::move(steps), attended_,
                                                   options.dialogTimeoutMs);
  automation_->SetLaterSteps(std::move(againSteps));
}

void WinPlatform::Invoke(const std::function<void()>& call, bool workerThread) {
  if (!workerThread) {
    call();
    return;
  }
  // The plug-in on a worker thread; this thread owns the host window and keeps
  // its messages flowing until the call returns.
  HANDLE thread =
      CreateThread(nullptr, 0, RunCall, const_cast<std::function<void()>*>(&call), 0, nullptr);
  if (thread == nullptr) {
    HostTrace().Line("worker thread not started; calling on the host thread");
    call();
    return;
  }
  for (;;) {
    DWORD woke = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT);
    if (woke != WAIT_OBJECT_0 + 1) break;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  CloseHandle(thread);
}

bool WinPlatform::DialogOpen() {
  return automation_->DialogOfThisThread();
}

WinPlatform::~WinPlatform() {
  automation_.reset();
  if (window_ != nullptr) DestroyWindow(window_);
}

OSErr WinPlatform::DisplayPixels(const PSPixelMap* map, const VRect* srcRect, int32 dstRow,
                                 int32 dstCol, void* context) {
  std::vector<uint8_t> bgrx;
  int width = 0, height = 0;
  std::string error;
  const PSPixelMask* mask = map->version >= 1 ? map->masks : nullptr;
  std::string maskText = mask == nullptr ? "none"
                                         : "kind" + std::to_string(mask->maskDescription) +
                                               "/colBytes" + std::to_string(mask->colBytes);
  if (!ComposePixelMap(*map, *srcRect, bgrx, width, height, error)) {
    HostTrace().Line("displayPixels bounds=%s src=%s -> paramErr: %s",
                     VRectText(map->bounds).c_str(), VRectText(*srcRect).c_str(), error.c_str());
    return paramErr;
  }
  HDC dc = static_cast<HDC>(context);
  // The part of the source rectangle that lies outside the map is not drawn.
  int32 left = std::max(srcRect->left, map->bounds.left);
  int32 top = std::max(srcRect->top, map->bounds.top);
  OSErr result = noErr;
  if (dc == nullptr) {
    result = paramErr;
  } else if (width > 0 && height > 0) {
    BITMAPINFO info = TopDownBgrxInfo(width, height);
    SetDIBitsToDevice(dc, dstCol + (left - srcRect->left), dstRow + (top - srcRect->top),
                      DWORD(width), DWORD(height), 0, 0, 0, UINT(height), bgrx.data(), &info,
                      DIB_RGB_COLORS);
  }
  HostTrace().Line("displayPixels version=%d bounds=%s src=%s dst=%d,%d mode=%d rowBytes=%d "
                   "colBytes=%d planeBytes=%d mask=%s drawn=%dx%d hash=%08x -> %s",
                   map->version, VRectText(map->bounds).c_str(), VRectText(*srcRect).c_str(),
                   dstRow, dstCol, map->imageMode, map->rowBytes, map->colBytes, map->planeBytes,
                   maskText.c_str(), width, height, Fnv1a(bgrx.data(), bgrx.size()),
                   ResultText(result).c_str());
  return result;
}

bool WinPlatform::PickColor(int rgb[3]) {
  static COLORREF custom[16] = {};
  CHOOSECOLORA choose{};
  choose.lStructSize = sizeof choose;
  choose.hwndOwner = GetActiveWindow() ? GetActiveWindow() : window_;
  choose.rgbResult = RGB(rgb[0], rgb[1], rgb[2]);
  choose.lpCustColors = custom;
  choose.Flags = CC_RGBINIT | CC_FULLOPEN;
  if (!ChooseColorA(&choose)) return false;
  rgb[0] = GetRValue(choose.rgbResult);
  rgb[1] = GetGValue(choose.rgbResult);
  rgb[2] = GetBValue(choose.rgbResult);
  return true;
}

void WinPlatform::BeginCall(int16) {
  automation_->Begin();
}

void WinPlatform::EndCall(int16) {
  automation_->End();
}

double WinPlatform::Seconds() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return double(counter.QuadPart) / double(frequency.QuadPart);
}

bool WinPlatform::ProgressVisible() {
  return _isatty(_fileno(stderr)) != 0;
}
