// Host profiles: what each one puts in the record, how its buffers and handles
// differ from the strict host's, and how its Continue loop ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "BufferServer.h"
#include "HandleSuite.h"
#include "HostProfile.h"

namespace {

const HostProfile& Profile(const char* name) {
  const HostProfile* profile = FindProfile(name);
  EXPECT_NE(profile, nullptr) << name;
  return profile != nullptr ? *profile : StrictProfile();
}

// A record as the strict host fills it, before the profile applies.
struct Record {
  std::vector<uint8_t> storage = std::vector<uint8_t>(sizeof(FilterRecord), 0);
  FilterRecord& r = *reinterpret_cast<FilterRecord*>(storage.data());
  Str255 errorString{};
  PIDescriptorParameters descriptor{};
  explicit Record(int planes) {
    r.planes = int16(planes);
    r.hostSig = FourCC("tHst");
    r.filterCase = planes == 4 ? 4 : 1;
    r.inputPadding = r.outputPadding = r.maskPadding = plugInWantsEdgeReplication;
    r.samplingSupport = 2;
    r.inputRate = r.maskRate = 65536;
    r.supportsPadding = 1;
    r.foreColor[0] = 10;
    r.foreColor[1] = 20;
    r.foreColor[2] = 30;
    r.backColor[0] = r.backColor[1] = r.backColor[2] = 255;
    r.errorString = &errorString;
    r.descriptorParameters = &descriptor;
  }
};

HostImage Gradient(int width, int height, int planes) {
  HostImage image;
  image.width = width;
  image.height = height;
  image.planes = planes;
  image.pixels.resize(std::size_t(width * height * planes));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = image.At(y, x);
      p[0] = uint8_t(10 * y + x);
      p[1] = uint8_t(100 + x);
      p[2] = uint8_t(200 + y);
      if (planes == 4) p[3] = x == 0 ? 0 : 255; // the first column wholly transparent
    }
  }
  return image;
}

void Ask(FilterRecord& r, Rect rect, int lo, int hi, int16 padding) {
  r.inRect = r.outRect = r.maskRect = rect;
  r.inLoPlane = r.outLoPlane = int16(lo);
  r.inHiPlane = r.outHiPlane = int16(hi);
  r.inputRate = r.maskRate = 65536;
  r.inputPadding = r.outputPadding = r.maskPadding = padding;
}

} // namespace

