// The engine's selectors against a host whose geometry and parameter record are
// arbitrary: Prepare, Start on both paths, and Continue until the host is told
// that nothing remains. The dialog in between computes the proxy several times at
// arbitrary zoom, pan offsets and preview sizes and tones it, restoring filterRect
// from imageRect before every later computation and on closing, as the dialog does.
#include <cstdlib>

#include "engine/ProxyGeometry.h"
#include "engine/Selectors.h"
#include "plugin/TintParameters.h"
#include "support/FuzzHost.h"
#include "support/FuzzPlatform.h"

namespace {
// More Continue calls than any 16-bit filter rectangle can need: beyond it the
// strip loop is not making progress.
constexpr int kContinueLimit = 70000;

// One modal dialog: previews at arbitrary geometry, then OK or Cancel.
bool FuzzedDialog(FuzzedDataProvider& fuzz, PluginGlobals* globals) {
  FilterRecord* fr = globals->filterRecord;
  globals->previewRect = Rect{0, 0, fuzz.ConsumeIntegralInRange<int16>(-4, 400),
                              fuzz.ConsumeIntegralInRange<int16>(-4, 400)};
  if (fuzz.ConsumeIntegralInRange<int>(0, 7) == 0) {
    globals->previewRect.bottom = fuzz.ConsumeIntegral<int16>();
    globals->previewRect.right = fuzz.ConsumeIntegral<int16>();
  }
  const int previews = fuzz.ConsumeIntegralInRange<int>(0, 4);
  for (int i = 0; i < previews; ++i) {
    TintParameters* p = GetParameters(fr);
    if (p == nullptr) break;
    if (i > 0) fr->filterRect = p->imageRect; // the host's rectangle again
    if (fuzz.ConsumeBool()) {
      p->zoom = fuzz.ConsumeIntegralInRange<int16>(1, 16);
      p->offsetH = fuzz.ConsumeIntegralInRange<int16>(-300, 300);
      p->offsetV = fuzz.ConsumeIntegralInRange<int16>(-300, 300);
    } else {
      // The record is the host's: any values, a zoom below 1 among them.
      p->zoom = fuzz.ConsumeIntegral<int16>();
      p->offsetH = fuzz.ConsumeIntegral<int16>();
      p->offsetV = fuzz.ConsumeIntegral<int16>();
    }
    p->toneRed = fuzz.ConsumeIntegral<int16>();
    p->applyGreen = fuzz.ConsumeIntegral<uint8>();
    ComputeProxy(globals);
    // A first preview that the host refuses turns the preview off.
    if (i == 0 && *globals->result != noErr) *globals->result = noErr;
    TonePreview(globals, false);
  }
  if (previews > 0) {
    if (const TintParameters* p = GetParameters(fr)) fr->filterRect = p->imageRect;
  }
  if (fuzz.ConsumeIntegralInRange<int>(0, 7) == 0) {
    *globals->result = userCanceledErr;
    return false;
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fuzz(data, size);
  dialogRequested = fuzz.ConsumeBool();
  const bool askParameters = fuzz.ConsumeBool();
  FuzzHost host(fuzz);
  fuzzDialog = [&fuzz](PluginGlobals* globals) { return FuzzedDialog(fuzz, globals); };

  if (askParameters && host.Call(filterSelectorParameters) != noErr) return 0;
  if (host.Call(filterSelectorPrepare) != noErr) return 0;
  if (host.Call(filterSelectorStart) != noErr) return 0;
  for (int i = 0; !host.RectanglesEmpty(); ++i) {
    if (i == kContinueLimit) std::abort();
    if (host.Serve() != noErr) break;
    if (host.Call(filterSelectorContinue) != noErr) break;
  }
  host.Call(filterSelectorFinish);
  fuzzDialog = nullptr;
  return 0;
}
