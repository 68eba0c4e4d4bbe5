// Scripting parameters against a simulated descriptor host: which suites are
// usable, what the read stores and reports, what the write records, and who owns
// the descriptor handle afterwards.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ScriptDescriptorHost.h"
#include "SimulatedHost.h"
#include "fakes/FakePlatform.h"
#include "host/HostVersionNative.h"
#include "plugin/TintParameters.h"
#include "scripting/ScriptParameters.h"

namespace {

constexpr DescriptorKeyID kAmnt = FourCC("Amnt");
constexpr DescriptorKeyID kDisP = FourCC("disP");
constexpr DescriptorKeyID kEntI = FourCC("entI");
constexpr DescriptorUnitID kPercent = FourCC("#Prc");
constexpr DescriptorTypeID kMooD = FourCC("mooD");

class ScriptTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetHostIdentification();
    host.result = noErr;
    globals.result = &host.result;
    globals.filterRecord = &host.record;
    CreateDefaultParameters(&globals);
    ASSERT_NE(Params(), nullptr);
  }
  TintParameters* Params() { return GetParameters(&host.record); }
  int16 Read(std::vector<DescriptorItem> items) {
    descriptors.parameters.descriptor = descriptors.NewDescriptor(std::move(items));
    return ReadScriptParameters(&globals);
  }

  SimulatedHost host;
  DescriptorHost descriptors{host};
  PluginGlobals globals{};
};

TEST_F(ScriptTest, SuitesAvailableOnlyWithKnownVersionsCountsAndEveryReadProc) {
  PIDescriptorParameters& d = descriptors.parameters;
  EXPECT_TRUE(DescriptorSuitesAvailable(&d));
  EXPECT_FALSE(DescriptorSuitesAvailable(nullptr));

  auto expectWith = [&](bool available, auto change) {
    PIDescriptorParameters saved = d;
    ReadDescriptorProcs savedRead = descriptors.readProcs;
    WriteDescriptorProcs savedWrite = descriptors.writeProcs;
    change();
    EXPECT_EQ(DescriptorSuitesAvailable(&d), available);
    d = saved;
    descriptors.readProcs = savedRead;
    descriptors.writeProcs = savedWrite;
  };
  expectWith(false, [&] { d.descriptorParametersVersion = 1; });
  expectWith(false, [&] { d.readDescriptorProcs = nullptr; });
  expectWith(false, [&] { d.writeDescriptorProcs = nullptr; });
  expectWith(false, [&] { descriptors.readProcs.readDescriptorProcsVersion = 1; });
  expectWith(false, [&] { descriptors.readProcs.numReadDescriptorProcs = 17; });
  expectWith(true, [&] { descriptors.readProcs.numReadDescriptorProcs = -1; }); // 65535
  expectWith(false, [&] { descriptors.writeProcs.writeDescriptorProcsVersion = 1; });
  expectWith(false, [&] { descriptors.writeProcs.numWriteDescriptorProcs = 15; });
  // Every one of the eighteen read procedures, also those never called.
  for (int i = 0; i < 18; ++i) {
    expectWith(false, [&] {
      auto* procs = reinterpret_cast<void**>(reinterpret_cast<char*>(&descriptors.readProcs) +
                                             offsetof(ReadDescriptorProcs, openReadDescriptorProc));
      procs[i] = nullptr;
    });
  }
  // The write suite's procedures are not tested one by one.
  expectWith(true, [&] { descriptors.writeProcs.putIntegerProc = nullptr; });
}

