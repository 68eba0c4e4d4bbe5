// The engine's selectors against a host whose geometry and parameter record are
// arbitrary: Prepare, Start on both paths, and Continue until the host is told
// that nothing remains.
#include <cstdlib>

#include "plugin/TintParameters.h"
#include "support/FuzzHost.h"
#include "support/FuzzPlatform.h"

namespace {
// More Continue calls than any 16-bit filter rectangle can need: beyond it the
// strip loop is not making progress.
constexpr int kContinueLimit = 70000;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fuzz(data, size);
  dialogRequested = fuzz.ConsumeBool();
  const bool askParameters = fuzz.ConsumeBool();
  FuzzHost host(fuzz);
  fuzzDialog = nullptr;

  if (askParameters && host.Call(filterSelectorParameters) != noErr) return 0;
  if (host.Call(filterSelectorPrepare) != noErr) return 0;
  if (host.Call(filterSelectorStart) != noErr) return 0;
  for (int i = 0; !host.RectanglesEmpty(); ++i) {
    if (i == kContinueLimit) std::abort();
    if (host.Serve() != noErr) break;
    if (host.Call(filterSelectorContinue) != noErr) break;
  }
  host.Call(filterSelectorFinish);
  return 0;
}
