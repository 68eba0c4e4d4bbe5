#include "FilterHost.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "HandleSuite.h"
#include "HostMain.h"
#include "Pipl.h"
#include "StateFile.h"
#include "Trace.h"

namespace {

// The job whose record the plug-in is holding: host callbacks carry no context.
FilterHost* activeHost = nullptr;

constexpr OSType kHostSignature = FourCC("tHst");
constexpr int16 filterCaseFlatImageNoSelection = 1;
constexpr int16 filterCaseEditableTransparencyNoSelection = 4;
constexpr char hostSupportsFractionalSampling = 2;
constexpr int16 plugIncolorServicesBackgroundColor = 0;
constexpr int16 plugIncolorServicesForegroundColor = 1;
constexpr OSErr errPlugInHostInsufficient = -30900;
// What a data slot held in another process. A handle of this host is the address
// of a master pointer, so a value that is no multiple of a pointer's alignment
// names none of them, wherever this process's heap lies.
constexpr intptr_t kEarlierProcessSlot = 0x00CB5092;
static_assert(kEarlierProcessSlot % alignof(char*) != 0, "the value could be a live handle");

// A copy of a handle's bytes, as a host that keeps plug-in data between runs
// takes it. False when the handle is not one of this host's.
bool CopyHandleBytes(Handle handle, std::vector<char>& bytes) {
  HandleSuite& suite = HandleSuite::Instance();
  if (handle == nullptr || !suite.IsLive(handle)) return false;
  const int32 size = suite.Size(handle);
  bytes.assign(std::size_t(size), 0);
  if (size > 0 && *handle != nullptr) std::memcpy(bytes.data(), *handle, std::size_t(size));
  return true;
}

Handle NewHandleWithBytes(const std::vector<char>& bytes) {
  Handle handle = HandleSuite::Instance().New(int32(bytes.size()), HandleSuite::Owner::Host);
  if (handle != nullptr && !bytes.empty() && *handle != nullptr) {
    std::memcpy(*handle, bytes.data(), bytes.size());
  }
  return handle;
}

Fixed ToFixed(double value) {
  return Fixed(value * 65536.0 + 0.5);
}

std::string PascalText(const unsigned char* text) {
  if (text == nullptr) return {};
  std::string out;
  for (int i = 1; i <= text[0]; ++i) {
    unsigned char c = text[i];
    if (c >= 0x20 && c < 0x7F)
      out += char(c);
    else {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
      out += buffer;
    }
  }
  return out;
}

} // namespace

FilterHost::FilterHost(const HostOptions& options, HostImage& image, HostPlatform& platform)
    : options_(options), profile_(*options.profile), image_(image), platform_(platform) {}

FilterHost::~FilterHost() {
  if (activeHost == this) activeHost = nullptr;
}

