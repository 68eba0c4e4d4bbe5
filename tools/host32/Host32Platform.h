// The platform side of a job in the emulated 32-bit host: no window and nobody to
// answer dialogs; displayPixels is traced but not drawn.
#pragma once

#include <functional>

#include "FilterHost.h"

class Host32Platform : public HostPlatform {
public:
  explicit Host32Platform(std::function<PluginEntryProc()> reload) : reload_(std::move(reload)) {}
  intptr_t Window() override { return kHostWindow; }
  OSErr DisplayPixels(const PSPixelMap* map, const VRect* srcRect, int32 dstRow, int32 dstCol,
                      void* context) override;
  bool PickColor(int[3]) override { return false; }
  bool Attended() override { return false; }
  void BeginCall(int16) override {}
  void EndCall(int16) override {}
  double Seconds() override;
  bool ProgressVisible() override;
  PluginEntryProc ReloadPlugin() override { return reload_(); }

  // The handle given to the plug-in as the host's window; no window function is served.
  static constexpr intptr_t kHostWindow = 0x00010010;

private:
  std::function<PluginEntryProc()> reload_;
};
