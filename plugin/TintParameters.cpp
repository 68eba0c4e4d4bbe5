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

void CreateDefaultParameters(PluginGlobals* globals) {
  FilterRecord* fr = globals->filterRecord;
  if (fr->parameters != nullptr) return;

  fr->parameters = NewPluginHandle(fr->handleProcs, sizeof(TintParameters));
  if (fr->parameters == nullptr || *fr->parameters == nullptr) {
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

void ParametersSelector(PluginGlobals* globals) {
  CreateDefaultParameters(globals);
  TintParameters* p = GetParameters(globals->filterRecord);
  if (p == nullptr) return; // -108 already stands in the result
  p->showDialog = 1;
  dialogRequested = true;
}
