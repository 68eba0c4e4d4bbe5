#include "reference/ToneBuffersReference.h"

#include "engine/ToneJob.h"

void ToneBuffersReference(PluginGlobals* globals, bool progress) {
  const FilterRecord* fr = globals->filterRecord;
  const ToneJob job = MakeToneJob(fr);
  if (job.rows <= 0) return;

  for (int32 r = 0; r < job.rows; ++r) {
    const uint8* in = job.in + r * job.inRowBytes;
    uint8* out = job.out + r * job.outRowBytes;
    if (progress && fr->progressProc != nullptr) fr->progressProc(job.firstDone + r, job.total);
    for (int32 c = 0; c < job.columns; ++c) {
      if (fr->abortProc != nullptr && fr->abortProc()) {
        *globals->result = userCanceledErr;
        return;
      }
      ToneRunReference(in + c * job.plan.inStep, out + c * job.plan.outStep, 1, job.plan);
    }
  }
}
