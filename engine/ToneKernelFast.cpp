// The tone rule several pixels at a time, for the layouts that hosts deliver for RGB
// and CMYK images: three bytes per pixel, or four bytes per pixel with the fourth
// copied or kept, with AVX2 or SSE4.1 on x86 and with NEON on ARM64 (its lanes are
// in ToneKernelNeon.cpp). Everything else takes the reference.
//
// Each pixel is widened to a 32-bit lane [p0 p1 p2 x]. Its sum s = p0 + p1 + p2 is
// split as s = 4q + r, and each tone t as t = 4a + b, so that
//   (s + t) / 4 = q + [a + (r + b) / 4],
// where q <= 191 and the bracket <= 64 fit a byte each: q is spread over the lane's
// three bytes, the bracket is looked up in a 16-byte table at index 4k + r for
// channel k, and one byte addition gives the three toned bytes.
#include "engine/TonePlan.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "engine/ToneKernelNeon.h"
#include "engine/ToneKernelPatterns.h"

#if defined(__x86_64__) || defined(__i386__)
#define TINTARA_X86 1
#include <immintrin.h>
#else
#define TINTARA_X86 0
#endif

namespace {

[[maybe_unused]] bool Disjoint(const uint8* a, const uint8* b, ptrdiff_t length) {
  const auto x = reinterpret_cast<uintptr_t>(a);
  const auto y = reinterpret_cast<uintptr_t>(b);
  const auto n = static_cast<uintptr_t>(length);
  return x + n <= y || y + n <= x;
}

// Whether the vector steps handle the plan's layout: the same three or four bytes
// per pixel in and out, the three toned bytes all written.
bool VectorLayout(const TonePlan& plan) {
  const auto written = [](ByteAction a) { return a != ByteAction::Keep; };
  if (plan.inStep != plan.outStep || (plan.inStep != 3 && plan.inStep != 4)) return false;
  return written(plan.action[0]) && written(plan.action[1]) && written(plan.action[2]);
}

#if TINTARA_X86

using namespace tone_patterns;

// 16 bytes at a time, with SSE4.1 (every x86-64 processor of the last fifteen years).
namespace sse41 {
#define TINTARA_TARGET __attribute__((target("sse4.1")))

struct Lanes {
  using V = __m128i;
  static constexpr int32 kPixels = 4;
  static constexpr int32 kBytes3 = 16; // bytes touched per step of three-byte pixels
  TINTARA_TARGET static V Pattern(const int8* p) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
  }
  TINTARA_TARGET static V Bytes(int8 b0, int8 b1, int8 b2, int8 b3) {
    return _mm_set1_epi32(int32(uint8(b0)) | int32(uint8(b1)) << 8 | int32(uint8(b2)) << 16 |
                          int32(uint32(uint8(b3)) << 24));
  }
  TINTARA_TARGET static V Load(const uint8* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  }
  TINTARA_TARGET static void Store(uint8* p, V v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
  }
  TINTARA_TARGET static V Load3(const uint8* p) { return Load(p); }
  TINTARA_TARGET static void Store3(uint8* p, V v) { Store(p, v); }
};

TINTARA_TARGET inline __m128i Shuffle(__m128i a, __m128i i) {
  return _mm_shuffle_epi8(a, i);
}
TINTARA_TARGET inline __m128i And(__m128i a, __m128i b) {
  return _mm_and_si128(a, b);
}
TINTARA_TARGET inline __m128i Or(__m128i a, __m128i b) {
  return _mm_or_si128(a, b);
}
TINTARA_TARGET inline __m128i AddBytes(__m128i a, __m128i b) {
  return _mm_add_epi8(a, b);
}
TINTARA_TARGET inline __m128i Blend(__m128i a, __m128i b, __m128i m) {
  return _mm_blendv_epi8(a, b, m);
}
// Sum of each lane's first three bytes, as a 32-bit value.
TINTARA_TARGET inline __m128i LaneSums(__m128i px, __m128i weights) {
  return _mm_madd_epi16(_mm_maddubs_epi16(px, weights), _mm_set1_epi16(1));
}
TINTARA_TARGET inline __m128i Quarter32(__m128i v) {
  return _mm_srli_epi32(v, 2);
}

#include "engine/ToneKernelLanes.inc"
#undef TINTARA_TARGET
} // namespace sse41

// 32 bytes at a time, with AVX2. In the Windows builds every vector move is
// assembled as an unaligned one (cmake/WindowsCode.cmake): 64-bit Windows code
// cannot realign the stack for 256-bit values.
namespace avx2 {
#define TINTARA_TARGET __attribute__((target("avx2")))

// Three-byte pixels come as two 12-byte groups, one per 16-byte half.
struct Lanes {
  using V = __m256i;
  static constexpr int32 kPixels = 8;
  static constexpr int32 kBytes3 = 28;
  TINTARA_TARGET static V Pattern(const int8* p) {
    return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(p)));
  }
  TINTARA_TARGET static V Bytes(int8 b0, int8 b1, int8 b2, int8 b3) {
    return _mm256_set1_epi32(int32(uint8(b0)) | int32(uint8(b1)) << 8 | int32(uint8(b2)) << 16 |
                             int32(uint32(uint8(b3)) << 24));
  }
  TINTARA_TARGET static V Load(const uint8* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  }
  TINTARA_TARGET static void Store(uint8* p, V v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
  }
  TINTARA_TARGET static V Load3(const uint8* p) {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12));
    return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
  }
  // The first half's last four bytes are overwritten by the second half's store.
  TINTARA_TARGET static void Store3(uint8* p, V v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 12), _mm256_extracti128_si256(v, 1));
  }
};

