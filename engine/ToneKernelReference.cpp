// The tone rule, one pixel at a time: the plain version that the faster one must match.
#include <algorithm>

#include "engine/TonePlan.h"

TonePlan MakeTonePlan(int16 handledPlanes, int32 inStep, int32 outStep, const bool apply[3],
                      const int16 tone[3]) {
  TonePlan plan;
  plan.inStep = inStep;
  plan.outStep = outStep;
  // Never write past the output pixel, nor more bytes than the kernel handles at all.
  const int32 written = std::clamp(std::min<int32>(handledPlanes, outStep), 0, kMaxHandledPlanes);
  const bool sumInside = inStep >= 3; // the three summed values lie inside the input pixel
  for (int32 k = 0; k < written; ++k) {
    if (k < 3 && sumInside && apply[k]) {
      plan.action[k] = ByteAction::Tone;
    } else if (k < inStep) {
      plan.action[k] = ByteAction::Copy;
    }
  }
  for (int k = 0; k < 3; ++k)
    plan.tone[k] = std::clamp<int32>(tone[k], 0, 255);
  return plan;
}

void ToneRunReference(const uint8* in, uint8* out, int32 count, const TonePlan& plan) {
  if (std::all_of(plan.action, plan.action + kMaxHandledPlanes,
                  [](ByteAction a) { return a == ByteAction::Keep; })) {
    return;
  }
  for (int32 i = 0; i < count; ++i) {
    const uint8* p = in + i * plan.inStep;
    uint8* q = out + i * plan.outStep;
    int32 sum = 0;
    if (plan.action[0] == ByteAction::Tone || plan.action[1] == ByteAction::Tone ||
        plan.action[2] == ByteAction::Tone) {
      sum = int32(p[0]) + int32(p[1]) + int32(p[2]);
    }
    uint8 value[kMaxHandledPlanes] = {};
    for (int k = 0; k < kMaxHandledPlanes; ++k) {
      if (plan.action[k] == ByteAction::Tone) {
        value[k] = uint8((sum + plan.tone[k]) / 4);
      } else if (plan.action[k] == ByteAction::Copy) {
        value[k] = p[k];
      }
    }
    for (int k = 0; k < kMaxHandledPlanes; ++k) {
      if (plan.action[k] != ByteAction::Keep) q[k] = value[k];
    }
  }
}