TEST_F(ScriptTest, UnusableSuitesGetNeitherReadNorWrite) {
  for (int variant = 0; variant < 2; ++variant) {
    if (variant == 0)
      descriptors.readProcs.numReadDescriptorProcs = 17;
    else
      descriptors.readProcs.readDescriptorProcsVersion = 1;
    Handle old = descriptors.NewDescriptor({UnitFloatItem(kAmnt, kPercent, 50.0)});
    descriptors.parameters.descriptor = old;
    descriptors.parameters.playInfo = plugInDialogDisplay;
    Params()->showDialog = 0;
    EXPECT_EQ(ReadScriptParameters(&globals), noErr);
    EXPECT_EQ(WriteScriptParameters(&globals), noErr);
    EXPECT_EQ(Params()->offsetH, 0);
    EXPECT_EQ(Params()->showDialog, 0);
    EXPECT_EQ(descriptors.parameters.descriptor, old);
    EXPECT_EQ(descriptors.parameters.recordInfo, plugInDialogNone);
    EXPECT_EQ(descriptors.openReads + descriptors.openWrites, 0);
    descriptors.readProcs.numReadDescriptorProcs = 18;
    descriptors.readProcs.readDescriptorProcsVersion = 0;
  }
  EXPECT_EQ(host.result, noErr);
}

TEST_F(ScriptTest, AmountIsPinnedThenTruncated) {
  const std::pair<double, int16> cases[] = {{150.0, 99}, {0.0, 1},    {42.9, 42},
                                            {-3.0, 1},   {99.99, 99}, {1.0, 1}};
  for (const auto& [value, stored] : cases) {
    EXPECT_EQ(Read({UnitFloatItem(kAmnt, kPercent, value)}), errAEParamMissed);
    EXPECT_EQ(Params()->offsetH, stored) << value;
  }
  ASSERT_FALSE(descriptors.pinRanges.empty());
  EXPECT_EQ(descriptors.pinRanges.back(), std::make_pair(1.0, 99.0));
  EXPECT_EQ(descriptors.expectedKeys, (std::vector<DescriptorKeyID>{kAmnt, kDisP}));
  EXPECT_EQ(host.result, noErr); // the missing 'disP' is tolerated
}

TEST_F(ScriptTest, AmountFromAHostThatDoesNotPinStaysInTheFieldsRange) {
  descriptors.pinValues = false;
  const std::pair<double, int16> cases[] = {
      {1e12, 32767}, {-1e12, -32768}, {std::numeric_limits<double>::quiet_NaN(), 0}, {-7.9, -7}};
  for (const auto& [value, stored] : cases) {
    Read({UnitFloatItem(kAmnt, kPercent, value)});
    EXPECT_EQ(Params()->offsetH, stored) << value;
  }
  // A getter that leaves the value alone: the read's previous value (0.0) is stored.
  descriptors.pinValues = true;
  descriptors.leaveFloats = true;
  Params()->offsetH = 55;
  Read({UnitFloatItem(kAmnt, kPercent, 42.0)});
  EXPECT_EQ(Params()->offsetH, 0);
}

TEST_F(ScriptTest, ReadsModeAndFlagSkipsOtherKeysAndLetsDuplicatesOverwrite) {
  EXPECT_EQ(Read({BooleanItem(kEntI, 1), EnumItem(kDisP, kMooD, FourCC("moD3")),
                  UnitFloatItem(FourCC("Othr"), kPercent, 7.0),
                  UnitFloatItem(kAmnt, kPercent, 20.0), UnitFloatItem(kAmnt, kPercent, 30.0)}),
            noErr);
  EXPECT_EQ(Params()->mode, FourCC("moD3"));
  EXPECT_EQ(Params()->modeFlag, 1);
  EXPECT_EQ(Params()->offsetH, 30);
  EXPECT_EQ(descriptors.getterCalls, 4); // the unknown key's value is not read
  EXPECT_EQ(host.result, noErr);
}

TEST_F(ScriptTest, MissingKeysAreToleratedAndValuesKept) {
  Params()->offsetH = 12;
  Params()->mode = FourCC("moD2");
  EXPECT_EQ(Read({}), errAEParamMissed);
  EXPECT_EQ(host.result, noErr);
  EXPECT_EQ(Params()->offsetH, 12);
  EXPECT_EQ(Params()->mode, FourCC("moD2"));
}

TEST_F(ScriptTest, OtherStickyErrorReachesTheResultAfterValuesWereRead) {
  descriptors.stickyError = paramErr;
  EXPECT_EQ(Read({UnitFloatItem(kAmnt, kPercent, 25.0), EnumItem(kDisP, kMooD, FourCC("moD0"))}),
            paramErr);
  EXPECT_EQ(host.result, paramErr);
  EXPECT_EQ(Params()->offsetH, 25);
  EXPECT_EQ(Params()->mode, FourCC("moD0"));
}

