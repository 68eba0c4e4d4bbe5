#include "scripting/ScriptParameters.h"

#include <cmath>

#include "host/Handles.h"
#include "plugin/TintParameters.h"

namespace {

// The suite versions and sizes whose layout this plug-in knows.
constexpr int16 kRequiredDescriptorParametersVersion = 0;
constexpr int16 kRequiredReadProcsVersion = 0;
constexpr uint16 kRequiredReadProcsCount = 18;
constexpr int16 kRequiredWriteProcsVersion = 0;
constexpr uint16 kRequiredWriteProcsCount = 16;

constexpr double kAmountMinimum = 1.0;
constexpr double kAmountMaximum = 99.0;

bool ReadProcsPresent(const ReadDescriptorProcs* r) {
  return r->openReadDescriptorProc && r->closeReadDescriptorProc && r->getKeyProc &&
         r->getIntegerProc && r->getFloatProc && r->getUnitFloatProc && r->getBooleanProc &&
         r->getTextProc && r->getAliasProc && r->getEnumeratedProc && r->getClassProc &&
         r->getSimpleReferenceProc && r->getObjectProc && r->getCountProc && r->getStringProc &&
         r->getPinnedIntegerProc && r->getPinnedFloatProc && r->getPinnedUnitFloatProc;
}

// The pinned getter should leave a value in 1..99; one from a host that does not
// pin is brought into the field's range before truncation, since converting a
// double outside it (or NaN) to an integer is undefined.
int16 AmountToOffset(double value) {
  if (std::isnan(value)) return 0;
  if (value <= -32768.0) return -32768;
  if (value >= 32767.0) return 32767;
  return static_cast<int16>(static_cast<int32>(value)); // truncation toward zero
}

// The descriptor handle belongs to the host: it goes back to the host's suite
// (under the rule of host/Handles.h, also when the suite is not usable for the
// plug-in's own handles), never to the fallback. Where the suite cannot take it, it is
// dropped and left to the host.
void DisposeDescriptor(const FilterRecord* fr, PIDescriptorHandle descriptor) {
  ReleaseHostHandle(fr->handleProcs, descriptor);
}

} // namespace

bool DescriptorSuitesAvailable(const PIDescriptorParameters* d) {
  if (d == nullptr) return false;
  if (d->descriptorParametersVersion != kRequiredDescriptorParametersVersion) return false;
  if (d->readDescriptorProcs == nullptr || d->writeDescriptorProcs == nullptr) return false;
  const ReadDescriptorProcs* r = d->readDescriptorProcs;
  if (r->readDescriptorProcsVersion != kRequiredReadProcsVersion ||
      static_cast<uint16>(r->numReadDescriptorProcs) < kRequiredReadProcsCount)
    return false;
  const WriteDescriptorProcs* w = d->writeDescriptorProcs;
  if (w->writeDescriptorProcsVersion != kRequiredWriteProcsVersion ||
      static_cast<uint16>(w->numWriteDescriptorProcs) < kRequiredWriteProcsCount)
    return false;
  return ReadProcsPresent(r);
}

int16 ReadScriptParameters(PluginGlobals* globals) {
  FilterRecord* fr = globals->filterRecord;
  PIDescriptorParameters* d = fr->descriptorParameters;
  if (!DescriptorSuitesAvailable(d)) return noErr;
  TintParameters* p = GetParameters(fr);
  if (p == nullptr) return noErr;

  const ReadDescriptorProcs* procs = d->readDescriptorProcs;
  // The host zeroes each expected key that it delivers; 'entI' is optional.
  DescriptorKeyID expected[] = {keyAmount, keyDisplayMode, 0};
  const double minimum = kAmountMinimum;
  const double maximum = kAmountMaximum;
  OSErr closed = noErr;

  PIReadDescriptor token = procs->openReadDescriptorProc(d->descriptor, expected);
  if (token != nullptr) {
    double amount = 0.0;
    DescriptorUnitID unit = unitPercent;
    DescriptorKeyID key = 0;
    DescriptorTypeID type = 0;
    int32 flags = 0;
    while (procs->getKeyProc(token, &key, &type, &flags)) {
      if (key == keyAmount) {
        // The getter's error is not tested: an untouched value keeps the last one.
        procs->getPinnedUnitFloatProc(token, &minimum, &maximum, &unit, &amount);
        p->offsetH = AmountToOffset(amount);
      } else if (key == keyDisplayMode) {
        procs->getEnumeratedProc(token, &p->mode);
      } else if (key == keyEntryFlag) {
        procs->getBooleanProc(token, &p->modeFlag);
      }
    }
    closed = procs->closeReadDescriptorProc(token);
    DisposeDescriptor(fr, d->descriptor);
    d->descriptor = nullptr;
    // A missing expected key is no error: what was present has been read.
    if (closed != noErr && closed != errAEParamMissed) *globals->result = closed;
  }

  p->showDialog = d->playInfo == plugInDialogDisplay ? 1 : 0;
  return closed;
}

int16 WriteScriptParameters(PluginGlobals* globals) {
  FilterRecord* fr = globals->filterRecord;
  PIDescriptorParameters* d = fr->descriptorParameters;
  if (!DescriptorSuitesAvailable(d)) return noErr;
  const TintParameters* p = GetParameters(fr);
  if (p == nullptr) return noErr; // nothing to record

  const WriteDescriptorProcs* procs = d->writeDescriptorProcs;
  if (procs->openWriteDescriptorProc == nullptr || procs->closeWriteDescriptorProc == nullptr)
    return noErr;
  PIWriteDescriptor token = procs->openWriteDescriptorProc();
  if (token == nullptr) return noErr;

  // Putter errors are not reported: the Finish selector never fails.
  const double amount = static_cast<double>(p->offsetH);
  if (procs->putUnitFloatProc) procs->putUnitFloatProc(token, keyAmount, unitPercent, &amount);
  if (procs->putEnumeratedProc)
    procs->putEnumeratedProc(token, keyDisplayMode, kModeEnumType, p->mode);
  if (p->modeFlag != 0 && procs->putBooleanProc)
    procs->putBooleanProc(token, keyEntryFlag, p->modeFlag);

  DisposeDescriptor(fr, d->descriptor);
  d->descriptor = nullptr;
  PIDescriptorHandle recorded = nullptr;
  procs->closeWriteDescriptorProc(token, &recorded);
  d->descriptor = recorded;
  d->recordInfo = plugInDialogOptional;
  return noErr;
}
