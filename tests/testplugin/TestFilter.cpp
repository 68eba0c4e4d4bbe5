// The test filter: inverts the colour planes of what the host serves, strip by
// strip or in one advanceState pass, and checks what it is served on the way.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "TestFilter.h"

TestState testState;
void* testModule = nullptr;

namespace {

constexpr int32 kMagic = 0x54535446;
constexpr OSErr errReportString = -30904;

struct Globals {
  int32 magic;
  int32 calls;
  int16 stripRows;
};

struct Parameters {
  int32 magic;
  int32 runs;
};

// Handles through the host's suite, or plain memory when the host has none.
Handle NewHandle(FilterRecord* record, int32 size) {
  if (record->handleProcs != nullptr) return record->handleProcs->newProc(size);
  auto* handle = static_cast<Handle>(std::malloc(sizeof(Ptr)));
  *handle = static_cast<Ptr>(std::calloc(1, std::size_t(size)));
  return handle;
}

Ptr LockHandle(FilterRecord* record, Handle handle) {
  return record->handleProcs ? record->handleProcs->lockProc(handle, 1) : *handle;
}

void UnlockHandle(FilterRecord* record, Handle handle) {
  if (record->handleProcs) record->handleProcs->unlockProc(handle);
}

Parameters* EnsureParameters(FilterRecord* record) {
  if (record->parameters == nullptr) {
    record->parameters = NewHandle(record, sizeof(Parameters));
    auto* p = reinterpret_cast<Parameters*>(*record->parameters);
    p->magic = kMagic;
    p->runs = 0;
  }
  auto* p = reinterpret_cast<Parameters*>(*record->parameters);
  if (p->magic != kMagic) TestFail("the parameters handle came back changed");
  return p;
}

void Progress(FilterRecord* record, int done, int total) {
  if (record->progressProc) record->progressProc(done, total);
}

bool Inside(const FilterRecord* r, int row, int col) {
  return row >= 0 && col >= 0 && row < r->imageSize.v && col < r->imageSize.h;
}

// Inverts the colour planes (0..2) of the served rectangle; further planes are
// copied. With padding checks, pixels outside the image must hold the padding.
void InvertServed(FilterRecord* r, bool checkPadding) {
  const Rect& rect = r->outRect;
  int planes = r->outHiPlane - r->outLoPlane + 1;
  const auto* in = static_cast<const uint8*>(r->inData);
  auto* out = static_cast<uint8*>(r->outData);
  if (in == nullptr || out == nullptr) {
    TestFail("the host served no buffer for a non-empty rectangle");
    return;
  }
  for (int y = rect.top; y < rect.bottom; ++y) {
    const uint8* inRow = in + ptrdiff_t(y - rect.top) * r->inRowBytes;
    uint8* outRow = out + ptrdiff_t(y - rect.top) * r->outRowBytes;
    for (int x = rect.left; x < rect.right; ++x) {
      for (int p = 0; p < planes; ++p) {
        uint8 value = inRow[(x - rect.left) * planes + p];
        uint8& target = outRow[(x - rect.left) * planes + p];
        // The destination starts as a copy of the source, until a strip is asked for again.
        if (target != value && !testState.config.stuck) {
          TestFail("the output buffer did not start as a copy of the input");
        }
        if (checkPadding && !Inside(r, y, x)) {
          ++testState.paddingChecked;
          if (value != 255) TestFail("a pixel outside the image was not padded with 255");
        }
        target = p + r->outLoPlane < 3 ? uint8(255 - value) : value;
      }
    }
  }
}

void SetRects(FilterRecord* r, const Rect& rect) {
  r->inRect = r->outRect = r->maskRect = rect;
}

void SetWhole(FilterRecord* r, Fixed rate, int16 padding) {
  r->inLoPlane = r->outLoPlane = 0;
  r->inHiPlane = r->outHiPlane = int16(r->planes - 1);
  r->inputRate = r->maskRate = rate;
  r->inputPadding = r->outputPadding = r->maskPadding = padding;
}

// Asks for rect (input only) and compares every delivered pixel with the
// reference copy or the expected padding.
void CheckFetch(FilterRecord* r, const std::vector<uint8>& reference, const Rect& rect, int lo,
                int hi, Fixed rate, int16 padding, const char* what) {
  const Rect& f = r->filterRect;
  int refPlanes = r->planes;
  int refWidth = f.right - f.left;
  r->inRect = rect;
  r->outRect = r->maskRect = Rect{};
  r->inLoPlane = int16(lo);
  r->inHiPlane = int16(hi);
  r->inputRate = rate;
  r->inputPadding = padding;
  OSErr result = r->advanceState();
  if (padding == plugInWantsErrorOnBoundsException) {
    if (result == noErr)
      TestFail(std::string(what) + ": no error for a rectangle outside the image");
    else
      ++testState.checksPassed;
    return;
  }
  if (result != noErr) {
    TestFail(std::string(what) + ": advanceState failed");
    return;
  }
  int planes = hi - lo + 1;
  int width = rect.right - rect.left;
  if (r->inRowBytes < width * planes) {
    TestFail(std::string(what) + ": inRowBytes smaller than the row");
    return;
  }
  const auto* in = static_cast<const uint8*>(r->inData);
  for (int y = rect.top; y < rect.bottom; ++y) {
    for (int x = rect.left; x < rect.right; ++x) {
      int64_t iy = (int64_t(y) * rate) >> 16, ix = (int64_t(x) * rate) >> 16;
      bool inside = Inside(r, int(iy), int(ix));
      if (!inside && padding == plugInWantsEdgeReplication) {
        iy = std::clamp<int64_t>(iy, 0, r->imageSize.v - 1);
        ix = std::clamp<int64_t>(ix, 0, r->imageSize.h - 1);
        inside = true;
      }
      for (int p = 0; p < planes; ++p) {
        uint8 got = in[ptrdiff_t(y - rect.top) * r->inRowBytes + (x - rect.left) * planes + p];
        if (!inside) {
          if (got != padding) {
            TestFail(std::string(what) + ": padding " + std::to_string(got) + " at " +
                     std::to_string(y) + "," + std::to_string(x));
            return;
          }
          continue;
        }
        if (iy < f.top || iy >= f.bottom || ix < f.left || ix >= f.right) continue;
        uint8 want = reference[std::size_t((iy - f.top) * refWidth + (ix - f.left)) *
                                   std::size_t(refPlanes) +
                               std::size_t(lo + p)];
        if (got != want) {
          TestFail(std::string(what) + ": pixel " + std::to_string(y) + "," + std::to_string(x) +
                   " plane " + std::to_string(lo + p) + " is " + std::to_string(got) +
                   ", expected " + std::to_string(want));
          return;
        }
      }
    }
  }
  ++testState.checksPassed;
}

void RunChecks(FilterRecord* r) {
  const Rect f = r->filterRect;
  int width = f.right - f.left, height = f.bottom - f.top, planes = r->planes;
  // The reference: the whole filter rectangle at full resolution.
  SetWhole(r, 65536, 255);
  SetRects(r, Rect{});
  r->inRect = f;
  if (r->advanceState() != noErr || r->inData == nullptr) {
    TestFail("advanceState did not deliver the filter rectangle");
    return;
  }
  std::vector<uint8> reference(std::size_t(width) * std::size_t(height) * std::size_t(planes));
  for (int y = 0; y < height; ++y) {
    std::memcpy(reference.data() + std::size_t(y) * std::size_t(width * planes),
                static_cast<const uint8*>(r->inData) + ptrdiff_t(y) * r->inRowBytes,
                std::size_t(width * planes));
  }
  ++testState.checksPassed;
  int last = planes - 1;
  int16 H = r->imageSize.v, W = r->imageSize.h;
  CheckFetch(r, reference,
             Rect{int16(f.top / 2), int16(f.left / 2), int16(f.bottom / 2), int16(f.right / 2)}, 0,
             last, 2 * 65536, 255, "rate 2");
  CheckFetch(r, reference,
             Rect{int16(f.top * 2 / 3), int16(f.left * 2 / 3), int16(f.bottom * 2 / 3),
                  int16(f.right * 2 / 3)},
             0, last, 98304, 255, "rate 1.5");
  CheckFetch(r, reference, Rect{-3, -3, 5, 5}, 0, last, 65536, 255, "padding 255");
  CheckFetch(r, reference, Rect{-3, -3, 5, 5}, 0, last, 65536, 7, "padding 7");
  CheckFetch(r, reference, Rect{-3, -3, 5, 5}, 0, last, 65536, plugInWantsEdgeReplication, "edge");
  CheckFetch(r, reference, Rect{-3, -3, 5, 5}, 0, last, 65536, plugInWantsErrorOnBoundsException,
             "bounds error");
  CheckFetch(r, reference, Rect{10, 10, 20, 21}, 1, 1, 65536, 255, "green plane");
  CheckFetch(r, reference, Rect{int16(H - 2), int16(W - 2), int16(H + 3), int16(W + 3)}, 0, last,
             65536, 255, "bottom right");
}

void FilterWhole(FilterRecord* r) {
  SetWhole(r, 65536, 255);
  SetRects(r, r->filterRect);
  if (r->advanceState() != noErr) {
    TestFail("advanceState failed for the whole image");
  } else {
    InvertServed(r, false);
    Progress(r, 1, 1);
  }
  SetRects(r, Rect{});
}

void Prepare(FilterRecord* r, Globals* g) {
  r->bufferSpace = 0;
  testState.config = TestConfig{};
  ReadTestConfig(r);
  g->stripRows = int16(std::max(1, testState.config.rows));
}

void Start(FilterRecord* r, Globals* g, int16* result) {
  Parameters* p = EnsureParameters(r);
  testState.runs = ++p->runs;
  ReadEcho(r);
  if (testState.config.leak) NewHandle(r, 16); // deliberately never disposed of
  if (testState.config.readPast) {
    // The current record's last byte lies past the 6.0-era record for both
    // bitnesses (maxSpace64 does only for 64-bit: the 32-bit 6.0-era record's
    // reserved bytes still cover it): a host that allocates only that much must
    // not let this read succeed silently.
    volatile char past = reinterpret_cast<volatile const char*>(r)[sizeof(FilterRecord) - 1];
    (void)past;
  }
  if (testState.config.checks && r->advanceState != nullptr) RunChecks(r);
  if (!testState.failure.empty()) return;
  if (testState.config.dialog && !RunTestDialog(r)) {
    *result = userCanceledErr;
    return;
  }
  if (testState.config.advancePath && r->advanceState != nullptr) {
    FilterWhole(r);
    return;
  }
  SetWhole(r, 65536, 255);
  const Rect& f = r->filterRect;
  int over = testState.config.over;
  SetRects(r,
           Rect{f.top, int16(f.left - over), int16(f.top + g->stripRows), int16(f.right + over)});
}

void Continue(FilterRecord* r, Globals* g, int16* result) {
  if (r->abortProc && r->abortProc()) {
    *result = userCanceledErr;
    return;
  }
  InvertServed(r, true);
  ++testState.strips;
  const Rect& f = r->filterRect;
  Progress(r, std::min(r->inRect.bottom, f.bottom) - f.top, f.bottom - f.top);
  if (testState.config.stuck) return; // asks for the same strip again, forever
  Rect next = r->inRect;
  next.top = int16(next.top + g->stripRows);
  next.bottom = int16(next.bottom + g->stripRows);
  SetRects(r, next.top < f.bottom ? next : Rect{});
}

} // namespace

