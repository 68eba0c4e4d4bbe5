// The tone rule four pixels at a time with ARM64's AdvSIMD (NEON) instructions,
// for the layouts that the x86 vector kernels handle; built on ARM64 only.
#pragma once

#include "engine/TonePlan.h"

#if defined(__aarch64__) || defined(_M_ARM64)
#define TINTARA_NEON 1

namespace neon {

// Writes the plan's six 16-byte constants to bytes (96 bytes, any alignment).
void StoreConstants(const TonePlan& plan, uint8* bytes);

// Tones as many of count pixels as the vector steps reach with the constants that
// StoreConstants wrote; `separate` when input and output are different buffers.
// Returns the number of pixels done, the first ones of the run.
int32 ToneRunLanes(const uint8* in, uint8* out, int32 count, const ToneFast& fast,
                   const uint8* constants, bool separate);

} // namespace neon

#else
#define TINTARA_NEON 0
#endif