TEST_F(ScriptTest, ReadFailureEndsStartBeforeAnyDialogOnBothPaths) {
  // On the preview path the dialog's first preview would replace the code with the
  // host's answer; both paths must report the read's failure and filter nothing.
  int advanceCalls = 0;
  host.UseAdvanceState([&] {
    advanceCalls++;
    return noErr;
  });
  host.record.filterRect = Rect{0, 0, 3, 3};
  for (bool preview : {false, true}) {
    host.record.displayPixels = nullptr;
    if (preview) {
      host.record.displayPixels = [](const PSPixelMap*, const VRect*, int32, int32, void*) {
        return OSErr(noErr);
      };
    }
    fakePlatform.Reset();
    dialogRequested = true;
    descriptors.stickyError = paramErr;
    descriptors.parameters.playInfo = plugInDialogDisplay;
    descriptors.parameters.descriptor =
        descriptors.NewDescriptor({UnitFloatItem(kAmnt, kPercent, 25.0)});
    host.record.inRect = Rect{};
    EXPECT_EQ(host.Call(filterSelectorStart), paramErr) << preview;
    EXPECT_EQ(fakePlatform.dialogCalls, 0) << preview;
    EXPECT_EQ(advanceCalls, 0) << preview;
    EXPECT_EQ(host.record.inRect.bottom, 0) << "no strip is asked for";
  }
  dialogRequested = false;
}

TEST_F(ScriptTest, ReadDisposesTheDescriptor) {
  const int live = host.liveHandles;
  Read({UnitFloatItem(kAmnt, kPercent, 25.0)});
  EXPECT_EQ(descriptors.parameters.descriptor, nullptr);
  EXPECT_EQ(host.liveHandles, live);
  EXPECT_EQ(descriptors.disposed.size(), 1u);
  EXPECT_TRUE(descriptors.descriptors.empty());
  EXPECT_EQ(descriptors.closeReads, 1);
}

TEST_F(ScriptTest, ReadGivesTheDescriptorBackToASuiteThatFailsTheUsabilityRule) {
  // A newer suite version, or one without setSizeProc, still releases its own
  // handles; without that every replayed run would leak one descriptor.
  for (int variant = 0; variant < 2; ++variant) {
    host.procs.handleProcsVersion = variant == 0 ? 2 : 1;
    const SetPIHandleSizeProc setSize = host.procs.setSizeProc;
    if (variant == 1) host.procs.setSizeProc = nullptr;
    const int live = host.liveHandles;
    Read({UnitFloatItem(kAmnt, kPercent, 25.0)});
    EXPECT_EQ(descriptors.parameters.descriptor, nullptr) << variant;
    EXPECT_EQ(host.liveHandles, live) << variant;
    host.procs.handleProcsVersion = 1;
    host.procs.setSizeProc = setSize;
  }
}

TEST_F(ScriptTest, ShowDialogFollowsPlayInfoAlsoWithoutAReader) {
  const std::pair<int16, Boolean> cases[] = {
      {plugInDialogDontDisplay, 0}, {plugInDialogDisplay, 1}, {plugInDialogSilent, 0}};
  for (bool readerOpens : {true, false}) {
    descriptors.openReadFails = !readerOpens;
    for (const auto& [playInfo, show] : cases) {
      descriptors.parameters.playInfo = playInfo;
      Params()->showDialog = Boolean(1 - show);
      Read({UnitFloatItem(kAmnt, kPercent, 5.0), EnumItem(kDisP, kMooD, FourCC("moD1"))});
      EXPECT_EQ(Params()->showDialog, show) << playInfo << " " << readerOpens;
    }
  }
  // Without a reader nothing was read and the descriptor is left to the host.
  EXPECT_NE(descriptors.parameters.descriptor, nullptr);
  EXPECT_EQ(host.result, noErr);
}