void FilterHost::SetUpRecord() {
  // The 6.0-era record that most hosts allocate, zero-filled, ending at a guard
  // page: a plug-in that reads a later field faults instead of reading garbage.
  recordMemory_ = GuardedBlock(profile_.currentRecord ? sizeof(FilterRecord) : kFilterRecordSize60);
  record_ = reinterpret_cast<FilterRecord*>(recordMemory_.data());
  FilterRecord& r = *record_;
  r.abortProc = AbortProc;
  r.progressProc = ProgressProc;
  r.parameters = parameters_;
  r.imageSize.v = int16(image_.height);
  r.imageSize.h = int16(image_.width);
  r.planes = int16(image_.planes);
  r.filterRect = filterRect_;
  r.background = RGBColor{0xFFFF, 0xFFFF, 0xFFFF};
  r.foreground = RGBColor{0, 0, 0};
  if (options_.hasFore) {
    r.foreground = RGBColor{uint16(options_.fore[0] * 257), uint16(options_.fore[1] * 257),
                            uint16(options_.fore[2] * 257)};
    for (int c = 0; c < 3; ++c)
      r.foreColor[c] = uint8_t(options_.fore[c]);
  }
  r.maxSpace = options_.maxSpace;
  r.backColor[0] = r.backColor[1] = r.backColor[2] = 255;
  r.hostSig = kHostSignature;
  r.imageMode = plugInModeRGBColor;
  r.imageHRes = r.imageVRes = 72 << 16;
  r.wholeSize = r.imageSize;
  // An sRGB monitor: gamma 2.2, Rec. 709 primaries, D65 white.
  r.monitor =
      PlugInMonitor{ToFixed(2.2),  ToFixed(0.64), ToFixed(0.33),   ToFixed(0.30),   ToFixed(0.60),
                    ToFixed(0.15), ToFixed(0.06), ToFixed(0.3127), ToFixed(0.3290), ToFixed(0.25)};
  platformData_.hwnd = profile_.noWindow ? 0 : platform_.Window();
  r.platformData = &platformData_;
  r.processEvent = ProcessEventProc;
  r.displayPixels = options_.displayPixels ? DisplayPixelsProc : nullptr;
  r.handleProcs = options_.handleProcs ? HandleSuite::Procs() : nullptr;
  bool transparency = image_.planes == 4;
  r.filterCase =
      transparency ? filterCaseEditableTransparencyNoSelection : filterCaseFlatImageNoSelection;
  r.dummyPlaneValue = -1;
  r.advanceState = options_.advanceState ? AdvanceStateProc : nullptr;
  r.supportsPadding = 1;
  r.inputPadding = r.outputPadding = r.maskPadding = plugInWantsEdgeReplication;
  r.samplingSupport = hostSupportsFractionalSampling;
  r.inputRate = r.maskRate = 65536;
  r.colorServices = options_.colorServices ? ColorServicesProc : nullptr;
  int16 layerPlanes = transparency ? 3 : 0;
  r.inLayerPlanes = r.outLayerPlanes = r.absLayerPlanes = layerPlanes;
  r.inTransparencyMask = r.outTransparencyMask = r.absTransparencyMask = transparency ? 1 : 0;
  int16 nonLayer = transparency ? 0 : 3;
  r.inNonLayerPlanes = r.outNonLayerPlanes = r.absNonLayerPlanes = nonLayer;
  if (options_.descriptors) r.descriptorParameters = &descriptorParameters_;
  r.errorString = &errorString_;
  r.depth = 8;
  ApplyProfile(profile_, r, image_.planes, options_.maxSpace);
  if (profile_.currentRecord) FillCurrentFields(r, bigDocument_, options_.maxSpace);
  ApplyHostility(options_.hostile, r);
}

int16 FilterHost::Call(int16 selector) {
  int16 result = noErr;
  HostTrace().Line("call %s", SelectorName(selector));
  HostTrace().Flush();
  platform_.Invoke(
      [&] {
        platform_.BeginCall(selector);
        SetHostileSelector(selector);
        entry_(selector, record_, &dataSlot_, &result);
        platform_.EndCall(selector);
      },
      profile_.workerThread);
  if (lastProgress_ >= 0) {
    std::fputc('\n', stderr); // a bar the plug-in left short of 100%
    lastProgress_ = -1;
  }
  HostTrace().Line("result %s %s", SelectorName(selector), ResultText(result).c_str());
  if (record_->errorString != nullptr && errorString_[0] != 0) {
    HostTrace().Line("errorString \"%s\"", PascalText(errorString_).c_str());
    errorString_[0] = 0;
  }
  return result;
}

void FilterHost::CallAbout() {
  GuardedBlock about(sizeof(AboutRecord));
  auto* record = reinterpret_cast<AboutRecord*>(about.data());
  platformData_.hwnd = profile_.noWindow ? 0 : platform_.Window();
  record->platformData = &platformData_;
  intptr_t slotBefore = dataSlot_;
  int16 result = 0x5A5A; // About never reports; a plug-in that writes here shows it
  HostTrace().Line("call About");
  HostTrace().Flush();
  platform_.Invoke(
      [&] {
        platform_.BeginCall(filterSelectorAbout);
        entry_(filterSelectorAbout, record, &dataSlot_, &result);
        platform_.EndCall(filterSelectorAbout);
      },
      profile_.workerThread);
  HostTrace().Line("result About %s%s", result == 0x5A5A ? "untouched" : ResultText(result).c_str(),
                   dataSlot_ == slotBefore ? "" : " dataSlotChanged");
}

