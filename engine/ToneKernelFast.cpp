// The tone rule several pixels at a time, for the layouts that hosts deliver for RGB
// and CMYK images: three bytes per pixel, or four bytes per pixel with the fourth
// copied or kept. Everything else, and processors without AVX2, take the reference.
//
// Each pixel is widened to a 32-bit lane [p0 p1 p2 x]. Its sum s = p0 + p1 + p2 is
// split as s = 4q + r, and each tone t as t = 4a + b, so that
//   (s + t) / 4 = q + a + (r + b) / 4,
// where every term fits a byte (q <= 191, a <= 63, (r + b) / 4 <= 1): the three
// toned bytes of a pixel are then formed with byte additions, without widening.
#include "engine/TonePlan.h"

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#define TINTARA_X86 1
#include <immintrin.h>
#else
#define TINTARA_X86 0
#endif

namespace {

#if TINTARA_X86

#define TINTARA_AVX2 __attribute__((target("avx2")))

bool Disjoint(const uint8* a, const uint8* b, ptrdiff_t length) {
  const auto x = reinterpret_cast<uintptr_t>(a);
  const auto y = reinterpret_cast<uintptr_t>(b);
  const auto n = static_cast<uintptr_t>(length);
  return x + n <= y || y + n <= x;
}

// Byte patterns of one 16-byte lane (an index with the top bit set gives 0).
// Three-byte pixels 0..3 into 32-bit lanes; the spare fourth byte of each lane
// carries input bytes 12..15, which the store puts back where they came from.
alignas(16) constexpr int8 kExpand3[16] = {0, 1, 2, 12, 3, 4, 5, 13, 6, 7, 8, 14, 9, 10, 11, 15};
alignas(16) constexpr int8 kCompact3[16] = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 3, 7, 11, 15};
// The low byte of each 32-bit lane, spread over the lane's first three bytes.
alignas(16) constexpr int8 kSpread[16] = {0, 0, 0, -128, 4,  4,  4,  -128,
                                          8, 8, 8, -128, 12, 12, 12, -128};
alignas(16) constexpr int8 kSumWeights[16] = {1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0};

// The few operations used, for 128- and 256-bit vectors.
TINTARA_AVX2 inline __m128i Shuffle(__m128i a, __m128i i) {
  return _mm_shuffle_epi8(a, i);
}
TINTARA_AVX2 inline __m256i Shuffle(__m256i a, __m256i i) {
  return _mm256_shuffle_epi8(a, i);
}
TINTARA_AVX2 inline __m128i And(__m128i a, __m128i b) {
  return _mm_and_si128(a, b);
}
TINTARA_AVX2 inline __m256i And(__m256i a, __m256i b) {
  return _mm256_and_si256(a, b);
}
TINTARA_AVX2 inline __m128i AddBytes(__m128i a, __m128i b) {
  return _mm_add_epi8(a, b);
}
TINTARA_AVX2 inline __m256i AddBytes(__m256i a, __m256i b) {
  return _mm256_add_epi8(a, b);
}
TINTARA_AVX2 inline __m128i Blend(__m128i a, __m128i b, __m128i m) {
  return _mm_blendv_epi8(a, b, m);
}
TINTARA_AVX2 inline __m256i Blend(__m256i a, __m256i b, __m256i m) {
  return _mm256_blendv_epi8(a, b, m);
}
// Sum of each lane's first three bytes, as a 32-bit value.
TINTARA_AVX2 inline __m128i LaneSums(__m128i px, __m128i weights) {
  return _mm_madd_epi16(_mm_maddubs_epi16(px, weights), _mm_set1_epi16(1));
}
TINTARA_AVX2 inline __m256i LaneSums(__m256i px, __m256i weights) {
  return _mm256_madd_epi16(_mm256_maddubs_epi16(px, weights), _mm256_set1_epi16(1));
}
TINTARA_AVX2 inline __m128i Quarter32(__m128i v) {
  return _mm_srli_epi32(v, 2);
}
TINTARA_AVX2 inline __m256i Quarter32(__m256i v) {
  return _mm256_srli_epi32(v, 2);
}
TINTARA_AVX2 inline __m128i Quarter16(__m128i v) {
  return _mm_srli_epi16(v, 2);
}
TINTARA_AVX2 inline __m256i Quarter16(__m256i v) {
  return _mm256_srli_epi16(v, 2);
}