TEST_F(ScriptTest, WriteRecordsAmountAndModeAndFlagOnlyWhenSet) {
  Params()->offsetH = -3;
  Params()->mode = FourCC("moD2");
  Params()->modeFlag = 0;
  EXPECT_EQ(WriteScriptParameters(&globals), noErr);
  const auto* items = descriptors.Contents(descriptors.parameters.descriptor);
  ASSERT_NE(items, nullptr);
  ASSERT_EQ(items->size(), 2u);
  EXPECT_EQ((*items)[0].key, kAmnt);
  EXPECT_EQ((*items)[0].unit, kPercent);
  EXPECT_EQ((*items)[0].number, -3.0);
  EXPECT_EQ((*items)[1].key, kDisP);
  EXPECT_EQ((*items)[1].enumType, kMooD);
  EXPECT_EQ((*items)[1].enumValue, FourCC("moD2"));
  EXPECT_EQ(descriptors.parameters.recordInfo, plugInDialogOptional);

  Params()->modeFlag = 7;
  WriteScriptParameters(&globals);
  items = descriptors.Contents(descriptors.parameters.descriptor);
  ASSERT_NE(items, nullptr);
  ASSERT_EQ(items->size(), 3u);
  EXPECT_EQ((*items)[2].key, kEntI);
  EXPECT_EQ((*items)[2].flag, 7);
  EXPECT_EQ(host.result, noErr);
}

TEST_F(ScriptTest, WriteDisposesTheOldDescriptor) {
  Handle old = descriptors.NewDescriptor({});
  descriptors.parameters.descriptor = old;
  const int live = host.liveHandles;
  WriteScriptParameters(&globals);
  // Disposed through the handle suite before the writer was closed.
  EXPECT_EQ(descriptors.disposed, std::vector<Handle>{old});
  EXPECT_EQ(descriptors.closeWritesAtLastDispose, 0);
  EXPECT_NE(descriptors.parameters.descriptor, nullptr);
  EXPECT_EQ(host.liveHandles, live); // one disposed, one recorded

  // A host that gives nothing back leaves no descriptor.
  descriptors.closeWriteGivesNothing = true;
  WriteScriptParameters(&globals);
  EXPECT_EQ(descriptors.parameters.descriptor, nullptr);
  EXPECT_EQ(host.liveHandles, live - 1);

  // A writer that cannot be opened changes nothing.
  descriptors.openWriteFails = true;
  descriptors.parameters.recordInfo = plugInDialogNone;
  Handle kept = descriptors.NewDescriptor({});
  descriptors.parameters.descriptor = kept;
  WriteScriptParameters(&globals);
  EXPECT_EQ(descriptors.parameters.descriptor, kept);
  EXPECT_EQ(descriptors.parameters.recordInfo, plugInDialogNone);
}

TEST_F(ScriptTest, FinishRecordsAndTheNextStartReplays) {
  Params()->offsetH = 0;
  Params()->mode = FourCC("moD3");
  Params()->modeFlag = 1;
  EXPECT_EQ(host.Call(filterSelectorFinish), noErr);
  ASSERT_NE(descriptors.parameters.descriptor, nullptr);

  Params()->mode = FourCC("moD1");
  Params()->modeFlag = 0;
  descriptors.parameters.playInfo = plugInDialogDontDisplay;
  EXPECT_EQ(ReadScriptParameters(&globals), noErr);
  EXPECT_EQ(Params()->offsetH, 1); // 0.0 read back through the pin
  EXPECT_EQ(Params()->mode, FourCC("moD3"));
  EXPECT_EQ(Params()->modeFlag, 1);
  EXPECT_EQ(Params()->showDialog, 0);
}

TEST_F(ScriptTest, NoRecordMeansNothingToReadOrWrite) {
  Handle parameters = host.record.parameters;
  host.record.parameters = nullptr;
  descriptors.parameters.descriptor = descriptors.NewDescriptor({});
  EXPECT_EQ(ReadScriptParameters(&globals), noErr);
  EXPECT_EQ(WriteScriptParameters(&globals), noErr);
  EXPECT_EQ(descriptors.openReads + descriptors.openWrites, 0);
  host.record.parameters = parameters;
}

} // namespace
