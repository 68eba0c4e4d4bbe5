#include <windows.h>

#include "plugin/Entry.h"

void ShowAbout(const AboutRecord* about, void* instance, int textId) {
  char text[256] = {};
  char caption[60] = {};
  auto module = static_cast<HINSTANCE>(instance);
  // A missing string leaves its buffer empty.
  LoadStringA(module, static_cast<UINT>(textId), text, 255);
  LoadStringA(module, static_cast<UINT>(textId + 1), caption, 60);

  HWND owner = nullptr;
  if (about != nullptr && about->platformData != nullptr) {
    owner = reinterpret_cast<HWND>(static_cast<const PlatformData*>(about->platformData)->hwnd);
  }
  MessageBoxA(owner, text, caption, MB_OK | MB_ICONINFORMATION);
}