void FilterHost::TakeDescriptor() {
  Handle handle = descriptorParameters_.descriptor;
  descriptorParameters_.descriptor = nullptr;
  if (handle == nullptr) {
    HostTrace().Line("descriptor none recorded");
    return;
  }
  std::string error;
  Descriptor recorded;
  if (!ReadDescriptorHandle(handle, recorded, error)) {
    HostTrace().Line("descriptor unreadable: %s", error.c_str());
    return;
  }
  HandleSuite::Instance().Dispose(handle);
  descriptor_ = recorded;
  haveDescriptor_ = true;
  HostTrace().Line("descriptor recorded items=%zu recordInfo=%d", descriptor_.items.size(),
                   descriptorParameters_.recordInfo);
}

void FilterHost::SetUpDescriptor(bool repeat) {
  if (!options_.descriptors || record_->descriptorParameters == nullptr) return;
  descriptorParameters_ = PIDescriptorParameters{};
  descriptorParameters_.descriptorParametersVersion = kCurrentDescriptorParametersVersion;
  descriptorParameters_.playInfo =
      options_.playGiven ? options_.playInfo : ProfilePlayInfo(profile_, repeat, options_.playInfo);
  if (profile_.descriptorProcsNull) {
    // The suites' place is there, but nothing in it: no procedures, no descriptor.
    descriptorParameters_.recordInfo = plugInDialogOptional;
    return;
  }
  descriptorParameters_.recordInfo = plugInDialogOptional;
  descriptorParameters_.readDescriptorProcs = DescriptorReadProcs();
  descriptorParameters_.writeDescriptorProcs = DescriptorWriteProcs();
  // Without handle services the plug-in disposes of handles its own way, so a
  // descriptor of this host's handles cannot be handed to it.
  if (haveDescriptor_ && record_->handleProcs != nullptr) {
    descriptorParameters_.descriptor = NewDescriptorHandle(descriptor_);
  }
}

int16 FilterHost::CallParameters(bool repeat) {
  FilterRecord& r = *record_;
  const Point size = r.imageSize, whole = r.wholeSize;
  const int16 planes = r.planes, mode = r.imageMode;
  const Rect filterRect = r.filterRect;
  if (profile_.emptyRecordAtParameters) {
    // This host asks for parameters before it has looked at the image.
    r.imageSize = r.wholeSize = Point{0, 0};
    r.planes = 0;
    r.imageMode = plugInModeBitmap;
    r.filterRect = Rect{0, 0, 0, 0};
  }
  const int16 result = Call(filterSelectorParameters);
  if (profile_.emptyRecordAtParameters) {
    r.imageSize = size;
    r.wholeSize = whole;
    r.planes = planes;
    r.imageMode = mode;
    r.filterRect = filterRect;
  }
  if (profile_.repeat == RepeatKeeps::SavedAtParameters && !repeat) {
    // Kept right after Parameters, not after the run: the parameters' bytes and
    // the data slot's raw value, in a 32-bit variable.
    haveKeptParameters_ = CopyHandleBytes(r.parameters, keptParameters_);
    keptSlotValue_ = intptr_t(uint32_t(dataSlot_));
    // The repeat hands this value back after the block is gone; its address must
    // not meanwhile become a new handle, or the stale value would name a live one.
    HandleSuite::Instance().KeepAddressAfterDispose(reinterpret_cast<Handle>(dataSlot_));
    HostTrace().Line("kept after Parameters: parameters=%s slot=0x%08x",
                     haveKeptParameters_ ? "bytes" : "none", unsigned(uint32_t(dataSlot_)));
  }
  return result;
}

