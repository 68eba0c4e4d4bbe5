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
// that the globals block was made with. Some hosts answer 0 for every handle. A
// globals block of the fallback's own is not the host's to measure.
bool HostReportsSizes(const HandleProcs* procs, Handle globalsHandle) {
  return globalsHandle != nullptr && !IsFallbackHandle(globalsHandle) &&
         AskHostHandleSize(procs, globalsHandle) >= int32(sizeof(PluginGlobals));
}

} // namespace

bool ParametersUnusable(const FilterRecord* fr, Handle globalsHandle) {
  if (fr->parameters == nullptr) return false;
  if (*fr->parameters == nullptr) return true; // a handle without data
  constexpr int32 kRecordSize = int32(sizeof(TintParameters));
  // The fallback's own handles, from this load of the library or an earlier one,
  // are measured by the operating system, whatever the host's suite is.
  if (IsFallbackHandle(fr->parameters)) return FallbackHandleSize(fr->parameters) < kRecordSize;
  const int32 size = AskHostHandleSize(fr->handleProcs, fr->parameters);
  if (size >= kRecordSize) return false;
  if (size > 0) return true;
  // An answer of 0 or below tells no size. From a usable suite that sizes the
  // globals block it stands for an empty handle; a usable suite that answers 0 for
  // every handle cannot tell a short record from a whole one, and its record (the
  // one the plug-in made there) is used as it comes. Without a usable suite the
  // record is not the plug-in's own, its size cannot be known, and no field of it is
  // read or written.
  if (!HandleProcsUsable(fr->handleProcs)) return true;
  return HostReportsSizes(fr->handleProcs, globalsHandle);
}

void ForgetUnusableParameters(FilterRecord* fr, Handle globalsHandle) {
  if (!ParametersUnusable(fr, globalsHandle)) return;
  // A fresh record is made as for a first run. The old handle goes back to its
  // maker: the fallback for its own handles, the host's suite for the host's (when
  // the suite can take it back; otherwise it is left to the host). The globals
  // block, should a host hand it over as the record, stays in use.
  Handle old = fr->parameters;
  fr->parameters = nullptr;
  if (old == globalsHandle) return;
  if (IsFallbackHandle(old)) {
    DisposePluginHandle(nullptr, old);
  } else {
    ReleaseHostHandle(fr->handleProcs, old);
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
