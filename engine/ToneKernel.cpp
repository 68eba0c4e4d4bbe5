#include "engine/ToneKernel.h"

#include "engine/ToneJob.h"
#include "plugin/TintParameters.h"

int16 PlanesForMode(int16 mode, int16 defaultPlanes) {
  // Indexed by the image mode; 0 marks the multichannel mode, which has no fixed count.
  constexpr int16 kPlanes[] = {1, 1, 3, 3, 4, 3, 3, 0, 1, 3, 1, 3};
  constexpr int16 kModes = int16(sizeof kPlanes / sizeof kPlanes[0]);
  if (mode < 0 || mode >= kModes || mode == plugInModeMultichannel) return defaultPlanes;
  return kPlanes[mode];
}

ToneJob MakeToneJob(const FilterRecord* fr) {
  ToneJob job;
  job.rows = int32(fr->outRect.bottom) - int32(fr->outRect.top);
  job.columns = int32(fr->outRect.right) - int32(fr->outRect.left);
  job.total = int32(fr->filterRect.bottom) - int32(fr->filterRect.top);
  job.firstDone = int32(fr->outRect.top) - int32(fr->filterRect.top);
  job.in = static_cast<const uint8*>(fr->inData);
  job.out = static_cast<uint8*>(fr->outData);
  job.inRowBytes = fr->inRowBytes;
  job.outRowBytes = fr->outRowBytes;

  bool apply[3] = {false, false, false};
  int16 tone[3] = {0, 0, 0};
  if (const TintParameters* p = GetParameters(fr)) {
    apply[0] = p->applyRed != 0;
    apply[1] = p->applyGreen != 0;
    apply[2] = p->applyBlue != 0;
    tone[0] = p->toneRed;
    tone[1] = p->toneGreen;
    tone[2] = p->toneBlue;
  }
  int16 handled = PlanesForMode(fr->imageMode, 0);
  // Without both buffers there is nothing to read or write: the questions and the
  // progress still follow the rectangle.
  if (job.in == nullptr || job.out == nullptr) handled = 0;
  job.plan = MakeTonePlan(handled, int32(fr->inHiPlane) - int32(fr->inLoPlane) + 1, fr->planes,
                          apply, tone);
  return job;
}

namespace {

void ReportProgress(const FilterRecord* fr, const ToneJob& job, int32 row) {
  // The host's progressProc is optional in practice; a missing one gets no report.
  if (fr->progressProc != nullptr) fr->progressProc(job.firstDone + row, job.total);
}

} // namespace

// Asks the abort question for each pixel of a row before writing any of them, then
// tones the pixels that came before a "true" answer in one run: the host's question
// still precedes the writing of every pixel, and the run can be done many pixels at
// a time.
void ToneBuffers(PluginGlobals* globals, bool progress) {
  const FilterRecord* fr = globals->filterRecord;
  const ToneJob job = MakeToneJob(fr);
  if (job.rows <= 0) return;
  const TestAbortProc abortProc = fr->abortProc;
  const ToneFast fast = MakeToneFast(job.plan);

  for (int32 r = 0; r < job.rows; ++r) {
    if (progress) ReportProgress(fr, job, r);
    int32 run = job.columns > 0 ? job.columns : 0;
    bool aborted = false;
    if (abortProc != nullptr) {
      for (int32 c = 0; c < run; ++c) {
        if (abortProc()) {
          run = c;
          aborted = true;
          break;
        }
      }
    }
    ToneRunFast(job.in + r * job.inRowBytes, job.out + r * job.outRowBytes, run, fast);
    if (aborted) {
      *globals->result = userCanceledErr;
      return;
    }
  }
}