void FilterHost::RestoreForRepeat() {
  HandleSuite& suite = HandleSuite::Instance();
  switch (profile_.repeat) {
  case RepeatKeeps::Handles:
    return;
  case RepeatKeeps::ByteCopies:
    // New handles at new addresses, holding the old bytes.
    parameters_ = haveKeptParameters_ ? NewHandleWithBytes(keptParameters_) : nullptr;
    dataSlot_ =
        haveKeptSlotBlock_ ? reinterpret_cast<intptr_t>(NewHandleWithBytes(keptSlotBlock_)) : 0;
    break;
  case RepeatKeeps::SavedAtParameters:
    parameters_ = haveKeptParameters_ ? NewHandleWithBytes(keptParameters_) : nullptr;
    // Whatever the slot held in the process that saved it: not a handle of this one.
    dataSlot_ = keptSlotValue_;
    break;
  case RepeatKeeps::Nothing:
    parameters_ = nullptr;
    dataSlot_ = 0;
    break;
  }
  for (Handle handle : {parameters_, reinterpret_cast<Handle>(dataSlot_)}) {
    if (handle != nullptr && suite.IsLive(handle)) restored_.push_back(handle);
  }
  HostTrace().Line(
      "repeat restores parameters=%s slot=%s", parameters_ == nullptr ? "null" : "copy",
      dataSlot_ == 0
          ? "empty"
          : (suite.IsLive(reinterpret_cast<Handle>(dataSlot_)) ? "copy" : "stale value"));
}

void FilterHost::EndRun() {
  HandleSuite& suite = HandleSuite::Instance();
  Handle slot = reinterpret_cast<Handle>(dataSlot_);
  if (profile_.repeat == RepeatKeeps::Handles) return;
  if (profile_.repeat == RepeatKeeps::ByteCopies) {
    haveKeptParameters_ = CopyHandleBytes(parameters_, keptParameters_);
    haveKeptSlotBlock_ = CopyHandleBytes(slot, keptSlotBlock_);
  }
  // The host lets go of what the plug-in handed it: it frees it, or, where its
  // disposal does nothing, simply forgets it.
  std::vector<Handle> handed = restored_;
  handed.push_back(parameters_);
  handed.push_back(slot);
  restored_.clear();
  for (Handle handle : handed) {
    if (handle == nullptr || !suite.IsLive(handle)) continue;
    if (profile_.handles.sizeUnknown)
      suite.MarkHostOwned(handle);
    else
      suite.Dispose(handle);
  }
  parameters_ = nullptr;
  dataSlot_ = 0;
}

int16 FilterHost::RunOnce(int run) {
  const bool repeat = run > 0;
  if (repeat) {
    RestoreForRepeat();
  } else if (profile_.repeat == RepeatKeeps::SavedAtParameters && !options_.parameters) {
    // A run without Parameters repeats one of an earlier process, whose data slot
    // value this host kept: a heap address of that process, no handle of this one.
    // The parameters it kept (here: the loaded state) come back on every repeat.
    haveKeptParameters_ = CopyHandleBytes(parameters_, keptParameters_);
    keptSlotValue_ = kEarlierProcessSlot;
    dataSlot_ = keptSlotValue_;
    HostTrace().Line("repeat of an earlier process: slot=0x%08x", unsigned(dataSlot_));
  }
  SetUpRecord();
  HostTrace().Line("run %d profile=%s image=%dx%d planes=%d filterRect=%s maxSpace=%d", run + 1,
                   profile_.name.c_str(), image_.width, image_.height, record_->planes,
                   RectText(filterRect_).c_str(), record_->maxSpace);
  SetUpDescriptor(repeat);
  BufferServer server(image_, filterRect_, profile_);
  server_ = &server;
  int16 result = noErr;
  int16 finish = noErr;
  bool started = false;
  if (options_.parameters && (!repeat || profile_.parametersOnRepeat)) {
    result = CallParameters(repeat);
  }
  parameters_ = record_->parameters;
  if (result == noErr) {
    result = Call(filterSelectorPrepare);
    HostTrace().Line("prepared maxSpace=%d bufferSpace=%d", record_->maxSpace,
                     record_->bufferSpace);
  }
  if (result == noErr) {
    result = Call(filterSelectorStart);
    // The dialog narrows filterRect for its preview and must give it back.
    HostTrace().Line("  filterRect after Start=%s", RectText(record_->filterRect).c_str());
    server.Flush();
    started = result == noErr;
  }
  if (started) {
    // Continue until the rectangles say that nothing remains; a plug-in that never
    // says so is stopped loudly rather than looped forever.
    int limit = 4 * (image_.height + image_.width) + 16;
    int continues = 0;
    while (result == noErr && ProfileLoopContinues(profile_, *record_)) {
      if (++continues > limit) {
        HostTrace().Line("stopped: %d Continue calls and the rectangles are still not empty",
                         limit);
        stuck_ = true;
        result = filterBadParameters;
        break;
      }
      result = server.Serve(*record_, "serve");
      if (result != noErr) {
        HostTrace().Line("  serve -> %s", ResultText(result).c_str());
        break;
      }
      result = Call(filterSelectorContinue);
      server.Flush();
    }
    const bool finishNow =
        result == noErr ? profile_.finishAfterSuccess : profile_.finishAfterContinueError;
    if (finishNow) {
      finish = Call(filterSelectorFinish);
      TakeDescriptor();
    } else {
      HostTrace().Line("no Finish (%s)", result == noErr ? "after success" : "after an error");
    }
    if (profile_.flushAfterFinish) server.Flush();
  }
  parameters_ = record_->parameters;
  strips_ += server.Strips();
  server.Release(*record_);
  server_ = nullptr;
  if (descriptorParameters_.descriptor != nullptr) {
    // A descriptor the run never consumed goes back to the host.
    HandleSuite::Instance().Dispose(descriptorParameters_.descriptor);
    descriptorParameters_.descriptor = nullptr;
  }
  return result != noErr ? result : finish;
}

