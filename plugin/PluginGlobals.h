// The globals block that the plug-in keeps in the host's data slot, and the
// routines that obtain it at the start of each call.
#pragma once

#include "sdk/FilterRecord.h"

struct PluginGlobals {
  int16* result;              // the host's result code of the current call
  FilterRecord* filterRecord; // the host's parameter block of the current call
  Rect previewRect;           // the dialog's preview area, in dialog client coordinates
};

using GlobalsSetUpProc = void (*)(PluginGlobals* globals);

// Returns the locked globals block kept in the data slot, creating it (and running
// setUp on it) on the first call. Null when it cannot be allocated or locked.
PluginGlobals* ObtainGlobals(int16* result, FilterRecord* filterRecord, HandleProcs* procs,
                             int32 size, intptr_t* data, GlobalsSetUpProc setUp);

// Set-up callback for a newly created block: creates the parameter record.
void SetUpGlobals(PluginGlobals* globals);
