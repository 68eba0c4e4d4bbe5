// Identification of the host application from its executable's version resource.
#pragma once

#include "sdk/PITypes.h"

// 0, or the packed version word of the running host when it belongs to the key.
uint32 QueryHostVersion(OSType key);