JobOutcome FilterHost::Run(PluginEntryProc entry) {
  JobOutcome outcome;
  showProgress_ = !options_.quiet && platform_.ProgressVisible();
  entry_ = entry;
  activeHost = this;
  double start = platform_.Seconds();
  filterRect_ = ProfileFilterRect(
      profile_,
      options_.hasRect ? options_.rect : Rect{0, 0, int16(image_.height), int16(image_.width)});
  std::string error;
  if (!options_.descriptorIn.empty()) {
    if (!LoadDescriptorFile(options_.descriptorIn, descriptor_, error)) {
      outcome.hostFailure = true;
      outcome.message = error;
      return outcome;
    }
    haveDescriptor_ = true;
  }
  HandleSuite::Instance().SetGuarded(options_.hostile.guardedHandles);
  if (!LoadState(error)) {
    outcome.hostFailure = true;
    outcome.message = error;
    return outcome;
  }
  if (options_.about) {
    SetUpRecord();
    CallAbout();
  }
  HandleSuite::Instance().SetQuirks(profile_.handles);
  for (int run = 0; run < options_.runs; ++run) {
    outcome.result = RunOnce(run);
    outcome.runsDone = run + 1;
    const bool last = outcome.result != noErr || run + 1 == options_.runs;
    if (!last) EndRun();
    NoteRunEnd(options_.hostile, run, options_.runs, HandleSuite::Instance().LiveCount());
    if (last) break;
    if (profile_.reloadEachRun) {
      entry_ = platform_.ReloadPlugin();
      HostTrace().Line("library reloaded%s", entry_ == nullptr ? ": failed" : "");
      if (entry_ == nullptr) {
        outcome.hostFailure = true;
        outcome.message = "the plug-in could not be loaded again";
        break;
      }
    }
  }
  if (stuck_) {
    outcome.hostFailure = true;
    outcome.message = "the plug-in never emptied its rectangles; stopped after " +
                      std::to_string(4 * (image_.height + image_.width) + 16) + " Continue calls";
  }
  if (!options_.descriptorOut.empty() && haveDescriptor_ &&
      !SaveDescriptorFile(options_.descriptorOut, descriptor_, error)) {
    outcome.hostFailure = true;
    outcome.message = error;
  }
  if (!SaveState(error)) {
    outcome.hostFailure = true;
    outcome.message = error;
  }
  outcome.seconds = platform_.Seconds() - start;
  outcome.strips = strips_;
  outcome.advanceStateCalls = advanceCalls_;
  HandleSuite& handles = HandleSuite::Instance();
  outcome.liveHandles = handles.LiveCount();
  // The data slot and the parameters are the host's to keep; so is anything the
  // host handed over for a repeat.
  std::vector<Handle> kept = restored_;
  kept.push_back(reinterpret_cast<Handle>(dataSlot_));
  kept.push_back(parameters_);
  auto leaked = handles.PluginHandlesExcept(kept);
  outcome.leakedHandles = leaked.size();
  HostTrace().Line("end handles=%zu leaked=%zu badDisposes=%d openDescriptors=%d",
                   outcome.liveHandles, outcome.leakedHandles, handles.BadDisposes(),
                   OpenDescriptorTokens());
  activeHost = nullptr;
  return outcome;
}

