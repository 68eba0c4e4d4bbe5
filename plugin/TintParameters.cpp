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
  const int32 size = PluginHandleSize(fr->handleProcs, fr->parameters);
  if (size >= int32(sizeof(TintParameters))) return false;
  // A size of 0 from a host that answers 0 for every handle says nothing: such a
  // record is used as it is. Below the record's size otherwise, every field past the
  // end would be read from, and written to, memory that is not the record's.
  return size > 0 || HostReportsSizes(fr->handleProcs, globalsHandle);
}

void ForgetUnusableParameters(FilterRecord* fr, Handle globalsHandle) {
  if (!ParametersUnusable(fr, globalsHandle)) return;
  // The host's handle goes back to its suite (a fallback path leaves a handle that
  // is not its own alone); a fresh record is made as for a first run.
  DisposePluginHandle(fr->handleProcs, fr->parameters);
  fr->parameters = nullptr;
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
