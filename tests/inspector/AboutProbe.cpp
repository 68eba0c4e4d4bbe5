// Loads a plug-in, calls its entry point with the About selector and reads the
// message box that appears: its caption and text are printed as UTF-16 in hex
// (one "caption" and one "text" line), then the box is closed with OK. A second
// thread waits for the box with a bounded timeout; when none appears the probe
// exits with status 2 instead of hanging.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "sdk/PlatformData.h"

namespace {

using EntryProc = void (*)(int16 selector, void* paramBlock, intptr_t* data, int16* result);

constexpr int16 kSelectorAbout = 0;
constexpr int kMessageBoxTextId = 0xFFFF; // the static control holding the text
constexpr DWORD kWaitMilliseconds = 20000;

HWND ownerWindow = nullptr;

struct FindState {
  DWORD process;
  HWND found;
};

BOOL CALLBACK FindMessageBox(HWND window, LPARAM param) {
  auto* state = reinterpret_cast<FindState*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char className[16] = {};
  GetClassNameA(window, className, sizeof className);
  if (process == state->process && IsWindowVisible(window) && std::string(className) == "#32770") {
    state->found = window;
    return FALSE;
  }
  return TRUE;
}

void PrintHex(const char* label, const std::wstring& text) {
  std::printf("%s ", label);
  for (wchar_t c : text) {
    std::printf("%04x", static_cast<unsigned>(c));
  }
  std::printf("\n");
}

std::wstring WindowText(HWND window) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(window, buffer, 1024);
  return buffer;
}

DWORD WINAPI ReadAndClose(void*) {
  FindState state{GetCurrentProcessId(), nullptr};
  const DWORD start = GetTickCount();
  while (state.found == nullptr) {
    if (GetTickCount() - start > kWaitMilliseconds) {
      std::printf("error no message box within %lu ms\n", kWaitMilliseconds);
      std::fflush(stdout);
      ExitProcess(2);
    }
    Sleep(20);
    EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&state));
  }
  HWND box = state.found;
  PrintHex("caption", WindowText(box));
  HWND text = GetDlgItem(box, kMessageBoxTextId);
  PrintHex("text", text != nullptr ? WindowText(text) : std::wstring());
  std::printf("owned-by-host %d\n", GetWindow(box, GW_OWNER) == ownerWindow ? 1 : 0);
  HWND ok = GetDlgItem(box, IDOK);
  std::printf("ok-button %d cancel-button %d\n", ok != nullptr ? 1 : 0,
              GetDlgItem(box, IDCANCEL) != nullptr ? 1 : 0);
  std::fflush(stdout);
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: about_probe PLUGIN.8bf\n");
    return 1;
  }
  HMODULE plugin = LoadLibraryA(argv[1]);
  if (plugin == nullptr) {
    std::printf("error cannot load %s (%lu)\n", argv[1], GetLastError());
    return 1;
  }
  auto entry =
      reinterpret_cast<EntryProc>(reinterpret_cast<void*>(GetProcAddress(plugin, "ENTRYPOINT")));
  if (entry == nullptr) {
    std::printf("error no ENTRYPOINT\n");
    return 1;
  }
  // A hidden window stands in for the host's main window.
  ownerWindow = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
  PlatformData platform{reinterpret_cast<intptr_t>(ownerWindow)};
  AboutRecord about{};
  about.platformData = &platform;

  HANDLE reader = CreateThread(nullptr, 0, ReadAndClose, nullptr, 0, nullptr);
  intptr_t data = 0;
  int16 result = 0x5A5A; // About must not write here
  entry(kSelectorAbout, &about, &data, &result);
  WaitForSingleObject(reader, kWaitMilliseconds);
  std::printf("data %lld result %d\n", static_cast<long long>(data), result);
  DestroyWindow(ownerWindow);
  return 0;
}