bool FilterHost::LoadState(std::string& error) {
  if (options_.state.empty()) return true;
  std::ifstream file(options_.state, std::ios::binary);
  if (!file) return true; // the first run creates it
  if (!options_.handleProcs) {
    error = "--state needs the handle suite (the parameters are a host handle)";
    return false;
  }
  std::stringstream content;
  content << file.rdbuf();
  std::vector<uint8_t> bytes;
  if (file.bad() || !ParseStateFile(content.str(), bytes, error)) {
    error = options_.state + " " + (file.bad() ? "cannot be read" : error);
    return false;
  }
  Handle handle = HandleSuite::Instance().New(int32(bytes.size()), HandleSuite::Owner::Plugin);
  if (handle == nullptr) {
    error = "no memory for the parameters of " + options_.state;
    return false;
  }
  if (!bytes.empty()) std::memcpy(*handle, bytes.data(), bytes.size());
  parameters_ = handle;
  HostTrace().Line("state loaded %zu bytes from %s", bytes.size(), options_.state.c_str());
  return true;
}

bool FilterHost::SaveState(std::string& error) {
  if (options_.state.empty() || parameters_ == nullptr) return true;
  if (!options_.handleProcs || !HandleSuite::Instance().IsLive(parameters_)) {
    // A plug-in that does not use this host's suite keeps its record in memory of its
    // own, whose size the host cannot know: nothing is saved, and the run stands.
    HostTrace().Line("parameters are not a handle of this host: --state not saved");
    std::fprintf(stderr, "%s: the parameters are not a handle of this host; --state not saved\n",
                 HostProgramName());
    return true;
  }
  std::ofstream file(options_.state, std::ios::binary);
  file << StateFileText(reinterpret_cast<const uint8_t*>(*parameters_),
                        std::size_t(HandleSuite::Instance().Size(parameters_)));
  if (!file) {
    error = "cannot write " + options_.state;
    return false;
  }
  return true;
}

Boolean FilterHost::AbortProc() {
  FilterHost* host = activeHost;
  if (host == nullptr) return 0;
  int call = ++host->abortCalls_;
  if (host->options_.abortOutsideDialog > 0 && !host->platform_.DialogOpen()) {
    ++host->abortOutsideCalls_;
  }
  bool abort = (host->options_.abortAfter > 0 && call >= host->options_.abortAfter) ||
               (host->options_.abortOutsideDialog > 0 &&
                host->abortOutsideCalls_ >= host->options_.abortOutsideDialog) ||
               HostileAbort(host->options_.hostile);
  HostTrace().Counted("abortProc", call, abort ? "1" : "0");
  return abort ? 1 : 0;
}

void FilterHost::ProgressProc(int32 done, int32 total) {
  FilterHost* host = activeHost;
  HostTrace().Line("progress %d/%d", done, total);
  if (host == nullptr || !host->showProgress_ || total <= 0) return;
  int percent = int(int64_t(done) * 100 / total);
  if (percent == host->lastProgress_) return;
  host->lastProgress_ = percent;
  int filled = percent / 4 > 25 ? 25 : (percent < 0 ? 0 : percent / 4);
  std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "#########################", 25 - filled, "",
               percent);
  if (done >= total) {
    std::fputc('\n', stderr);
    host->lastProgress_ = -1;
  }
  std::fflush(stderr);
}

OSErr FilterHost::AdvanceStateProc() {
  FilterHost* host = activeHost;
  if (host == nullptr || host->server_ == nullptr) return paramErr;
  ++host->advanceCalls_;
  if (host->advanceCalls_ == host->options_.failAdvanceStateAt) {
    HostTrace().Line("advanceState #%d -> %s (--fail-advance-state)", host->advanceCalls_,
                     ResultText(memFullErr).c_str());
    return memFullErr;
  }
  if (HostileAdvanceFails(host->options_.hostile, host->advanceCalls_)) {
    HostTrace().Line("advanceState #%d -> %s (hostile)", host->advanceCalls_,
                     ResultText(host->options_.hostile.failAdvanceCode).c_str());
    return host->options_.hostile.failAdvanceCode;
  }
  OSErr result = host->server_->Serve(*host->record_, "advanceState");
  HostTrace().Line("  advanceState -> %s", ResultText(result).c_str());
  return result;
}

