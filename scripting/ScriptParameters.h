// Reading the parameters from the host's scripting descriptor at Start, and
// recording them at Finish.
#pragma once

#include "plugin/PluginGlobals.h"

bool DescriptorSuitesAvailable(const PIDescriptorParameters* descriptorParameters);
int16 ReadScriptParameters(PluginGlobals* globals);
int16 WriteScriptParameters(PluginGlobals* globals);
