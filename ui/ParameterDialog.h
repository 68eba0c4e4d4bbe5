// The modal parameter dialog that Start shows.
#pragma once

#include "plugin/PluginGlobals.h"

// Runs the dialog modally; true when it ended with OK.
bool RunParameterDialog(PluginGlobals* globals);
