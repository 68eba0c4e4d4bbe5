// The tone kernel's work done the plain way, for tests and benchmarks.
#pragma once

#include "plugin/PluginGlobals.h"

// One abort question and one pixel at a time: the reference that ToneBuffers must
// match byte for byte, in the pixels written, the questions asked and the progress.
void ToneBuffersReference(PluginGlobals* globals, bool progress);
