// What the tone kernel does to each pixel, worked out once per call, and the
// functions that tone one run of consecutive pixels of a row.
#pragma once

#include <cstddef>

#include "sdk/PITypes.h"

// What happens to one byte of an output pixel.
enum class ByteAction : uint8 {
  Keep, // not written: keeps what the host placed in the output buffer
  Copy, // the input pixel's byte at the same position
  Tone, // the mean of the input pixel's first three bytes and the channel's tone
};

constexpr int kMaxHandledPlanes = 4;

struct TonePlan {
  ptrdiff_t inStep = 0;  // bytes from one input pixel to the next
  ptrdiff_t outStep = 0; // bytes from one output pixel to the next
  ByteAction action[kMaxHandledPlanes] = {};
  int32 tone[kMaxHandledPlanes] = {}; // tone values, 0..255 (the fourth is unused)
};

// Derives the plan from the host's pixel layout and the parameter record's values,
// so that every byte read lies inside the input pixel and every byte written inside
// the output pixel, whatever the host and the stored record hold:
// - a pixel whose input holds fewer than the three bytes the rule sums is not toned:
//   its handled bytes are copied as far as the input pixel has them, so a one-plane
//   image (grayscale, duotone, bitmap) passes through unchanged;
// - handled bytes beyond the output pixel (planes below the mode's count) are skipped;
// - a tone outside 0..255 counts as the nearest value in range, so the mean always
//   fits the output byte.
TonePlan MakeTonePlan(int16 handledPlanes, int32 inStep, int32 outStep, const bool apply[3],
                      const int16 tone[3]);

// Tones count pixels, one at a time; each pixel's values are computed before any of
// its bytes is written, so input and output may be the same buffer.
void ToneRunReference(const uint8* in, uint8* out, int32 count, const TonePlan& plan);

// The vector instruction sets of ToneRunFast, narrowest first within each processor
// family: AdvSIMD (NEON) on ARM64; SSE4.1, then AVX2 on x86.
enum class ToneVectors : uint8 { None, Neon, Sse41, Avx2 };

// A plan with the vector set for it and that set's constants, made once per
// kernel call and used for each of its rows.
struct ToneFast {
  TonePlan plan;
  ToneVectors vectors = ToneVectors::None; // None: the layout takes the reference
  uint8 wide[6 * 32] = {};                 // the AVX2 constants
  uint8 narrow[6 * 16] = {};               // the SSE4.1 or NEON constants
};

ToneFast MakeToneFast(const TonePlan& plan);

// The same result as ToneRunReference, computed several pixels at a time where the
// processor and the pixel layout allow it.
void ToneRunFast(const uint8* in, uint8* out, int32 count, const ToneFast& fast);

// The widest set that this processor runs.
ToneVectors ToneVectorsAvailable();

// The widest set that ToneRunFast uses: the processor's, or less after a limit.
ToneVectors ToneVectorsInUse();

// Keeps ToneRunFast to the given set or narrower ones, so that tests and benchmarks
// can run each; returns the set in use after the change.
ToneVectors LimitToneVectors(ToneVectors widest);