OSErr FilterHost::DisplayPixelsProc(const PSPixelMap* map, const VRect* srcRect, int32 dstRow,
                                    int32 dstCol, void* context) {
  FilterHost* host = activeHost;
  if (host == nullptr || map == nullptr || srcRect == nullptr) {
    HostTrace().Line("displayPixels -> paramErr (null map or rectangle)");
    return paramErr;
  }
  return host->platform_.DisplayPixels(map, srcRect, dstRow, dstCol, context);
}

OSErr FilterHost::ColorServicesProc(ColorServicesInfo* info) {
  FilterHost* host = activeHost;
  if (host == nullptr || info == nullptr) return paramErr;
  if (host->profile_.colourServicesInsufficient) {
    HostTrace().Line("colorServices selector %d -> %d (host insufficient)", info->selector,
                     errPlugInHostInsufficient);
    return errPlugInHostInsufficient;
  }
  if (info->infoSize < int32(sizeof(ColorServicesInfo))) {
    HostTrace().Line("colorServices infoSize=%d -> paramErr", info->infoSize);
    return paramErr;
  }
  switch (info->selector) {
  case plugIncolorServicesChooseColor: {
    std::string prompt = PascalText(
        info->selectorParameter.pickerPrompt ? *info->selectorParameter.pickerPrompt : nullptr);
    int rgb[3] = {info->colorComponents[0], info->colorComponents[1], info->colorComponents[2]};
    int source[3] = {rgb[0], rgb[1], rgb[2]};
    OSErr result = noErr;
    const char* how = "pick";
    if (host->options_.hasPick) {
      for (int c = 0; c < 3; ++c)
        rgb[c] = host->options_.pick[c];
    } else if (host->platform_.Attended()) {
      how = "dialog";
      if (!host->platform_.PickColor(rgb)) result = userCanceledErr;
    } else {
      // Nobody can answer the colour dialog: it counts as cancelled.
      how = "unattended";
      result = userCanceledErr;
    }
    if (result == noErr) {
      info->resultSpace = plugIncolorServicesRGBSpace;
      for (int c = 0; c < 3; ++c)
        info->colorComponents[c] = int16(rgb[c]);
      info->colorComponents[3] = 0;
    }
    HostTrace().Line("colorServices choose prompt=\"%s\" source=%d,%d,%d by=%s -> %d,%d,%d %s",
                     prompt.c_str(), source[0], source[1], source[2], how, rgb[0], rgb[1], rgb[2],
                     ResultText(result).c_str());
    return result;
  }
  case plugIncolorServicesConvertColor: {
    bool rgbOnly = info->sourceSpace == plugIncolorServicesRGBSpace &&
                   (info->resultSpace == plugIncolorServicesRGBSpace ||
                    info->resultSpace == plugIncolorServicesChosenSpace);
    HostTrace().Line("colorServices convert %d->%d -> %s", info->sourceSpace, info->resultSpace,
                     rgbOnly ? "0" : "paramErr");
    if (!rgbOnly) return paramErr;
    info->resultSpace = plugIncolorServicesRGBSpace;
    return noErr;
  }
  case plugIncolorServicesGetSpecialColor: {
    int32 which = info->selectorParameter.specialColorID;
    if (which != plugIncolorServicesBackgroundColor &&
        which != plugIncolorServicesForegroundColor) {
      HostTrace().Line("colorServices special %d -> paramErr", which);
      return paramErr;
    }
    int16 value = which == plugIncolorServicesBackgroundColor ? 255 : 0;
    info->resultSpace = plugIncolorServicesRGBSpace;
    for (int c = 0; c < 3; ++c)
      info->colorComponents[c] = value;
    HostTrace().Line("colorServices special %d -> %d", which, value);
    return noErr;
  }
  default:
    HostTrace().Line("colorServices selector %d -> paramErr", info->selector);
    return paramErr;
  }
}

void FilterHost::ProcessEventProc(void*) {}
