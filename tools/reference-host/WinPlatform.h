// The Windows side of a job: the host window handed to the plug-in, drawing for
// displayPixels, the system colour dialog and the dialog automation.
#pragma once

#include <windows.h>

#include <memory>

#include "DialogAutomation.h"
#include "FilterHost.h"

class WinPlatform : public HostPlatform {
public:
  WinPlatform(const HostOptions& options, std::vector<DialogStep> steps,
              std::vector<DialogStep> againSteps, std::function<PluginEntryProc()> reload);
  ~WinPlatform() override;

  intptr_t Window() override { return reinterpret_cast<intptr_t>(window_); }
  OSErr DisplayPixels(const PSPixelMap* map, const VRect* srcRect, int32 dstRow, int32 dstCol,
                      void* context) override;
  bool PickColor(int rgb[3]) override;
  bool Attended() override { return attended_; }
  void BeginCall(int16 selector) override;
  void EndCall(int16 selector) override;
  void Invoke(const std::function<void()>& call, bool workerThread) override;
  PluginEntryProc ReloadPlugin() override { return reload_(); }
  bool DialogOpen() override;
  double Seconds() override;
  bool ProgressVisible() override;

  const DialogAutomation& Automation() const { return *automation_; }

private:
  HWND window_ = nullptr;
  bool attended_ = true;
  std::unique_ptr<DialogAutomation> automation_;
  std::function<PluginEntryProc()> reload_;
};

// True when the wrapper runs the host on a display that no person watches.
bool UnattendedDisplay();
