#include "HostProfile.h"

#include <algorithm>

#include "Trace.h"

namespace {

constexpr int16 filterCaseFloatingSelection = 3;
constexpr int16 filterCaseUnset = 0;
constexpr int32 kKilobyte = 1024;

std::vector<HostProfile> MakeProfiles() {
  std::vector<HostProfile> all;

  HostProfile strict;
  strict.name = "strict";
  all.push_back(strict);

  // Paint.NET's filter bridge.
  HostProfile pdn;
  pdn.name = "pdn";
  pdn.hostSig = FourCC("NDP.");
  pdn.defaultPadding = plugInWantsErrorOnBoundsException;
  pdn.overhangFails = true;
  pdn.samplingSupport = 1;
  pdn.workerThread = true;
  pdn.firstPlayInfo = plugInDialogDisplay;
  pdn.repeatPlayInfo = plugInDialogDontDisplay;
  pdn.parametersOnRepeat = false;
  pdn.repeat = RepeatKeeps::ByteCopies;
  pdn.reloadEachRun = true;
  pdn.rgba = RgbaAs::FloatingMask;
  all.push_back(pdn);

  // GIMP's bridge: a static record that is mostly left zero.
  HostProfile pspi;
  pspi.name = "pspi";
  pspi.hostSig = FourCC("PMIG"); // the bytes "GIMP" read as a little-endian word
  pspi.supportsPadding = 0;
  pspi.defaultPadding = 0;
  pspi.samplingSupport = 0;
  pspi.defaultRate = 0;
  pspi.rateIgnored = true;
  pspi.zeroColumnBytes = true;
  pspi.freshBuffers = true;
  pspi.noWindow = true;
  pspi.noDescriptorSuites = true;
  pspi.noErrorString = true;
  pspi.emptyRecordAtParameters = true;
  pspi.colourServicesInsufficient = true;
  pspi.handles.zeroSizeLocksNull = true;
  pspi.finishAfterSuccess = false;
  pspi.parametersOnRepeat = false;
  pspi.repeat = RepeatKeeps::SavedAtParameters;
  pspi.reloadEachRun = true;
  pspi.rgba = RgbaAs::Planes4Case0;
  all.push_back(pspi);

  // The open host library that PhotoDemon embeds.
  HostProfile pspihost;
  pspihost.name = "pspihost";
  pspihost.hostSig = FourCC("OHps"); // the bytes "spHO"
  pspihost.supportsPadding = 0;
  pspihost.defaultPadding = 0;
  pspihost.samplingSupport = 1;
  pspihost.zeroColumnBytes = true;
  pspihost.clipRectsInPlace = true;
  pspihost.ignoreLoPlane = true;
  pspihost.coloursAsBytes = true;
  pspihost.filterRectShort = true;
  pspihost.descriptorProcsNull = true;
  pspihost.firstPlayInfo = plugInDialogDontDisplay;
  pspihost.repeatPlayInfo = plugInDialogDontDisplay;
  pspihost.handles.zeroSizeLocksNull = true;
  pspihost.handles.sizeUnknown = true;
  pspihost.loopUntilRightZero = true;
  pspihost.finishAfterContinueError = false;
  pspihost.flushAfterFinish = true;
  pspihost.parametersOnRepeat = true;
  pspihost.repeat = RepeatKeeps::Nothing;
  all.push_back(pspihost);

  HostProfile irfanview;
  irfanview.name = "irfanview";
  irfanview.hostSig = FourCC("UP20");
  irfanview.maxSpaceInKilobytes = true;
  irfanview.parametersOnRepeat = true;
  irfanview.repeat = RepeatKeeps::Nothing;
  irfanview.reloadEachRun = true;
  all.push_back(irfanview);

  // Serif PhotoPlus: claims to be the vendor's editor.
  HostProfile photoplus;
  photoplus.name = "photoplus";
  photoplus.hostSig = kPhotoshopSignature;
  photoplus.maxSpaceInKilobytes = true;
  photoplus.parametersOnRepeat = false;
  all.push_back(photoplus);

  // The vendor's editor of today.
  HostProfile modern;
  modern.name = "modern";
  modern.hostSig = kPhotoshopSignature;
  modern.currentRecord = true;
  modern.firstPlayInfo = plugInDialogDisplay;
  modern.repeatPlayInfo = plugInDialogDontDisplay;
  modern.parametersOnRepeat = false;
  all.push_back(modern);

  // The vendor's editor when the library is unloaded between runs: the data slot
  // and the parameters keep the very handles of the last run.
  HostProfile modernReload = modern;
  modernReload.name = "modern-reload";
  modernReload.reloadEachRun = true;
  all.push_back(modernReload);
  return all;
}

const std::vector<HostProfile>& Profiles() {
  static const std::vector<HostProfile> profiles = MakeProfiles();
  return profiles;
}

} // namespace

