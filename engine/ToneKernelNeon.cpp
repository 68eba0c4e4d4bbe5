// NEON lanes for the shared vector tone rule (ToneKernelLanes.inc): 16 bytes, four
// 32-bit pixel lanes, per step. TBL gives a byte shuffle in which an index of 16
// or more (the patterns' top-bit entries) yields 0, as PSHUFB does on x86.
#include "engine/ToneKernelNeon.h"

#if TINTARA_NEON

#include <arm_neon.h>

#include "engine/ToneKernelPatterns.h"

namespace neon {
using namespace tone_patterns;

#define TINTARA_TARGET

struct Lanes {
  using V = uint8x16_t;
  static constexpr int32 kPixels = 4;
  static constexpr int32 kBytes3 = 16;
  static V Pattern(const int8* p) { return vld1q_u8(reinterpret_cast<const uint8_t*>(p)); }
  static V Bytes(int8 b0, int8 b1, int8 b2, int8 b3) {
    return vreinterpretq_u8_u32(vdupq_n_u32(uint32(uint8(b0)) | uint32(uint8(b1)) << 8 |
                                            uint32(uint8(b2)) << 16 | uint32(uint8(b3)) << 24));
  }
  static V Load(const uint8* p) { return vld1q_u8(p); }
  static void Store(uint8* p, V v) { vst1q_u8(p, v); }
  static V Load3(const uint8* p) { return Load(p); }
  static void Store3(uint8* p, V v) { Store(p, v); }
};

inline uint8x16_t Shuffle(uint8x16_t a, uint8x16_t i) {
  return vqtbl1q_u8(a, i);
}
inline uint8x16_t And(uint8x16_t a, uint8x16_t b) {
  return vandq_u8(a, b);
}
inline uint8x16_t Or(uint8x16_t a, uint8x16_t b) {
  return vorrq_u8(a, b);
}
inline uint8x16_t AddBytes(uint8x16_t a, uint8x16_t b) {
  return vaddq_u8(a, b);
}
// b where the mask byte's top bit is set, else a (the x86 blend's rule).
inline uint8x16_t Blend(uint8x16_t a, uint8x16_t b, uint8x16_t m) {
  const uint8x16_t select = vreinterpretq_u8_s8(vshrq_n_s8(vreinterpretq_s8_u8(m), 7));
  return vbslq_u8(select, b, a);
}
// Sum of each lane's first three bytes (the weights are 1, 1, 1, 0), as 32 bits.
inline uint8x16_t LaneSums(uint8x16_t px, uint8x16_t weights) {
  return vreinterpretq_u8_u32(vpaddlq_u16(vpaddlq_u8(vmulq_u8(px, weights))));
}
inline uint8x16_t Quarter32(uint8x16_t v) {
  return vreinterpretq_u8_u32(vshrq_n_u32(vreinterpretq_u32_u8(v), 2));
}

#include "engine/ToneKernelLanes.inc"
#undef TINTARA_TARGET

} // namespace neon

#endif
