// The scripting descriptor against a host whose descriptor suites, keys, types,
// values and result codes are arbitrary: the read at Start, then the write at
// Finish. The host checks that the plug-in closes what it opens, disposes only of
// handles that it was given, and never uses a token that it was not handed.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "plugin/TintParameters.h"
#include "scripting/ScriptParameters.h"
#include "support/FuzzPlatform.h"

namespace {

// A broken expectation names itself before the fuzzer records the input.
#define Check(condition)                                                                           \
  do {                                                                                             \
    if (!(condition)) {                                                                            \
      std::fprintf(stderr, "check failed at line %d: %s\n", __LINE__, #condition);                 \
      std::abort();                                                                                \
    }                                                                                              \
  } while (0)

struct DescriptorFuzzHost {
  FuzzedDataProvider* fuzz = nullptr;
  std::set<Handle> handles;
  PIReadDescriptor openRead = nullptr;
  PIWriteDescriptor openWrite = nullptr;
  bool readClosed = false;
  int writeCloses = 0;
  int keysDelivered = 0;
  char readToken = 0, writeToken = 0;
};
DescriptorFuzzHost* host = nullptr;

// Arbitrary result codes, most of them the usual ones.
OSErr AnyResult() {
  switch (host->fuzz->ConsumeIntegralInRange<int>(0, 4)) {
  case 0:
    return errAEParamMissed;
  case 1:
    return host->fuzz->ConsumeIntegral<int16>();
  default:
    return noErr;
  }
}

Handle NewHandle(int32 size) {
  if (size < 0 || size > (1 << 16)) return nullptr;
  auto h = static_cast<Handle>(std::malloc(sizeof(char*)));
  *h = static_cast<char*>(std::malloc(size_t(size) + 1));
  host->handles.insert(h);
  return h;
}
void DisposeHandle(Handle h) {
  Check(host->handles.erase(h) == 1); // never a foreign or already disposed handle
  std::free(*h);
  std::free(h);
}
int32 GetHandleSize(Handle) {
  return 0;
}
OSErr SetHandleSize(Handle, int32) {
  return memFullErr;
}
Ptr LockHandle(Handle h, Boolean) {
  return *h;
}
void UnlockHandle(Handle) {}

PIReadDescriptor OpenRead(PIDescriptorHandle descriptor, DescriptorKeyID* keys) {
  Check(host->openRead == nullptr);
  if (descriptor != nullptr) Check(host->handles.count(descriptor) == 1);
  // The host zeroes each expected key that it will deliver; the list ends at 0.
  if (keys != nullptr) {
    for (int i = 0; keys[i] != 0; ++i) {
      Check(i < 16);
      if (host->fuzz->ConsumeBool()) keys[i] = 0;
      if (keys[i] == 0) break;
    }
  }
  if (host->fuzz->ConsumeIntegralInRange<int>(0, 7) == 0) return nullptr;
  host->openRead = reinterpret_cast<PIReadDescriptor>(&host->readToken);
  return host->openRead;
}
OSErr CloseRead(PIReadDescriptor token) {
  Check(token == host->openRead && !host->readClosed);
  host->readClosed = true;
  return AnyResult();
}
Boolean GetKey(PIReadDescriptor token, DescriptorKeyID* key, DescriptorTypeID* type, int32* flags) {
  Check(token == host->openRead && !host->readClosed);
  FuzzedDataProvider& f = *host->fuzz;
  if (f.remaining_bytes() == 0 || !f.ConsumeBool()) return false;
  const DescriptorKeyID keys[] = {keyAmount, keyDisplayMode, keyEntryFlag,
                                  f.ConsumeIntegral<uint32>()};
  *key = f.PickValueInArray(keys);
  const DescriptorTypeID types[] = {typeUnitFloat, typeEnumerated, typeBoolean, typeInteger,
                                    f.ConsumeIntegral<uint32>()};
  *type = f.PickValueInArray(types);
  *flags = f.ConsumeIntegral<int32>();
  ++host->keysDelivered;
  return true;
}
double AnyDouble() {
  FuzzedDataProvider& f = *host->fuzz;
  switch (f.ConsumeIntegralInRange<int>(0, 2)) {
  case 0: {
    // Any bit pattern: infinities, NaNs, denormals.
    uint64_t bits = f.ConsumeIntegral<uint64_t>();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }
  case 1:
    return f.ConsumeFloatingPoint<double>();
  default:
    return f.ConsumeFloatingPointInRange<double>(-200.0, 200.0);
  }
}
OSErr GetPinnedUnitFloat(PIReadDescriptor token, const double* minimum, const double* maximum,
                         DescriptorUnitID* unit, double* value) {
  Check(token == host->openRead && !host->readClosed);
  Check(minimum != nullptr && maximum != nullptr && unit != nullptr && value != nullptr);
  FuzzedDataProvider& f = *host->fuzz;
  if (f.ConsumeBool()) *value = AnyDouble(); // else the value stays untouched
  if (f.ConsumeBool()) *unit = f.ConsumeIntegral<uint32>();
  return AnyResult();
}
OSErr GetEnumerated(PIReadDescriptor token, DescriptorEnumID* value) {
  Check(token == host->openRead && !host->readClosed && value != nullptr);
  if (host->fuzz->ConsumeBool()) *value = host->fuzz->ConsumeIntegral<uint32>();
  return AnyResult();
}
OSErr GetBoolean(PIReadDescriptor token, Boolean* value) {
  Check(token == host->openRead && !host->readClosed && value != nullptr);
  if (host->fuzz->ConsumeBool()) *value = host->fuzz->ConsumeIntegral<uint8>();
  return AnyResult();
}
// Getters for types the plug-in does not read: a call would take a value of the
// wrong type from the descriptor, so it counts as a fault.
template <typename... A> OSErr Unexpected(PIReadDescriptor, A...) {
  std::abort();
}

PIWriteDescriptor OpenWrite() {
  Check(host->openWrite == nullptr);
  if (host->fuzz->ConsumeIntegralInRange<int>(0, 7) == 0) return nullptr;
  host->openWrite = reinterpret_cast<PIWriteDescriptor>(&host->writeToken);
  return host->openWrite;
}
OSErr CloseWrite(PIWriteDescriptor token, PIDescriptorHandle* descriptor) {
  Check(token == host->openWrite && descriptor != nullptr);
  ++host->writeCloses;
  *descriptor = host->fuzz->ConsumeBool() ? NewHandle(8) : nullptr;
  return AnyResult();
}
OSErr PutUnitFloat(PIWriteDescriptor token, DescriptorKeyID key, DescriptorUnitID unit,
                   const double* value) {
  Check(token == host->openWrite && host->writeCloses == 0);
  Check(key == keyAmount && unit == unitPercent && value != nullptr);
  return AnyResult();
}
OSErr PutEnumerated(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID type,
                    DescriptorEnumID) {
  Check(token == host->openWrite && host->writeCloses == 0);
  Check(key == keyDisplayMode && type == kModeEnumType);
  return AnyResult();
}
OSErr PutBoolean(PIWriteDescriptor token, DescriptorKeyID key, Boolean value) {
  Check(token == host->openWrite && host->writeCloses == 0);
  Check(key == keyEntryFlag && value != 0);
  return AnyResult();
}
template <typename... A> OSErr UnexpectedPut(PIWriteDescriptor, A...) {
  std::abort();
}

// Each procedure present, or null when the fuzzer says so.
template <typename P> P Maybe(P proc, bool complete) {
  return complete || host->fuzz->ConsumeIntegralInRange<int>(0, 15) != 0 ? proc : nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fuzz(data, size);
  DescriptorFuzzHost state;
  state.fuzz = &fuzz;
  host = &state;

  HandleProcs handleProcs{1,
                          8,
                          NewHandle,
                          DisposeHandle,
                          GetHandleSize,
                          SetHandleSize,
                          LockHandle,
                          UnlockHandle,
                          nullptr,
                          nullptr};
  if (fuzz.ConsumeIntegralInRange<int>(0, 3) == 0) {
    // A suite that fails the plug-in's usability rule but still releases handles.
    handleProcs.handleProcsVersion = fuzz.ConsumeIntegralInRange<int16>(0, 3);
    handleProcs.numHandleProcs = fuzz.ConsumeIntegralInRange<int16>(0, 9);
    if (fuzz.ConsumeBool()) handleProcs.setSizeProc = nullptr;
  }
  const bool complete = fuzz.ConsumeBool();
  ReadDescriptorProcs read{};
  read.readDescriptorProcsVersion = complete ? 0 : fuzz.ConsumeIntegralInRange<int16>(-1, 1);
  read.numReadDescriptorProcs = complete ? 18 : fuzz.ConsumeIntegral<int16>();
  read.openReadDescriptorProc = Maybe(OpenRead, complete);
  read.closeReadDescriptorProc = Maybe(CloseRead, complete);
  read.getKeyProc = Maybe(GetKey, complete);
  read.getIntegerProc = Maybe(Unexpected<int32*>, complete);
  read.getFloatProc = Maybe(Unexpected<double*>, complete);
  read.getUnitFloatProc = Maybe(Unexpected<DescriptorUnitID*, double*>, complete);
  read.getBooleanProc = Maybe(GetBoolean, complete);
  read.getTextProc = Maybe(Unexpected<Handle*>, complete);
  read.getAliasProc = Maybe(Unexpected<Handle*>, complete);
  read.getEnumeratedProc = Maybe(GetEnumerated, complete);
  read.getClassProc = Maybe(Unexpected<DescriptorTypeID*>, complete);
  read.getSimpleReferenceProc = Maybe(Unexpected<PIDescriptorSimpleReference*>, complete);
  read.getObjectProc = Maybe(Unexpected<DescriptorTypeID*, PIDescriptorHandle*>, complete);
  read.getCountProc = Maybe(Unexpected<uint32*>, complete);
  read.getStringProc = Maybe(Unexpected<Str255*>, complete);
  read.getPinnedIntegerProc = Maybe(Unexpected<int32, int32, int32*>, complete);
  read.getPinnedFloatProc = Maybe(Unexpected<const double*, const double*, double*>, complete);
  read.getPinnedUnitFloatProc = Maybe(GetPinnedUnitFloat, complete);

  WriteDescriptorProcs write{};
  write.writeDescriptorProcsVersion = complete ? 0 : fuzz.ConsumeIntegralInRange<int16>(-1, 1);
  write.numWriteDescriptorProcs = complete ? 16 : fuzz.ConsumeIntegral<int16>();
  write.openWriteDescriptorProc = Maybe(OpenWrite, complete);
  write.closeWriteDescriptorProc = Maybe(CloseWrite, complete);
  write.putIntegerProc = Maybe(UnexpectedPut<DescriptorKeyID, int32>, complete);
  write.putUnitFloatProc = Maybe(PutUnitFloat, complete);
  write.putBooleanProc = Maybe(PutBoolean, complete);
  write.putEnumeratedProc = Maybe(PutEnumerated, complete);
  write.putTextProc = Maybe(UnexpectedPut<DescriptorKeyID, Handle>, complete);

  const bool withHandleProcs = fuzz.ConsumeIntegralInRange<int>(0, 7) != 0;
  PIDescriptorParameters descriptor{};
  descriptor.descriptorParametersVersion = complete ? 0 : fuzz.ConsumeIntegralInRange<int16>(-1, 1);
  descriptor.playInfo = fuzz.ConsumeIntegralInRange<int16>(-1, 3);
  descriptor.recordInfo = fuzz.ConsumeIntegralInRange<int16>(-1, 3);
  descriptor.readDescriptorProcs = fuzz.ConsumeIntegralInRange<int>(0, 15) ? &read : nullptr;
  descriptor.writeDescriptorProcs = fuzz.ConsumeIntegralInRange<int>(0, 15) ? &write : nullptr;
  // Without a handle suite this host has no handles to give.
  Handle given = withHandleProcs && fuzz.ConsumeBool() ? NewHandle(16) : nullptr;
  descriptor.descriptor = given;

  // The record exactly as large as the published 6.0 layout.
  auto* record = static_cast<FilterRecord*>(std::calloc(1, kFilterRecordSize60));
  record->handleProcs = withHandleProcs ? &handleProcs : nullptr;
  record->descriptorParameters = fuzz.ConsumeIntegralInRange<int>(0, 15) ? &descriptor : nullptr;
  int16 result = 0;
  PluginGlobals globals{&result, record, Rect{}};
  if (withHandleProcs && fuzz.ConsumeIntegralInRange<int>(0, 15) != 0) {
    // A host-kept record of the right size with arbitrary contents.
    Handle p = NewHandle(int32(sizeof(TintParameters)));
    std::vector<uint8> bytes = fuzz.ConsumeBytes<uint8>(sizeof(TintParameters));
    bytes.resize(sizeof(TintParameters));
    std::memcpy(*p, bytes.data(), bytes.size());
    record->parameters = p;
  }

  const TintParameters* p = GetParameters(record);
  const TintParameters before = p ? *p : TintParameters{};
  // Whether the plug-in can give a descriptor back: the suite's disposeProc in its
  // known place. A host whose suite cannot release handles loses them.
  const bool releasable = record->handleProcs != nullptr && handleProcs.handleProcsVersion >= 1 &&
                          static_cast<uint16>(handleProcs.numHandleProcs) >= 2;
  const int16 closed = ReadScriptParameters(&globals);
  if (state.openRead != nullptr) {
    Check(state.readClosed);                 // what was opened is closed
    Check(descriptor.descriptor == nullptr); // and the descriptor consumed
    if (given != nullptr && releasable) Check(state.handles.count(given) == 0);
    if (closed != noErr && closed != errAEParamMissed) Check(result == closed);
  } else {
    Check(result == noErr);
  }
  if (p != nullptr) {
    // Only the three recorded fields and showDialog may change.
    TintParameters expected = *p;
    expected.offsetH = before.offsetH;
    expected.mode = before.mode;
    expected.modeFlag = before.modeFlag;
    expected.showDialog = before.showDialog;
    Check(std::memcmp(&expected, &before, sizeof expected) == 0);
  }

  result = 0;
  Handle left = descriptor.descriptor;
  WriteScriptParameters(&globals);
  Check(result == noErr); // Finish never fails
  Check(state.writeCloses <= 1);
  if (state.writeCloses == 1 && left != nullptr && releasable) {
    Check(state.handles.count(left) == 0);
  }

  // The host takes back what it was left with.
  for (Handle h : std::set<Handle>(state.handles))
    DisposeHandle(h);
  std::free(record);
  host = nullptr;
  return 0;
}
