// The selector handlers that plan, drive and finish the filtering.
#pragma once

#include "plugin/PluginGlobals.h"

void PrepareFilter(PluginGlobals* globals);
void StartFilter(PluginGlobals* globals);
void ContinueFilter(PluginGlobals* globals);

// Re-tones the current proxy buffers when the preview is on; the dialog calls it.
void TonePreview(PluginGlobals* globals, bool progress);