TINTARA_TARGET inline __m256i Shuffle(__m256i a, __m256i i) {
  return _mm256_shuffle_epi8(a, i);
}
TINTARA_TARGET inline __m256i And(__m256i a, __m256i b) {
  return _mm256_and_si256(a, b);
}
TINTARA_TARGET inline __m256i Or(__m256i a, __m256i b) {
  return _mm256_or_si256(a, b);
}
TINTARA_TARGET inline __m256i AddBytes(__m256i a, __m256i b) {
  return _mm256_add_epi8(a, b);
}
TINTARA_TARGET inline __m256i Blend(__m256i a, __m256i b, __m256i m) {
  return _mm256_blendv_epi8(a, b, m);
}
TINTARA_TARGET inline __m256i LaneSums(__m256i px, __m256i weights) {
  return _mm256_madd_epi16(_mm256_maddubs_epi16(px, weights), _mm256_set1_epi16(1));
}
TINTARA_TARGET inline __m256i Quarter32(__m256i v) {
  return _mm256_srli_epi32(v, 2);
}

#include "engine/ToneKernelLanes.inc"
#undef TINTARA_TARGET
} // namespace avx2

// The processor's widest set; libgcc's AVX2 answer includes the operating system's
// keeping of the 256-bit registers.
ToneVectors Available() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return ToneVectors::Avx2;
  if (__builtin_cpu_supports("sse4.1")) return ToneVectors::Sse41;
  return ToneVectors::None;
}

void StoreConstants(ToneFast& fast) {
  if (fast.vectors == ToneVectors::Avx2) avx2::StoreConstants(fast.plan, fast.wide);
  if (fast.vectors >= ToneVectors::Sse41) sse41::StoreConstants(fast.plan, fast.narrow);
}

int32 ToneRunVector(const uint8* in, uint8* out, int32 count, const ToneFast& fast) {
  if (fast.vectors == ToneVectors::None) return 0;
  // Each pixel is read before it is written, also within a step; buffers that only
  // partly overlap would see bytes already written, so they take the reference.
  const bool separate = in != out;
  if (separate && !Disjoint(in, out, count * fast.plan.inStep)) return 0;
  int32 done = 0;
  if (fast.vectors == ToneVectors::Avx2)
    done = avx2::ToneRunLanes(in, out, count, fast, fast.wide, separate);
  // SSE4.1 takes what AVX2 left, or everything.
  const ptrdiff_t skip = done * fast.plan.inStep;
  return done +
         sse41::ToneRunLanes(in + skip, out + skip, count - done, fast, fast.narrow, separate);
}

#elif TINTARA_NEON

// AdvSIMD is part of every ARMv8-A processor, so every ARM64 Windows machine.
ToneVectors Available() {
  return ToneVectors::Neon;
}

void StoreConstants(ToneFast& fast) {
  if (fast.vectors == ToneVectors::Neon) neon::StoreConstants(fast.plan, fast.narrow);
}

int32 ToneRunVector(const uint8* in, uint8* out, int32 count, const ToneFast& fast) {
  if (fast.vectors != ToneVectors::Neon) return 0;
  const bool separate = in != out;
  if (separate && !Disjoint(in, out, count * fast.plan.inStep)) return 0;
  return neon::ToneRunLanes(in, out, count, fast, fast.narrow, separate);
}

#else

ToneVectors Available() {
  return ToneVectors::None;
}

void StoreConstants(ToneFast&) {}

int32 ToneRunVector(const uint8*, uint8*, int32, const ToneFast&) {
  return 0;
}

#endif

// Whether this processor runs the set: each processor family has its own sets.
bool Runs(ToneVectors set) {
  if (set == ToneVectors::None) return true;
  const ToneVectors available = ToneVectorsAvailable();
  if (available == ToneVectors::Neon || set == ToneVectors::Neon) return set == available;
  return set <= available;
}

std::atomic<ToneVectors> gLimit{ToneVectors::Avx2};

} // namespace

ToneVectors ToneVectorsAvailable() {
  static const ToneVectors available = Available();
  return available;
}

// The widest set that the processor runs, no wider than the limit.
ToneVectors ToneVectorsInUse() {
  auto set = int(std::min(ToneVectorsAvailable(), gLimit.load(std::memory_order_relaxed)));
  while (!Runs(ToneVectors(set)))
    --set;
  return ToneVectors(set);
}

ToneVectors LimitToneVectors(ToneVectors widest) {
  gLimit.store(widest, std::memory_order_relaxed);
  return ToneVectorsInUse();
}

ToneFast MakeToneFast(const TonePlan& plan) {
  ToneFast fast;
  fast.plan = plan;
  fast.vectors = VectorLayout(plan) ? ToneVectorsInUse() : ToneVectors::None;
  StoreConstants(fast);
  return fast;
}

void ToneRunFast(const uint8* in, uint8* out, int32 count, const ToneFast& fast) {
  if (count <= 0) return;
  const int32 done = ToneRunVector(in, out, count, fast);
  const TonePlan& plan = fast.plan;
  ToneRunReference(in + done * plan.inStep, out + done * plan.outStep, count - done, plan);
}