// Loads, stores and constants: 16 bytes at a time.
struct Lanes128 {
  using V = __m128i;
  static constexpr int32 kPixels = 4;
  static constexpr int32 kBytes3 = 16; // bytes touched per step of three-byte pixels
  TINTARA_AVX2 static V Pattern(const int8* p) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
  }
  TINTARA_AVX2 static V Bytes(int8 b0, int8 b1, int8 b2, int8 b3) {
    return _mm_set1_epi32(int32(uint8(b0)) | int32(uint8(b1)) << 8 | int32(uint8(b2)) << 16 |
                          int32(uint32(uint8(b3)) << 24));
  }
  TINTARA_AVX2 static V Load(const uint8* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  }
  TINTARA_AVX2 static void Store(uint8* p, V v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
  }
  TINTARA_AVX2 static V Load3(const uint8* p) { return Load(p); }
  TINTARA_AVX2 static void Store3(uint8* p, V v) { Store(p, v); }
};

// 32 bytes at a time; three-byte pixels come as two 12-byte groups, one per lane.
struct Lanes256 {
  using V = __m256i;
  static constexpr int32 kPixels = 8;
  static constexpr int32 kBytes3 = 28;
  TINTARA_AVX2 static V Pattern(const int8* p) {
    return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(p)));
  }
  TINTARA_AVX2 static V Bytes(int8 b0, int8 b1, int8 b2, int8 b3) {
    return _mm256_set1_epi32(int32(uint8(b0)) | int32(uint8(b1)) << 8 | int32(uint8(b2)) << 16 |
                             int32(uint32(uint8(b3)) << 24));
  }
  TINTARA_AVX2 static V Load(const uint8* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  }
  TINTARA_AVX2 static void Store(uint8* p, V v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
  }
  TINTARA_AVX2 static V Load3(const uint8* p) {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12));
    return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
  }
  // The first lane's last four bytes are overwritten by the second lane's store.
  TINTARA_AVX2 static void Store3(uint8* p, V v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 12), _mm256_extracti128_si256(v, 1));
  }
};

template <class L> struct ToneConstants {
  typename L::V weights, spread, low2, one, toneHigh, toneLow, toneMask;
};

template <class L> TINTARA_AVX2 ToneConstants<L> MakeConstants(const TonePlan& plan) {
  ToneConstants<L> c;
  c.weights = L::Pattern(kSumWeights);
  c.spread = L::Pattern(kSpread);
  c.low2 = L::Bytes(3, 3, 3, 3);
  c.one = L::Bytes(1, 1, 1, 1);
  int8 high[3], low[3], mask[3];
  for (int k = 0; k < 3; ++k) {
    const bool toned = plan.action[k] == ByteAction::Tone;
    high[k] = toned ? int8(plan.tone[k] >> 2) : int8(0);
    low[k] = toned ? int8(plan.tone[k] & 3) : int8(0);
    mask[k] = toned ? int8(-1) : int8(0);
  }
  c.toneHigh = L::Bytes(high[0], high[1], high[2], 0);
  c.toneLow = L::Bytes(low[0], low[1], low[2], 0);
  c.toneMask = L::Bytes(mask[0], mask[1], mask[2], 0);
  return c;
}

// Tones the lanes' first three bytes where the plan says so; each lane's fourth byte
// and every copied byte come from px.
template <class L>
TINTARA_AVX2 inline typename L::V ToneLanes(typename L::V px, const ToneConstants<L>& c) {
  const auto sum = LaneSums(px, c.weights);
  const auto quarter = Shuffle(Quarter32(sum), c.spread);
  const auto rest = And(Shuffle(sum, c.spread), c.low2);
  const auto carry = And(Quarter16(AddBytes(rest, c.toneLow)), c.one);
  const auto toned = AddBytes(AddBytes(quarter, c.toneHigh), carry);
  return Blend(px, toned, c.toneMask);
}

