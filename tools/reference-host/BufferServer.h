// Serves the plug-in's requested rectangles as a host does: input, output and
// mask buffers for inRect/outRect/maskRect with the planes, sampling rate and
// padding the record asks for, and writes each output buffer back into the image
// (clipped to the image and the host's filter rectangle) before the next request
// is served or when the plug-in's call returns. Input always comes from the image
// as it was when the run began (the source), as in editors that filter from a
// snapshot: an output written back earlier in the run (a full-resolution preview
// proxy, say) is never read again as input.
#pragma once

#include <string>

#include "GuardedMemory.h"
#include "HostImage.h"
#include "HostProfile.h"
#include "sdk/FilterRecord.h"

class BufferServer {
public:
  // The profile decides the served rate, the column bytes, what lies outside the
  // image, whether the record's rectangles are clipped in place, whether
  // inLoPlane counts, and the mask of a floating selection.
  BufferServer(HostImage& image, const Rect& filterRect,
               const HostProfile& profile = StrictProfile())
      : image_(image), source_(image), filterRect_(filterRect), profile_(profile) {}

  // Writes back any pending output, then fills the record's inData, outData and
  // maskData (and their row bytes) for its current rectangles. Returns noErr or
  // the error a host reports (a plane outside the image, a bounds error the
  // plug-in asked for with plugInWantsErrorOnBoundsException).
  OSErr Serve(FilterRecord& record, const char* caller);
  // Writes the last served output buffer into the image, once.
  void Flush();
  // Drops all buffers and clears the record's data pointers.
  void Release(FilterRecord& record);

  int Strips() const { return strips_; }
  // A hash of the last output buffer as served back to the image (for traces).
  uint32_t LastOutputHash() const { return lastOutputHash_; }

private:
  struct Served {
    GuardedBlock block;
    Rect rect{};
    int lo = 0, hi = -1;
    Fixed rate = 65536;
    int32 rowBytes = 0;
  };
  OSErr Fill(Served& served, const HostImage& from, const Rect& rect, int lo, int hi, Fixed rate,
             int16 padding, const char* what);
  void FillMask(const Rect& rect);
  bool MaskFromAlpha() const;
  void ClipInPlace(FilterRecord& record) const;

  HostImage& image_;
  const HostImage source_; // the image as the run found it: what input is read from
  Rect filterRect_;
  const HostProfile& profile_;
  Served in_, out_, mask_;
  bool pending_ = false;
  int strips_ = 0;
  uint32_t lastOutputHash_ = 0;
};

// Composes the srcRect part of a pixel map into top-down 32-bit BGRX rows, the
// map's mask (version 1 and later) blended over a grey checkerboard as editors
// show transparency. False with a reason for a map it cannot show.
bool ComposePixelMap(const PSPixelMap& map, const VRect& srcRect, std::vector<uint8_t>& bgrx,
                     int& width, int& height, std::string& error);