TEST(HostProfile, EveryNamedProfileIsFoundAndStrictIsTheDefault) {
  const std::vector<std::string> names = ProfileNames();
  for (const char* name :
       {"strict", "pdn", "pspi", "pspihost", "irfanview", "photoplus", "modern", "modern-reload"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
  }
  EXPECT_EQ(FindProfile("photoshop"), nullptr);
  const HostProfile* reload = FindProfile("modern-reload");
  ASSERT_NE(reload, nullptr);
  EXPECT_TRUE(reload->reloadEachRun);
  EXPECT_EQ(reload->repeat, RepeatKeeps::Handles);
  EXPECT_EQ(reload->hostSig, FindProfile("modern")->hostSig);
  EXPECT_EQ(&StrictProfile(), FindProfile("strict"));
  {
    Record rec(3);
    ApplyProfile(StrictProfile(), rec.r, 3, 1 << 20);
    const Record untouched(3);
    EXPECT_EQ(rec.r.hostSig, FourCC("tHst"));
    EXPECT_EQ(rec.r.maxSpace, 1 << 20);
    EXPECT_EQ(rec.r.inputPadding, plugInWantsEdgeReplication);
    EXPECT_EQ(rec.r.samplingSupport, 2);
    EXPECT_EQ(rec.r.foreground.red, 0) << "the strict host's colours are the caller's";
    EXPECT_NE(rec.r.errorString, nullptr);
    EXPECT_NE(rec.r.descriptorParameters, nullptr);
  }
}

TEST(HostProfile, RecordFieldsFollowTheHostPlayed) {
  Record pdn(3);
  ApplyProfile(Profile("pdn"), pdn.r, 3, 1 << 20);
  EXPECT_EQ(pdn.r.hostSig, 0x4E44502Eu);
  EXPECT_EQ(pdn.r.inputPadding, plugInWantsErrorOnBoundsException);
  EXPECT_EQ(pdn.r.samplingSupport, 1);

  Record pspi(3);
  ApplyProfile(Profile("pspi"), pspi.r, 3, 1 << 20);
  EXPECT_EQ(pspi.r.hostSig, FourCC("PMIG"));
  EXPECT_EQ(pspi.r.inputRate, 0);
  EXPECT_EQ(pspi.r.samplingSupport, 0);
  EXPECT_EQ(pspi.r.supportsPadding, 0);
  EXPECT_EQ(pspi.r.errorString, nullptr);
  EXPECT_EQ(pspi.r.descriptorParameters, nullptr);

  Record pspihost(3);
  ApplyProfile(Profile("pspihost"), pspihost.r, 3, 1 << 20);
  EXPECT_EQ(pspihost.r.foreground.red, 10) << "0..255 in the 16-bit fields";
  EXPECT_EQ(pspihost.r.foreground.blue, 30);
  EXPECT_EQ(pspihost.r.background.green, 255);
  EXPECT_EQ(pspihost.r.foreColor[3], 0xFF);

  for (const char* name : {"irfanview", "photoplus"}) {
    Record kb(3);
    ApplyProfile(Profile(name), kb.r, 3, 64 * 1024 * 1024);
    EXPECT_EQ(kb.r.maxSpace, 64 * 1024) << name << " counts kilobytes";
  }
  Record photoplus(3);
  ApplyProfile(Profile("photoplus"), photoplus.r, 3, 1 << 20);
  EXPECT_EQ(photoplus.r.hostSig, kPhotoshopSignature)
      << "a host that is not the vendor's says 8BIM";

  Record modern(3);
  ApplyProfile(Profile("modern"), modern.r, 3, 3'000'000);
  modern.r.imageSize = Point{37, 61};
  modern.r.filterRect = Rect{1, 2, 30, 40};
  BigDocumentStruct big{};
  FillCurrentFields(modern.r, big, 3'000'000);
  const BigDocumentStruct* data = modern.r.bigDocumentData;
  ASSERT_EQ(data, &big);
  EXPECT_EQ(big.imageSize32.h, 61);
  EXPECT_EQ(big.filterRect32.bottom, 30);
  EXPECT_EQ(modern.r.maxSpace64, 3'000'000);
  EXPECT_EQ(modern.r.bufferSpace64, 3'000'000);
  EXPECT_NE(modern.r.plugInRef, nullptr);
}

TEST(HostProfile, TransparencyReachesThePlugInAsEachHostShowsIt) {
  Record strict(4), pspi(4), pdn(4), pdnFlat(3);
  ApplyProfile(StrictProfile(), strict.r, 4, 0);
  ApplyProfile(Profile("pspi"), pspi.r, 4, 0);
  ApplyProfile(Profile("pdn"), pdn.r, 4, 0);
  ApplyProfile(Profile("pdn"), pdnFlat.r, 3, 0);
  EXPECT_EQ(strict.r.planes, 4);
  EXPECT_EQ(strict.r.filterCase, 4);
  EXPECT_EQ(pspi.r.planes, 4);
  EXPECT_EQ(pspi.r.filterCase, 0);
  EXPECT_EQ(pdn.r.planes, 3) << "a floating selection of the colour planes";
  EXPECT_EQ(pdn.r.filterCase, 3);
  EXPECT_EQ(pdn.r.haveMask, 1);
  EXPECT_EQ(pdn.r.isFloating, 1);
  EXPECT_EQ(pdnFlat.r.haveMask, 0) << "no mask without transparency";
}

TEST(HostProfile, RatesRectanglesAndTheEndOfTheLoop) {
  const HostProfile& pdn = Profile("pdn");
  EXPECT_EQ(ProfileServedRate(pdn, 0), 65536) << "0 counts as 1";
  EXPECT_EQ(ProfileServedRate(pdn, 3 * 65536 + 20000), 3 * 65536) << "rounded to a whole rate";
  EXPECT_EQ(ProfileServedRate(pdn, 20000), 65536);
  EXPECT_EQ(ProfileServedRate(Profile("pspi"), 4 * 65536), 65536) << "the rate is ignored";
  EXPECT_EQ(ProfileServedRate(StrictProfile(), 98304), 98304);

  const Rect shortRect = ProfileFilterRect(Profile("pspihost"), Rect{0, 0, 37, 61});
  EXPECT_EQ(shortRect.bottom, 36);
  EXPECT_EQ(shortRect.right, 60);
  const Rect empty = ProfileFilterRect(Profile("pspihost"), Rect{5, 5, 5, 5});
  EXPECT_EQ(empty.bottom, 5) << "an empty rectangle stays empty, never inverted";

  // Empty rectangles whose right edge is not 0 end the strict host's loop but
  // not the library's that tests only the right edges.
  Record rec(3);
  Ask(rec.r, Rect{10, 61, 10, 61}, 0, 2, 0);
  EXPECT_FALSE(ProfileLoopContinues(StrictProfile(), rec.r));
  EXPECT_TRUE(ProfileLoopContinues(Profile("pspihost"), rec.r));
  rec.r.inRect = rec.r.outRect = rec.r.maskRect = Rect{0, 0, 0, 0};
  EXPECT_FALSE(ProfileLoopContinues(Profile("pspihost"), rec.r));
  rec.r.maskRect = Rect{0, 0, 5, 5};
  EXPECT_FALSE(ProfileLoopContinues(Profile("pspihost"), rec.r)) << "no mask: maskRect ignored";
  EXPECT_TRUE(ProfileLoopContinues(StrictProfile(), rec.r));
}

TEST(HostProfile, BuffersOfTheLibraryThatClipsInPlaceAndIgnoresLoPlane) {
  HostImage image = Gradient(6, 4, 3);
  BufferServer server(image, Rect{0, 0, 4, 6}, Profile("pspihost"));
  Record rec(3);
  Ask(rec.r, Rect{2, 1, 9, 9}, 1, 2, 0);
  ASSERT_EQ(server.Serve(rec.r, "serve"), noErr);
  EXPECT_EQ(rec.r.inRect.bottom, 4) << "clipped to the image in the plug-in's record";
  EXPECT_EQ(rec.r.inRect.right, 6);
  EXPECT_EQ(rec.r.outRect.right, 6);
  EXPECT_EQ(rec.r.inColumnBytes, 0);
  const auto* in = static_cast<const uint8_t*>(rec.r.inData);
  EXPECT_EQ(in[0], 10 * 2 + 1) << "planes 1-2 asked for, planes 0-1 served";
  EXPECT_EQ(in[1], 100 + 1);
  // The output goes back into the planes the host served, not the ones asked for.
  static_cast<uint8_t*>(rec.r.outData)[0] = 7;
  server.Flush();
  EXPECT_EQ(image.At(2, 1)[0], 7);
  EXPECT_EQ(image.At(2, 1)[2], 200 + 2);
}

TEST(HostProfile, GimpBridgeLeavesGarbageOutsideAndMovesEveryBuffer) {
  HostImage image = Gradient(4, 3, 3);
  BufferServer server(image, Rect{0, 0, 3, 4}, Profile("pspi"));
  Record rec(3);
  Ask(rec.r, Rect{0, 0, 5, 4}, 0, 2, 255);
  ASSERT_EQ(server.Serve(rec.r, "serve"), noErr);
  const void* first = rec.r.inData;
  const auto* in = static_cast<const uint8_t*>(rec.r.inData);
  bool padded = true;
  for (int x = 0; x < 4; ++x)
    padded = padded && in[4 * rec.r.inRowBytes + 3 * x] == 255;
  EXPECT_FALSE(padded) << "no padding: the asked-for 255 is not what lies outside";
  EXPECT_EQ(in[0], 0);
  ASSERT_EQ(server.Serve(rec.r, "serve"), noErr);
  EXPECT_NE(rec.r.inData, first) << "a new buffer at every request";
}

TEST(HostProfile, PaintNetBridgeErrsOnBoundsAndMasksTheFloatingSelection) {
  HostImage image = Gradient(4, 3, 4);
  const HostImage before = image;
  BufferServer server(image, Rect{0, 0, 3, 4}, Profile("pdn"));
  Record rec(3);
  rec.r.haveMask = 1;
  Ask(rec.r, Rect{-1, 0, 3, 4}, 0, 2, plugInWantsErrorOnBoundsException);
  EXPECT_EQ(server.Serve(rec.r, "serve"), paramErr) << "out of bounds, padding left at its default";
  Ask(rec.r, Rect{-1, 0, 3, 4}, 0, 2, 255);
  EXPECT_EQ(server.Serve(rec.r, "serve"), noErr) << "padded above the image";
  Ask(rec.r, Rect{2, 0, 4, 4}, 0, 2, 255);
  EXPECT_EQ(server.Serve(rec.r, "serve"), paramErr)
      << "a strip that starts inside and overhangs the bottom gets no padding";
  Ask(rec.r, Rect{0, 0, 3, 4}, 0, 2, plugInWantsErrorOnBoundsException);
  ASSERT_EQ(server.Serve(rec.r, "serve"), noErr);
  const auto* mask = static_cast<const uint8_t*>(rec.r.maskData);
  ASSERT_NE(mask, nullptr);
  EXPECT_EQ(mask[0], 0) << "transparent column";
  EXPECT_EQ(mask[1], 255);
  auto* out = static_cast<uint8_t*>(rec.r.outData);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4 * 3; ++x)
      out[y * rec.r.outRowBytes + x] = 1;
  server.Flush();
  EXPECT_EQ(image.At(1, 0)[0], before.At(1, 0)[0]) << "outside the selection: unchanged";
  EXPECT_EQ(image.At(1, 1)[0], 1);
  EXPECT_EQ(image.At(1, 1)[3], 255) << "the transparency plane is not the plug-in's";
}

