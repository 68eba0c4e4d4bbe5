// Byte patterns shared by the vector kernels (an index with the top bit set, or
// beyond the lane, gives 0).
#pragma once

#include "sdk/PITypes.h"

namespace tone_patterns {

// Three-byte pixels 0..3 into 32-bit lanes; the spare fourth byte of each lane
// carries input bytes 12..15, which the store puts back where they came from.
alignas(16) inline constexpr int8 kExpand3[16] = {0, 1, 2, 12, 3, 4,  5,  13,
                                                  6, 7, 8, 14, 9, 10, 11, 15};
alignas(16) inline constexpr int8 kCompact3[16] = {0,  1,  2,  4,  5, 6, 8,  9,
                                                   10, 12, 13, 14, 3, 7, 11, 15};
// The low byte of each 32-bit lane, spread over the lane's first three bytes.
alignas(16) inline constexpr int8 kSpread[16] = {0, 0, 0, -128, 4,  4,  4,  -128,
                                                 8, 8, 8, -128, 12, 12, 12, -128};
alignas(16) inline constexpr int8 kSumWeights[16] = {1, 1, 1, 0, 1, 1, 1, 0,
                                                     1, 1, 1, 0, 1, 1, 1, 0};

} // namespace tone_patterns
