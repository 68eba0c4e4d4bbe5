#include "plugin/TintParameters.h"

#include <cstring>

#include "host/Handles.h"
#include "host/HostIdentity.h"

bool dialogRequested = false;

TintParameters* GetParameters(const FilterRecord* filterRecord) {
  if (filterRecord == nullptr || filterRecord->parameters == nullptr) return nullptr;
  return reinterpret_cast<TintParameters*>(*filterRecord->parameters);
}

bool HostIsExcluded() {
  const uint32 word = QueryHostVersion(FourCC("PrMr"));
  const uint32 osCode = word & 0xFF;
  return osCode >= 10 && osCode <= 12;
}

namespace {

// Whether the host's handle suite tells handle sizes: it reports at least the size
// that the globals block was made with. Some hosts answer 0 for every handle.
bool HostReportsSizes(const HandleProcs* procs, Handle globalsHandle) {
  return globalsHandle != nullptr &&
         PluginHandleSize(procs, globalsHandle) >= int32(sizeof(PluginGlobals));
}

} // namespace

bool ParametersUnusable(const FilterRecord* fr, Handle globalsHandle) {
  if (fr->parameters == nullptr) return false;
  if (*fr->parameters == nullptr) return true; // a handle without data
  constexpr int32 kRecordSize = int32(sizeof(TintParameters));
  int32 size = 0;
  // The fallback's own handles are measured by the operating system, whatever the
  // host's suite is.
  if (MeasureFallbackHandle(fr->parameters, &size)) return size < kRecordSize;
  if (HandleProcsUsable(fr->handleProcs)) {
    size = PluginHandleSize(fr->handleProcs, fr->parameters);
    if (size >= kRecordSize) return false;
    if (size > 0) return true;
    // An answer of 0 or below tells no size. From a suite that sizes the globals
    // block it stands for an empty handle; a host that answers 0 for every handle
    // cannot tell a short record from a whole one, and its record (the one the
    // plug-in made there) is used as it comes.
    return HostReportsSizes(fr->handleProcs, globalsHandle);
  }
  // A host handle reaching a plug-in that does not use the host's suite: only a
  // get-size answer of at least the record's size makes it usable. Without one its
  // size cannot be known, and no field of it is read or written.
  return HostHandleSize(fr->handleProcs, fr->parameters) < kRecordSize;
}

void ForgetUnusableParameters(FilterRecord* fr, Handle globalsHandle) {
  if (!ParametersUnusable(fr, globalsHandle)) return;
  // A fresh record is made as for a first run. The old handle goes back to its
  // maker: the host's suite when it is usable, the fallback for its own handles. A
  // host handle on a host without a usable suite is left alone (nothing here may
  // free it), and so is the globals block, should a host hand it over as the record.
  Handle old = fr->parameters;
  fr->parameters = nullptr;
  if (old == globalsHandle) return;
  if (IsFallbackHandle(old)) {
    DisposePluginHandle(nullptr, old);
  } else if (HandleProcsUsable(fr->handleProcs)) {
    DisposePluginHandle(fr->handleProcs, old);
  }
}

void CreateDefaultParameters(PluginGlobals* globals) {
  FilterRecord* fr = globals->filterRecord;
  if (fr->parameters != nullptr) return;

  fr->parameters = NewPluginHandle(fr->handleProcs, sizeof(TintParameters));
  if (fr->parameters == nullptr) {
    *globals->result = memFullErr;
    return;
  }
  if (*fr->parameters == nullptr) {
    // A handle without data cannot hold the record: it is given back, so that no
    // later routine takes it for a record, and the next call asks again.
    DisposePluginHandle(fr->handleProcs, fr->parameters);
    fr->parameters = nullptr;
    *globals->result = memFullErr;
    return;
  }
  auto* p = reinterpret_cast<TintParameters*>(*fr->parameters);
  // The host's newProc promises no zeroed memory; zeroing also gives the fields
  // that have no value at creation (imageRect, showDialog) a defined one.
  std::memset(p, 0, sizeof *p);
  p->mode = kDefaultMode;
  p->modeFlag = 0;
  p->usePreview = 0;
  p->stripRows = 1;
  p->offsetH = 0;
  p->offsetV = 0;
  p->zoom = 1;
  p->applyRed = p->applyGreen = p->applyBlue = 0;
  p->toneRed = p->toneGreen = p->toneBlue = 0;
  p->hostExcluded = HostIsExcluded() ? 1 : 0;
}

TintParameters* RequireParameters(PluginGlobals* globals) {
  CreateDefaultParameters(globals);
  TintParameters* p = GetParameters(globals->filterRecord);
  if (p == nullptr) *globals->result = memFullErr;
  return p;
}

void ParametersSelector(PluginGlobals* globals) {
  TintParameters* p = RequireParameters(globals);
  if (p == nullptr) return;
  p->showDialog = 1;
  dialogRequested = true;
}