TEST(HostProfile, HandleSuitesThatForgetSizesAndIgnoreDisposal) {
  HandleSuite& suite = HandleSuite::Instance();
  suite.Reset();
  HandleProcs* procs = HandleSuite::Procs();
  HandleQuirks quirks;
  quirks.sizeUnknown = true;
  quirks.zeroSizeLocksNull = true;
  suite.SetQuirks(quirks);
  Handle handle = procs->newProc(40);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(procs->getSizeProc(handle), 0);
  EXPECT_EQ(procs->setSizeProc(handle, 80), noErr);
  EXPECT_EQ(suite.Size(handle), 40) << "set-size did nothing";
  procs->disposeProc(handle);
  EXPECT_TRUE(suite.IsLive(handle)) << "dispose did nothing";
  EXPECT_TRUE(suite.PluginHandlesExcept({}).empty()) << "given back: no longer the plug-in's";
  Handle empty = procs->newProc(0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(procs->lockProc(empty, 0), nullptr);
  EXPECT_EQ(*empty, nullptr);
  suite.Reset();
  Handle normal = procs->newProc(0);
  EXPECT_NE(procs->lockProc(normal, 0), nullptr) << "Reset brings back the strict suite";
  EXPECT_EQ(procs->getSizeProc(normal), 0);
  suite.Reset();
}