void TestFail(const std::string& what) {
  if (testState.failure.empty()) testState.failure = what;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) testModule = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) void TestFilterMain(int16 selector, void* block, intptr_t* data,
                                                     int16* result) noexcept {
  if (selector == filterSelectorAbout) {
    auto* about = static_cast<AboutRecord*>(block);
    HWND owner = reinterpret_cast<HWND>(static_cast<PlatformData*>(about->platformData)->hwnd);
    MessageBoxA(owner, "Test filter for the reference host", "About TestFilter", MB_OK);
    return;
  }
  auto* r = static_cast<FilterRecord*>(block);
  if (*data == 0) {
    Handle handle = NewHandle(r, sizeof(Globals));
    auto* g = reinterpret_cast<Globals*>(*handle);
    *g = Globals{kMagic, 0, 1};
    *data = reinterpret_cast<intptr_t>(handle);
  }
  auto handle = reinterpret_cast<Handle>(*data);
  auto* g = reinterpret_cast<Globals*>(LockHandle(r, handle));
  if (g == nullptr || g->magic != kMagic) {
    *result = memFullErr;
    return;
  }
  ++g->calls;
  *result = noErr;
  char mark[8];
  std::snprintf(mark, sizeof mark, "%s%d", testState.sequence.empty() ? "" : " ", selector);
  switch (selector) {
  case filterSelectorParameters:
    testState.sequence = "1";
    testState.failure.clear();
    testState.checksPassed = testState.strips = testState.paddingChecked = 0;
    testState.dialog = DialogRecord{};
    EnsureParameters(r);
    break;
  case filterSelectorPrepare:
    if (testState.sequence.empty() || testState.sequence.back() == '5') {
      testState.sequence.clear();
      testState.failure.clear();
      testState.checksPassed = testState.strips = testState.paddingChecked = 0;
      testState.dialog = DialogRecord{};
      std::snprintf(mark, sizeof mark, "%d", selector);
    }
    testState.sequence += mark;
    Prepare(r, g);
    break;
  case filterSelectorStart:
    testState.sequence += mark;
    Start(r, g, result);
    break;
  case filterSelectorContinue:
    testState.sequence += mark;
    Continue(r, g, result);
    break;
  case filterSelectorFinish:
    testState.sequence += mark;
    WriteReport(r);
    break;
  default:
    *result = filterBadParameters;
    break;
  }
  if (!testState.failure.empty() && *result == noErr && selector != filterSelectorFinish) {
    std::size_t length = std::min<std::size_t>(testState.failure.size(), 255);
    if (r->errorString != nullptr) {
      (*r->errorString)[0] = uint8(length);
      std::memcpy(*r->errorString + 1, testState.failure.data(), length);
    }
    *result = errReportString;
  }
  UnlockHandle(r, handle);
}
