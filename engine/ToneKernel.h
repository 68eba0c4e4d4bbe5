// The tone kernel: rewrites the host's output buffer from its input buffer.
#pragma once

#include "plugin/PluginGlobals.h"

// Number of leading bytes of each pixel handled for an image mode, or the default
// for modes outside the table.
int16 PlanesForMode(int16 mode, int16 defaultPlanes);

// Tones the buffers that the host delivered for the current outRect; reports
// progress per row when asked, and stores -128 in the result on abort.
void ToneBuffers(PluginGlobals* globals, bool progress);
