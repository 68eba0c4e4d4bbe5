// Reading the parameters from the host's scripting descriptor at Start, and
// recording them at Finish.
//
// The descriptor holds 'Amnt' (offsetH as a percent unit float, pinned to 1..99
// on reading), 'disP' (mode, an enumeration of type 'mooD') and 'entI' (the
// one-byte modeFlag as a boolean, recorded only when it is nonzero).
#pragma once

#include "plugin/PluginGlobals.h"

constexpr DescriptorKeyID keyAmount = FourCC("Amnt");
constexpr DescriptorKeyID keyDisplayMode = FourCC("disP");
constexpr DescriptorKeyID keyEntryFlag = FourCC("entI");
constexpr DescriptorUnitID unitPercent = FourCC("#Prc");

// True only when the descriptor parameters are of version 0 with read and write
// suites of version 0, at least 18 and 16 procedures, and every read procedure.
bool DescriptorSuitesAvailable(const PIDescriptorParameters* descriptorParameters);

// Reads the host's descriptor into the parameter record, disposes of it, and sets
// showDialog from the host's play information. A sticky read error other than a
// missing key (-1715) goes to the result code. Returns the close's code.
int16 ReadScriptParameters(PluginGlobals* globals);

// Records a new descriptor and leaves it in descriptorParameters.descriptor, with
// recordInfo plugInDialogOptional. Reports nothing: returns 0.
int16 WriteScriptParameters(PluginGlobals* globals);
