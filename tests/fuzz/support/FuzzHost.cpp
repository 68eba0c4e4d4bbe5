#include "support/FuzzHost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/Handles.h"
#include "plugin/Entry.h"
#include "plugin/TintParameters.h"

FuzzHost* FuzzHost::current = nullptr;

namespace {
// A host refuses buffers beyond this size, as a real host runs out of memory, and
// stops delivering once a run has been served this much in all: it keeps every
// execution short while the geometry stays arbitrary.
constexpr long kMaxBufferBytes = 1L << 18;
constexpr long kMaxServedBytes = 1L << 20;
// The plug-in asks abortProc once per pixel of the rectangle even when a host
// delivered no buffers; past this many questions the user of this host cancels.
constexpr int kMaxAbortQuestions = 1 << 18;
} // namespace

FuzzHost::FuzzHost(FuzzedDataProvider& fuzz) {
  current = this;
  record = static_cast<FilterRecord*>(std::calloc(1, kFilterRecordSize60));
  procs_ = HandleProcs{1, 8, New, Dispose, GetSize, SetSize, Lock, Unlock, nullptr, nullptr};

  FilterRecord& r = *record;
  r.imageSize = Point{fuzz.ConsumeIntegral<int16>(), fuzz.ConsumeIntegral<int16>()};
  r.planes = fuzz.ConsumeIntegralInRange<int16>(-2, 8);
  r.filterRect = Rect{
      fuzz.ConsumeIntegralInRange<int16>(-40, 300), fuzz.ConsumeIntegralInRange<int16>(-40, 300),
      fuzz.ConsumeIntegralInRange<int16>(-40, 300), fuzz.ConsumeIntegralInRange<int16>(-40, 300)};
  if (fuzz.ConsumeBool()) {
    // Occasionally the whole 16-bit range, to reach the arithmetic's limits.
    r.filterRect = Rect{fuzz.ConsumeIntegral<int16>(), fuzz.ConsumeIntegral<int16>(),
                        fuzz.ConsumeIntegral<int16>(), fuzz.ConsumeIntegral<int16>()};
  }
  r.imageMode = fuzz.ConsumeIntegralInRange<int16>(-1, 13);
  r.maxSpace = fuzz.ConsumeIntegral<int32>();
  r.handleProcs = fuzz.ConsumeBool() ? &procs_ : nullptr;
  r.abortProc = Abort;
  r.progressProc = Progress;
  if (fuzz.ConsumeBool()) r.advanceState = Advance;
  if (fuzz.ConsumeBool()) r.displayPixels = Display;
  for (auto& b : r.foreColor)
    b = fuzz.ConsumeIntegral<unsigned char>();
  failAdvanceAt = fuzz.ConsumeIntegralInRange<int>(-1, 4);
  abortAt = fuzz.ConsumeIntegralInRange<int>(-1, 5000);
  extraRowBytes_ = fuzz.ConsumeIntegralInRange<int>(0, 5);

  sizesKnown_ = fuzz.ConsumeBool();
  if (fuzz.ConsumeBool()) {
    // A parameter record that the host kept, of arbitrary bytes: of the record's size,
    // or, where the suite tells sizes, of any size up to a little more (a record
    // saved by an older or newer version, a state that kept only its first bytes).
    // A host that answers 0 for every size cannot tell the plug-in of a short one.
    auto size = static_cast<int32>(sizeof(TintParameters));
    if (sizesKnown_ && r.handleProcs != nullptr)
      size = fuzz.ConsumeIntegralInRange<int32>(0, size + 8);
    Handle h = New(size);
    for (int32 i = 0; i < size; ++i)
      (*h)[i] = static_cast<char>(fuzz.ConsumeIntegral<uint8>());
    r.parameters = h;
  }
  nullDataAt_ = fuzz.ConsumeIntegralInRange<int>(-1, 3);
  if (fuzz.ConsumeBool()) {
    // An image that holds the filter rectangle, up to a few pixels more, as real
    // hosts have it: requests past the rectangle are then findings.
    r.imageSize.v = int16(std::max<int>(r.filterRect.bottom, 0) +
                          fuzz.ConsumeIntegralInRange<int>(0, 3) * (r.filterRect.bottom < 32767));
    r.imageSize.h = int16(std::max<int>(r.filterRect.right, 0) +
                          fuzz.ConsumeIntegralInRange<int>(0, 3) * (r.filterRect.right < 32767));
  }
  hostFilterRect_ = r.filterRect;
}

FuzzHost::~FuzzHost() {
  FreeBuffers();
  // Handles that the plug-in made from operating-system memory, because this host
  // offered no handle suite, are released the way the plug-in made them.
  for (Handle h : {reinterpret_cast<Handle>(slot_), Handle{record->parameters}}) {
    if (h != nullptr && handles_.count(h) == 0) DisposePluginHandle(nullptr, h);
  }
  for (const auto& [h, size] : handles_) {
    std::free(*h);
    std::free(h);
  }
  std::free(record);
  current = nullptr;
}

int16 FuzzHost::Call(int16 selector) {
  current = this;
  result_ = 0x1234;
  ENTRYPOINT(selector, record, &slot_, &result_);
  return result_;
}

void FuzzHost::FreeBuffers() {
  std::free(in_);
  std::free(out_);
  in_ = out_ = nullptr;
  record->inData = nullptr;
  record->outData = nullptr;
}

