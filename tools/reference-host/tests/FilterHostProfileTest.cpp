// The selector sequence and the state a profile hands to a plug-in from one run to
// the next, seen by a stand-in plug-in that records every call.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "FilterHost.h"
#include "HandleSuite.h"
#include "HostImage.h"

namespace {

class QuietPlatform : public HostPlatform {
public:
  intptr_t Window() override { return 0x1234; }
  OSErr DisplayPixels(const PSPixelMap*, const VRect*, int32, int32, void*) override {
    return noErr;
  }
  bool PickColor(int[3]) override { return false; }
  bool Attended() override { return false; }
  void BeginCall(int16) override {}
  void EndCall(int16) override {}
  PluginEntryProc ReloadPlugin() override;
  double Seconds() override { return 0; }
  bool ProgressVisible() override { return false; }
  int reloads = 0;
};

struct Call {
  int16 selector;
  intptr_t slot;
  Handle parameters;
  std::vector<char> parameterBytes;
  bool slotLive;
  intptr_t hwnd;
};
std::vector<Call> calls;
int runsStarted = 0;

std::vector<char> Bytes(Handle handle) {
  HandleSuite& suite = HandleSuite::Instance();
  if (handle == nullptr || !suite.IsLive(handle)) return {};
  return std::vector<char>(*handle, *handle + suite.Size(handle));
}

// Keeps a 4-byte block in the slot and a 4-byte record in parameters, as a real
// plug-in keeps its globals and settings: the record says which run wrote it and
// whether Start (the dialog) has changed it since.
void RecordingEntry(int16 selector, void* block, intptr_t* data, int16* result) {
  auto* r = static_cast<FilterRecord*>(block);
  HandleSuite& suite = HandleSuite::Instance();
  const auto* platform = static_cast<const PlatformData*>(r->platformData);
  calls.push_back(Call{selector, *data, r->parameters, Bytes(r->parameters),
                       suite.IsLive(reinterpret_cast<Handle>(*data)), platform->hwnd});
  *result = noErr;
  if (!suite.IsLive(reinterpret_cast<Handle>(*data))) {
    Handle globals = r->handleProcs->newProc(4);
    std::memcpy(*globals, "GLOB", 4);
    *data = reinterpret_cast<intptr_t>(globals);
  }
  if (r->parameters == nullptr) {
    r->parameters = r->handleProcs->newProc(4);
    std::memcpy(*r->parameters, "new ", 4);
  }
  if (selector == filterSelectorParameters) {
    (*r->parameters)[0] = char('0' + ++runsStarted);
  }
  if (selector == filterSelectorStart) {
    (*r->parameters)[3] = 'S'; // what the dialog chose
    r->inRect = r->outRect = r->maskRect = Rect{0, 0, 0, 0};
  }
}

PluginEntryProc QuietPlatform::ReloadPlugin() {
  ++reloads;
  return RecordingEntry;
}

std::vector<Call> Of(int16 selector) {
  std::vector<Call> found;
  for (const Call& call : calls)
    if (call.selector == selector) found.push_back(call);
  return found;
}

struct Job {
  HostOptions options;
  HostImage image = MakeSampleImage(8, 4, 3);
  QuietPlatform platform;
  JobOutcome outcome;
  Job(const char* profile, int runs, bool parameters = true) {
    calls.clear();
    runsStarted = 0;
    HandleSuite::Instance().Reset();
    options.profile = FindProfile(profile);
    options.runs = runs;
    options.parameters = parameters;
    options.quiet = true;
    FilterHost host(options, image, platform);
    outcome = host.Run(RecordingEntry);
  }
  ~Job() { HandleSuite::Instance().Reset(); }
};

std::vector<char> Text(const char* text) {
  return std::vector<char>(text, text + std::strlen(text));
}

} // namespace

TEST(FilterHostProfile, StrictKeepsTheVeryHandlesAndTheLibrary) {
  Job job("strict", 2);
  ASSERT_EQ(job.outcome.result, noErr);
  EXPECT_EQ(job.platform.reloads, 0);
  const auto parameters = Of(filterSelectorParameters);
  ASSERT_EQ(parameters.size(), 2u);
  EXPECT_EQ(parameters[1].slot, Of(filterSelectorFinish)[0].slot);
  EXPECT_EQ(parameters[1].parameters, Of(filterSelectorFinish)[0].parameters);
  EXPECT_EQ(parameters[1].parameterBytes, Text("1ewS")) << "the record as the first run left it";
  EXPECT_EQ(job.outcome.leakedHandles, 0u);
}

TEST(FilterHostProfile, PaintNetRepeatsWithByteCopiesInNewHandles) {
  Job job("pdn", 2);
  ASSERT_EQ(job.outcome.result, noErr);
  EXPECT_EQ(job.platform.reloads, 1);
  ASSERT_EQ(Of(filterSelectorParameters).size(), 1u) << "no Parameters on the repeat";
  const auto prepares = Of(filterSelectorPrepare);
  ASSERT_EQ(prepares.size(), 2u);
  const Call first = Of(filterSelectorFinish)[0];
  const Call& repeat = prepares[1];
  EXPECT_NE(repeat.parameters, first.parameters);
  EXPECT_EQ(repeat.parameterBytes, Text("1ewS"));
  EXPECT_NE(repeat.slot, first.slot);
  EXPECT_TRUE(repeat.slotLive) << "a live handle of the host holding the old block's bytes";
  EXPECT_EQ(Bytes(reinterpret_cast<Handle>(repeat.slot)), Text("GLOB"));
  EXPECT_EQ(job.outcome.leakedHandles, 0u);
}

TEST(FilterHostProfile, GimpRepeatsTheRecordAsParametersLeftItAndAStaleSlot) {
  Job job("pspi", 2);
  ASSERT_EQ(job.outcome.result, noErr);
  EXPECT_TRUE(Of(filterSelectorFinish).empty()) << "no Finish after a successful run";
  const auto prepares = Of(filterSelectorPrepare);
  ASSERT_EQ(prepares.size(), 2u);
  const Call parameters = Of(filterSelectorParameters).at(0);
  EXPECT_EQ(parameters.hwnd, 0);
  EXPECT_EQ(prepares[1].parameterBytes, Text("1ew ")) << "kept before Start changed it";
  EXPECT_EQ(uint32_t(prepares[1].slot), uint32_t(prepares[0].slot));
  EXPECT_FALSE(prepares[1].slotLive) << "a value from an earlier process, not a handle";

  Job again("pspi", 1, false);
  ASSERT_EQ(again.outcome.result, noErr);
  EXPECT_NE(Of(filterSelectorPrepare).at(0).slot, 0);
  EXPECT_FALSE(Of(filterSelectorPrepare).at(0).slotLive);
}

TEST(FilterHostProfile, PhotoDemonsLibraryStartsEveryRunFromNothing) {
  Job job("pspihost", 2);
  ASSERT_EQ(job.outcome.result, noErr);
  const auto parameters = Of(filterSelectorParameters);
  ASSERT_EQ(parameters.size(), 2u) << "Parameters every run";
  EXPECT_EQ(parameters[1].slot, 0);
  EXPECT_EQ(parameters[1].parameters, nullptr);
  EXPECT_EQ(job.outcome.leakedHandles, 0u) << "what the host forgets is not the plug-in's leak";
  EXPECT_EQ(job.platform.reloads, 0);
}
