// Controls of the native stand-in for the executable's version resource, for
// tests: the bytes that "the executable" carries, a count of the reads, and a
// reset of the process-wide identification.
#pragma once

#include <cstddef>
#include <vector>

#include "sdk/PITypes.h"

// The version resource bytes of the executable; empty: it has none.
void SetExecutableVersionData(std::vector<uint8> bytes);
// The executable's file name; empty: GetExecutableFileName fails.
void SetExecutableFileName(const char* name);
// How many times the version information's size has been asked for.
int VersionInfoSizeQueries();
// Forgets the identity and that identification was attempted.
void ResetHostIdentification();