bool FuzzHost::RectanglesEmpty() const {
  const Rect r = record->outRect;
  const Rect i = record->inRect;
  return (r.bottom <= r.top || r.right <= r.left) && (i.bottom <= i.top || i.right <= i.left);
}

void FuzzHost::RefuseOverhang(const Rect& q, Fixed rate) const {
  const Rect& f = hostFilterRect_;
  const Point image = record->imageSize;
  // Only a rectangle with pixels, lying in the image, is held to: an empty one still
  // gets its one strip, and one outside the image is the host's own doing.
  if (f.bottom <= f.top || f.right <= f.left) return;
  if (f.top < 0 || f.left < 0 || f.bottom > image.v || f.right > image.h) return;
  // A reduced request's pixel c covers image pixels c * scale up to (c + 1) * scale:
  // its first pixel may start before the rectangle (the reduction rounds the
  // rectangle's start down), its end may not pass the rectangle's.
  const long scale = std::max<long>(rate / 65536, 1);
  if (q.top < f.top / scale || q.left < f.left / scale || long(q.bottom) * scale > f.bottom ||
      long(q.right) * scale > f.right) {
    std::fprintf(stderr,
                 "request %d,%d,%d,%d at rate %ld reaches past the filter rectangle "
                 "%d,%d,%d,%d (image %dx%d)\n",
                 q.top, q.left, q.bottom, q.right, scale, f.top, f.left, f.bottom, f.right, image.h,
                 image.v);
    std::abort();
  }
}

OSErr FuzzHost::Serve() {
  FreeBuffers();
  FilterRecord& r = *record;
  // Copies of the record's fields: members of the packed record are never
  // addressed through pointers, which could be misaligned.
  struct Side {
    Rect rect;
    int16 lo, hi;
    unsigned char* buffer;
    int32 rowBytes;
  } sides[] = {{r.inRect, r.inLoPlane, r.inHiPlane, nullptr, 0},
               {r.outRect, r.outLoPlane, r.outHiPlane, nullptr, 0}};
  for (Side& s : sides) {
    const long rows = long(s.rect.bottom) - s.rect.top;
    const long cols = long(s.rect.right) - s.rect.left;
    if (rows <= 0 || cols <= 0) continue; // nothing to deliver
    RefuseOverhang(s.rect, r.inputRate);
    const long planes = long(s.hi) - s.lo + 1;
    OSErr refusal = noErr;
    if (s.lo < 0 || planes <= 0 || s.hi >= r.planes) refusal = paramErr;
    const long rowBytes = cols * planes + extraRowBytes_;
    // The last row carries no padding: the buffer ends exactly at the last pixel.
    const long bytes = (rows - 1) * rowBytes + cols * planes;
    if (refusal == noErr && (bytes > kMaxBufferBytes || servedBytes_ + bytes > kMaxServedBytes))
      refusal = memFullErr;
    if (refusal != noErr) {
      for (Side& done : sides)
        std::free(done.buffer);
      return refusal;
    }
    servedBytes_ += bytes;
    s.buffer = static_cast<unsigned char*>(std::malloc(size_t(bytes)));
    for (long i = 0; i < bytes; ++i)
      s.buffer[i] = static_cast<unsigned char>(i * 7 + 3);
    s.rowBytes = static_cast<int32>(rowBytes);
  }
  in_ = sides[0].buffer;
  out_ = sides[1].buffer;
  r.inData = in_;
  r.inRowBytes = sides[0].rowBytes;
  r.outData = out_;
  r.outRowBytes = sides[1].rowBytes;
  return noErr;
}

Handle FuzzHost::New(int32 size) {
  FuzzHost* host = current;
  if (size < 0 || size > (1 << 20)) return nullptr;
  auto h = static_cast<Handle>(std::malloc(sizeof(char*)));
  if (++host->newCalls_ == host->nullDataAt_) {
    *h = nullptr;
  } else {
    *h = static_cast<char*>(std::malloc(size_t(size) + 0)); // exactly the size asked for
    if (*h == nullptr) *h = static_cast<char*>(std::malloc(1));
  }
  host->handles_[h] = size;
  return h;
}

void FuzzHost::Dispose(Handle h) {
  if (h == nullptr || current->handles_.erase(h) == 0) return;
  std::free(*h);
  std::free(h);
}

int32 FuzzHost::GetSize(Handle h) {
  const auto it = current->handles_.find(h);
  return current->sizesKnown_ && it != current->handles_.end() ? it->second : 0;
}
OSErr FuzzHost::SetSize(Handle, int32) {
  return memFullErr;
}
Ptr FuzzHost::Lock(Handle h, Boolean) {
  return *h;
}
void FuzzHost::Unlock(Handle) {}

Boolean FuzzHost::Abort() {
  FuzzHost* h = current;
  ++h->abortCalls;
  return h->abortCalls == h->abortAt || h->abortCalls > kMaxAbortQuestions;
}

void FuzzHost::Progress(int32, int32) {}

OSErr FuzzHost::Advance() {
  FuzzHost* h = current;
  if (++h->advanceCalls == h->failAdvanceAt) return memFullErr;
  return h->Serve();
}

OSErr FuzzHost::Display(const PSPixelMap*, const VRect*, int32, int32, void*) {
  return noErr;
}
