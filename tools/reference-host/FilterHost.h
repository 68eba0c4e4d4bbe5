// One job of the reference host: fills a FilterRecord for the image, runs the
// plug-in's selector sequence (About, Parameters, Prepare, Start, Continue...,
// Finish) for the requested number of runs, and serves every callback.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "BufferServer.h"
#include "Descriptor.h"
#include "GuardedMemory.h"
#include "HostImage.h"
#include "Options.h"
#include "sdk/FilterRecord.h"

// What the operating system side provides to a job.
class HostPlatform {
public:
  virtual ~HostPlatform() = default;
  virtual intptr_t Window() = 0;
  virtual OSErr DisplayPixels(const PSPixelMap* map, const VRect* srcRect, int32 dstRow,
                              int32 dstCol, void* context) = 0;
  // The system colour dialog; false when the user cancelled it.
  virtual bool PickColor(int rgb[3]) = 0;
  // Whether a person may answer dialogs (false under automation or no display).
  virtual bool Attended() = 0;
  // Around every call of the plug-in: dialog automation watches for windows.
  virtual void BeginCall(int16 selector) = 0;
  virtual void EndCall(int16 selector) = 0;
  // Runs one call of the plug-in: on this thread, or on a worker thread while
  // this one (which owns the host window) keeps pumping messages. A platform
  // without windows has no message loop to keep: it calls on its own thread.
  virtual void Invoke(const std::function<void()>& call, bool /*workerThread*/) { call(); }
  // Unloads the plug-in's library and loads it again (profiles whose host does
  // so between runs); null when that failed or the platform cannot.
  virtual PluginEntryProc ReloadPlugin() { return nullptr; }
  // Whether a dialog of the plug-in is open now.
  virtual bool DialogOpen() { return false; }
  virtual double Seconds() = 0;
  // Whether a progress bar on stderr reaches a terminal.
  virtual bool ProgressVisible() = 0;
};

struct JobOutcome {
  int16 result = noErr;
  bool hostFailure = false; // the host could not carry the job out
  std::string message;
  int strips = 0;
  int advanceStateCalls = 0;
  std::size_t liveHandles = 0;
  std::size_t leakedHandles = 0;
  int runsDone = 0;
  double seconds = 0;
};

class FilterHost {
public:
  FilterHost(const HostOptions& options, HostImage& image, HostPlatform& platform);
  ~FilterHost();
  JobOutcome Run(PluginEntryProc entry);

private:
  int16 Call(int16 selector);
  void CallAbout();
  void SetUpRecord();
  int16 RunOnce(int run);
  int16 CallParameters(bool repeat);
  void SetUpDescriptor(bool repeat);
  void RestoreForRepeat();
  void EndRun();
  void TakeDescriptor();
  bool LoadState(std::string& error);
  bool SaveState(std::string& error);

  static Boolean AbortProc();
  static void ProgressProc(int32 done, int32 total);
  static OSErr AdvanceStateProc();
  static OSErr DisplayPixelsProc(const PSPixelMap* map, const VRect* srcRect, int32 dstRow,
                                 int32 dstCol, void* context);
  static OSErr ColorServicesProc(ColorServicesInfo* info);
  static void ProcessEventProc(void* event);

  const HostOptions& options_;
  const HostProfile& profile_;
  HostImage& image_;
  HostPlatform& platform_;
  PluginEntryProc entry_ = nullptr;
  GuardedBlock recordMemory_;
  FilterRecord* record_ = nullptr;
  PlatformData platformData_{};
  PIDescriptorParameters descriptorParameters_{};
  BigDocumentStruct bigDocument_{};
  // What the host keeps between runs where the profile copies rather than keeps:
  // the bytes of the parameters and the data-slot block, and the slot's raw value.
  std::vector<char> keptParameters_, keptSlotBlock_;
  bool haveKeptParameters_ = false, haveKeptSlotBlock_ = false;
  intptr_t keptSlotValue_ = 0;
  std::vector<Handle> restored_; // handles the host made for a repeat
  int abortOutsideCalls_ = 0;
  Str255 errorString_{};
  intptr_t dataSlot_ = 0;
  Handle parameters_ = nullptr;
  Rect filterRect_{};
  BufferServer* server_ = nullptr;
  Descriptor descriptor_;
  bool haveDescriptor_ = false;
  int abortCalls_ = 0;
  int advanceCalls_ = 0;
  int strips_ = 0;
  int lastProgress_ = -1;
  bool stuck_ = false;
  bool showProgress_ = false;
};
