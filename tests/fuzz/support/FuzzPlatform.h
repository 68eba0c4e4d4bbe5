// What the fuzz targets put in place of the Windows edges.
#pragma once

#include <functional>

#include "plugin/PluginGlobals.h"

// The dialog's behaviour in the current fuzz run; null answers OK at once.
extern std::function<bool(PluginGlobals*)> fuzzDialog;