// Three bytes per pixel in and out. A step reads and writes a few bytes beyond its
// pixels (the next pixels' input, written back unchanged), so it runs only while
// those bytes still belong to the run. Returns the number of pixels done.
template <class L>
TINTARA_AVX2 int32 ToneRun3(const uint8* in, uint8* out, int32 count, const TonePlan& plan) {
  const ToneConstants<L> c = MakeConstants<L>(plan);
  const auto expand = L::Pattern(kExpand3);
  const auto compact = L::Pattern(kCompact3);
  constexpr int32 kReach = (L::kBytes3 + 2) / 3; // pixels covered by a step's bytes
  int32 i = 0;
  for (; i + kReach <= count; i += L::kPixels) {
    const auto px = Shuffle(L::Load3(in + 3 * ptrdiff_t(i)), expand);
    L::Store3(out + 3 * ptrdiff_t(i), Shuffle(ToneLanes<L>(px, c), compact));
  }
  return i;
}

// Four bytes per pixel in and out; the fourth byte is copied from the input, or kept
// from the output when the mode handles three planes only.
template <class L, bool kKeepFourth>
TINTARA_AVX2 int32 ToneRun4(const uint8* in, uint8* out, int32 count, const TonePlan& plan) {
  const ToneConstants<L> c = MakeConstants<L>(plan);
  const auto fourth = L::Bytes(0, 0, 0, -1);
  int32 i = 0;
  for (; i + L::kPixels <= count; i += L::kPixels) {
    auto px = ToneLanes<L>(L::Load(in + 4 * ptrdiff_t(i)), c);
    if (kKeepFourth) px = Blend(px, L::Load(out + 4 * ptrdiff_t(i)), fourth);
    L::Store(out + 4 * ptrdiff_t(i), px);
  }
  return i;
}

template <class L>
TINTARA_AVX2 int32 ToneRunLanes(const uint8* in, uint8* out, int32 count, const TonePlan& plan) {
  if (plan.inStep == 3) return ToneRun3<L>(in, out, count, plan);
  return plan.action[3] == ByteAction::Keep ? ToneRun4<L, true>(in, out, count, plan)
                                            : ToneRun4<L, false>(in, out, count, plan);
}

bool HaveAvx2() {
  static const bool have = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return have;
}

bool Written(ByteAction a) {
  return a != ByteAction::Keep;
}

int32 ToneRunVector(const uint8* in, uint8* out, int32 count, const TonePlan& plan) {
  if (plan.inStep != plan.outStep) return 0;
  if (!Written(plan.action[0]) || !Written(plan.action[1]) || !Written(plan.action[2])) return 0;
  // Each pixel is read before it is written, also within a step; buffers that only
  // partly overlap would see bytes already written, so they take the reference.
  if (in != out && !Disjoint(in, out, count * plan.inStep)) return 0;
  if (!HaveAvx2()) return 0;
  if (plan.inStep != 3 && plan.inStep != 4) return 0;
  int32 done = 0;
#ifndef _WIN32
  // GCC cannot align the stack for 256-bit values on Windows, so the plug-in keeps
  // to 128-bit vectors there; elsewhere they take the pixels that 256 bits leave.
  done = ToneRunLanes<Lanes256>(in, out, count, plan);
#endif
  const ptrdiff_t skip = done * plan.inStep;
  return done + ToneRunLanes<Lanes128>(in + skip, out + skip, count - done, plan);
}

#else

int32 ToneRunVector(const uint8*, uint8*, int32, const TonePlan&) {
  return 0;
}

#endif

} // namespace

void ToneRunFast(const uint8* in, uint8* out, int32 count, const TonePlan& plan) {
  if (count <= 0) return;
  const int32 done = ToneRunVector(in, out, count, plan);
  ToneRunReference(in + done * plan.inStep, out + done * plan.outStep, count - done, plan);
}