const HostProfile* FindProfile(const std::string& name) {
  for (const HostProfile& profile : Profiles()) {
    if (profile.name == name) return &profile;
  }
  return nullptr;
}

const HostProfile& StrictProfile() {
  return Profiles().front();
}

std::vector<std::string> ProfileNames() {
  std::vector<std::string> names;
  for (const HostProfile& profile : Profiles())
    names.push_back(profile.name);
  return names;
}

Rect ProfileFilterRect(const HostProfile& profile, Rect wanted) {
  // PhotoDemon passes its region as (0, 0, h-1, w-1) and the library takes the
  // last row and column as outside it.
  if (profile.filterRectShort) {
    if (wanted.bottom > wanted.top) --wanted.bottom;
    if (wanted.right > wanted.left) --wanted.right;
  }
  return wanted;
}

int32 ProfileMaxSpace(const HostProfile& profile, int32 bytes) {
  return profile.maxSpaceInKilobytes ? bytes / kKilobyte : bytes;
}

Fixed ProfileServedRate(const HostProfile& profile, Fixed requested) {
  if (profile.rateIgnored) return 65536;
  if (requested <= 0) return 65536;
  if (profile.samplingSupport == 1) {
    const Fixed whole = Fixed(((int64_t(requested) + 32768) >> 16) << 16);
    return std::max<Fixed>(whole, 65536);
  }
  return requested;
}

bool ProfileLoopContinues(const HostProfile& profile, const FilterRecord& record) {
  if (profile.loopUntilRightZero) {
    return record.outRect.right != 0 || record.inRect.right != 0 ||
           (record.haveMask && record.maskRect.right != 0);
  }
  return !(RectEmpty(record.inRect) && RectEmpty(record.outRect) && RectEmpty(record.maskRect));
}

int16 ProfilePlayInfo(const HostProfile& profile, bool repeat, int16 fallback) {
  const int16 chosen = repeat ? profile.repeatPlayInfo : profile.firstPlayInfo;
  return chosen < 0 ? fallback : chosen;
}

void ApplyProfile(const HostProfile& profile, FilterRecord& r, int imagePlanes,
                  int32 maxSpaceBytes) {
  r.hostSig = profile.hostSig;
  r.maxSpace = ProfileMaxSpace(profile, maxSpaceBytes);
  r.supportsPadding = profile.supportsPadding;
  r.inputPadding = r.outputPadding = r.maskPadding = profile.defaultPadding;
  r.samplingSupport = profile.samplingSupport;
  r.inputRate = r.maskRate = profile.defaultRate;
  if (profile.coloursAsBytes) {
    // 8-bit values in the 16-bit colour fields, and an opaque fourth byte.
    r.foreground = RGBColor{r.foreColor[0], r.foreColor[1], r.foreColor[2]};
    r.background = RGBColor{r.backColor[0], r.backColor[1], r.backColor[2]};
    r.foreColor[3] = r.backColor[3] = 0xFF;
  }
  if (imagePlanes == 4) {
    switch (profile.rgba) {
    case RgbaAs::Planes4:
      break;
    case RgbaAs::Planes4Case0:
      r.filterCase = filterCaseUnset;
      break;
    case RgbaAs::FloatingMask:
      r.planes = 3;
      r.filterCase = filterCaseFloatingSelection;
      r.isFloating = 1;
      r.haveMask = 1;
      r.autoMask = 1;
      r.inLayerPlanes = r.outLayerPlanes = r.absLayerPlanes = 0;
      r.inTransparencyMask = r.outTransparencyMask = r.absTransparencyMask = 0;
      r.inNonLayerPlanes = r.outNonLayerPlanes = r.absNonLayerPlanes = 3;
      break;
    }
  }
  if (profile.noErrorString) r.errorString = nullptr;
  if (profile.noDescriptorSuites) r.descriptorParameters = nullptr;
}

void FillCurrentFields(FilterRecord& r, BigDocumentStruct& big, int32 maxSpaceBytes) {
  big = BigDocumentStruct{};
  big.imageSize32 = VPoint{r.imageSize.v, r.imageSize.h};
  big.filterRect32 =
      VRect{r.filterRect.top, r.filterRect.left, r.filterRect.bottom, r.filterRect.right};
  big.floatCoord32 = VPoint{r.floatCoord.v, r.floatCoord.h};
  big.wholeSize32 = VPoint{r.wholeSize.v, r.wholeSize.h};
  r.bigDocumentData = &big;
  r.plugInRef = &big; // any non-null token of the plug-in's identity
  r.depth = 8;
  r.canUseICCProfiles = 0;
  r.hasImageScrap = 0;
  r.createNewLayer = 0;
  r.bufferSpace64 = maxSpaceBytes;
  r.maxSpace64 = maxSpaceBytes;
  r.allowOverrangeColors = 0;
}
