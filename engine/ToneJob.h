// What one call of the tone kernel works on, read from the host's record and the
// parameter record when the call starts.
#pragma once

#include <cstddef>

#include "engine/TonePlan.h"
#include "sdk/FilterRecord.h"

struct ToneJob {
  const uint8* in = nullptr;
  uint8* out = nullptr;
  ptrdiff_t inRowBytes = 0;
  ptrdiff_t outRowBytes = 0;
  int32 rows = 0;
  int32 columns = 0;
  int32 firstDone = 0; // progress value of the first row
  int32 total = 0;     // progress total
  TonePlan plan;
};

// The job for the buffers that the host delivered for the current outRect. The
// extents are counted in 32 bits: a rectangle taller or wider than 32767 has every
// row and column that the host delivered.
ToneJob MakeToneJob(const FilterRecord* filterRecord);
