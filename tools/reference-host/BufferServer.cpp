#include "BufferServer.h"

#include <algorithm>

#include "Trace.h"

namespace {

int64_t Scaled(int coordinate, Fixed rate) {
  // floor(coordinate * rate): the image pixel that a sampled pixel stands for.
  return (int64_t(coordinate) * rate) >> 16;
}

const char* PaddingText(int16 padding, char* buffer, std::size_t size) {
  switch (padding) {
  case plugInWantsEdgeReplication:
    return "edge";
  case plugInDoesNotWantPadding:
    return "none";
  case plugInWantsErrorOnBoundsException:
    return "error";
  default:
    std::snprintf(buffer, size, "%d", padding);
    return buffer;
  }
}

} // namespace

OSErr BufferServer::Fill(Served& target, const HostImage& from, const Rect& rect, int lo, int hi,
                         Fixed rate, int16 padding, const char* what) {
  // The new buffer is made while the old one still exists, so that every request
  // gets a new address: a plug-in that keeps a buffer pointer from an earlier
  // request shows its fault.
  Served served;
  if (RectEmpty(rect) || hi < lo) {
    target = std::move(served);
    return noErr;
  }
  if (lo < 0 || hi >= image_.planes) {
    HostTrace().Line("  %s planes %d..%d outside the image's %d planes -> paramErr", what, lo, hi,
                     image_.planes);
    target = Served{};
    return paramErr;
  }
  if (rate <= 0) {
    HostTrace().Line("  %s rate %d is not positive -> paramErr", what, rate);
    target = Served{};
    return paramErr;
  }
  // At a reduced rate the request's rectangle counts reduced pixels: its reach in
  // the image is its edge times the rate.
  const auto reach = [rate](int16 edge) { return (int64_t(edge) * rate) >> 16; };
  if (profile_.overhangFails && rect.top >= 0 && rect.left >= 0 &&
      reach(rect.top) < image_.height && reach(rect.left) < image_.width &&
      (reach(rect.bottom) > image_.height || reach(rect.right) > image_.width)) {
    HostTrace().Line("  %s %s starts inside the image and reaches past its edge: no padding, "
                     "the surface read runs past the end -> paramErr",
                     what, RectText(rect).c_str());
    target = Served{};
    return paramErr;
  }
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  int planes = hi - lo + 1;
  // Rows are padded to four bytes, as in most hosts, so that a plug-in that
  // assumes rowBytes == width * planes shows its fault on odd widths.
  int32 rowBytes = (width * planes + 3) & ~3;
  served.block = GuardedBlock(std::size_t(rowBytes) * std::size_t(height));
  if (served.block.data() == nullptr) {
    target = Served{};
    return memFullErr;
  }
  served.rect = rect;
  served.lo = lo;
  served.hi = hi;
  served.rate = rate;
  served.rowBytes = rowBytes;
  bool outside = false;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = served.block.data() + std::size_t(y) * std::size_t(rowBytes);
    int64_t sy = Scaled(rect.top + y, rate);
    for (int x = 0; x < width; ++x) {
      int64_t sx = Scaled(rect.left + x, rate);
      uint8_t* pixel = row + std::size_t(x) * std::size_t(planes);
      bool inside = sy >= 0 && sy < image_.height && sx >= 0 && sx < image_.width;
      if (!inside) outside = true;
      if (!inside && !profile_.supportsPadding && profile_.freshBuffers) {
        // No padding: the host leaves what the new memory happened to hold.
        for (int p = 0; p < planes; ++p)
          pixel[p] = uint8_t(0xA5 ^ (x * 7 + y * 13 + p * 29));
      } else if (inside || padding == plugInWantsEdgeReplication) {
        int cy = int(std::clamp<int64_t>(sy, 0, image_.height - 1));
        int cx = int(std::clamp<int64_t>(sx, 0, image_.width - 1));
        const uint8_t* source = from.At(cy, cx);
        for (int p = 0; p < planes; ++p)
          pixel[p] = source[lo + p];
      } else {
        // A fill value 0..255; "no padding wanted" leaves the host free, and it gives 0.
        uint8_t fill = padding >= 0 && padding <= 255 ? uint8_t(padding) : 0;
        for (int p = 0; p < planes; ++p)
          pixel[p] = fill;
      }
    }
  }
  if (outside && padding == plugInWantsErrorOnBoundsException && profile_.supportsPadding) {
    HostTrace().Line("  %s reaches outside the image and padding asks for an error -> paramErr",
                     what);
    target = Served{};
    return paramErr;
  }
  target = std::move(served);
  return noErr;
}

bool BufferServer::MaskFromAlpha() const {
  return profile_.rgba == RgbaAs::FloatingMask && image_.planes == 4;
}

void BufferServer::FillMask(const Rect& rect) {
  // A floating selection made from the layer's transparency: selected wherever a
  // pixel is not wholly transparent.
  Served served;
  if (!RectEmpty(rect)) {
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    served.block = GuardedBlock(std::size_t(width) * std::size_t(height));
    served.rect = rect;
    served.lo = served.hi = 0;
    served.rowBytes = width;
    for (int y = 0; y < height && served.block.data() != nullptr; ++y) {
      for (int x = 0; x < width; ++x) {
        const int sy = std::clamp(rect.top + y, 0, image_.height - 1);
        const int sx = std::clamp(rect.left + x, 0, image_.width - 1);
        served.block.data()[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
            source_.At(sy, sx)[3] != 0 ? 255 : 0;
      }
    }
  }
  mask_ = std::move(served);
}

void BufferServer::ClipInPlace(FilterRecord& record) const {
  // Right and bottom held to the image, written into the plug-in's record.
  for (Rect* rect : {&record.inRect, &record.outRect, &record.maskRect}) {
    Rect r = *rect;
    r.right = int16(std::min<int>(r.right, image_.width));
    r.bottom = int16(std::min<int>(r.bottom, image_.height));
    *rect = r;
  }
}

OSErr BufferServer::Serve(FilterRecord& record, const char* caller) {
  Flush();
  char inPad[16], outPad[16], maskPad[16];
  HostTrace().Line(
      "%s in=%s out=%s mask=%s inPlanes=%d-%d outPlanes=%d-%d inputRate=%d maskRate=%d "
      "padding=%s,%s,%s",
      caller, RectText(record.inRect).c_str(), RectText(record.outRect).c_str(),
      RectText(record.maskRect).c_str(), record.inLoPlane, record.inHiPlane, record.outLoPlane,
      record.outHiPlane, record.inputRate, record.maskRate,
      PaddingText(record.inputPadding, inPad, sizeof inPad),
      PaddingText(record.outputPadding, outPad, sizeof outPad),
      PaddingText(record.maskPadding, maskPad, sizeof maskPad));
  if (profile_.clipRectsInPlace) ClipInPlace(record);
  // A rate of 0 is what a plug-in leaves when it never set one: full resolution.
  const Fixed inRate = ProfileServedRate(profile_, record.inputRate);
  int inLo = record.inLoPlane, inHi = record.inHiPlane;
  int outLo = record.outLoPlane, outHi = record.outHiPlane;
  if (profile_.ignoreLoPlane) {
    // The first planes of the pixel, as many as asked for.
    inHi -= inLo;
    inLo = 0;
    outHi -= outLo;
    outLo = 0;
  }
  OSErr result = Fill(in_, source_, record.inRect, inLo, inHi, inRate, record.inputPadding, "in");
  if (result == noErr) {
    result = Fill(out_, image_, record.outRect, outLo, outHi, inRate, record.outputPadding, "out");
  }
  // Only a floating selection has a mask here; otherwise haveMask is false.
  mask_ = Served{};
  if (result == noErr && MaskFromAlpha() && record.haveMask) FillMask(record.maskRect);
  if (result != noErr) {
    Release(record);
    return result;
  }
  record.inData = in_.block.data();
  record.inRowBytes = in_.rowBytes;
  record.outData = out_.block.data();
  record.outRowBytes = out_.rowBytes;
  record.maskData = mask_.block.data();
  record.maskRowBytes = mask_.rowBytes;
  record.inColumnBytes = profile_.zeroColumnBytes ? 0 : in_.hi - in_.lo + 1;
  record.inPlaneBytes = 1;
  record.outColumnBytes = profile_.zeroColumnBytes ? 0 : out_.hi - out_.lo + 1;
  record.outPlaneBytes = 1;
  pending_ = out_.block.data() != nullptr;
  if (pending_ && out_.rate == 65536) ++strips_;
  return noErr;
}

void BufferServer::Flush() {
  if (!pending_) return;
  pending_ = false;
  const Rect& r = out_.rect;
  int planes = out_.hi - out_.lo + 1;
  lastOutputHash_ = Fnv1a(out_.block.data(), out_.block.size());
  if (out_.rate != 65536) {
    // A sampled buffer is a preview proxy: nothing of it belongs in the image.
    HostTrace().Line("  writeBack skipped: out=%s sampled at rate %d", RectText(r).c_str(),
                     out_.rate);
    return;
  }
  int top = std::max({int(r.top), int(filterRect_.top), 0});
  int left = std::max({int(r.left), int(filterRect_.left), 0});
  int bottom = std::min({int(r.bottom), int(filterRect_.bottom), image_.height});
  int right = std::min({int(r.right), int(filterRect_.right), image_.width});
  if (top >= bottom || left >= right) {
    HostTrace().Line("  writeBack out=%s -> nothing inside the filter rectangle",
                     RectText(r).c_str());
    return;
  }
  // The host applies the floating selection's mask itself.
  const bool masked = MaskFromAlpha();
  for (int y = top; y < bottom; ++y) {
    const uint8_t* row = out_.block.data() + std::size_t(y - r.top) * std::size_t(out_.rowBytes);
    for (int x = left; x < right; ++x) {
      const uint8_t* source = row + std::size_t(x - r.left) * std::size_t(planes);
      uint8_t* target = image_.At(y, x);
      if (masked && source_.At(y, x)[3] == 0) continue;
      for (int p = 0; p < planes; ++p)
        target[out_.lo + p] = source[p];
    }
  }
  HostTrace().Line("  writeBack out=%s clipped=%d,%d,%d,%d planes=%d-%d", RectText(r).c_str(), top,
                   left, bottom, right, out_.lo, out_.hi);
}

void BufferServer::Release(FilterRecord& record) {
  in_ = Served{};
  out_ = Served{};
  mask_ = Served{};
  pending_ = false;
  record.inData = record.outData = record.maskData = nullptr;
  record.inRowBytes = record.outRowBytes = record.maskRowBytes = 0;
}

bool ComposePixelMap(const PSPixelMap& map, const VRect& srcRect, std::vector<uint8_t>& bgrx,
                     int& width, int& height, std::string& error) {
  int planes = 0;
  if (map.imageMode == plugInModeRGBColor)
    planes = 3;
  else if (map.imageMode == plugInModeGrayScale)
    planes = 1;
  else {
    error = "image mode " + std::to_string(map.imageMode) + " is not shown (RGB and grey only)";
    return false;
  }
  if (map.baseAddr == nullptr) {
    error = "no pixels (baseAddr is null)";
    return false;
  }
  if (map.colBytes <= 0 || map.rowBytes <= 0 || map.planeBytes <= 0) {
    error = "rowBytes, colBytes and planeBytes must be positive";
    return false;
  }
  VRect r = srcRect;
  r.top = std::max(r.top, map.bounds.top);
  r.left = std::max(r.left, map.bounds.left);
  r.bottom = std::min(r.bottom, map.bounds.bottom);
  r.right = std::min(r.right, map.bounds.right);
  width = std::max(0, r.right - r.left);
  height = std::max(0, r.bottom - r.top);
  bgrx.assign(std::size_t(width) * std::size_t(height) * 4, 0);
  const PSPixelMask* mask = map.version >= 1 ? map.masks : nullptr;
  const auto* base = static_cast<const uint8_t*>(map.baseAddr);
  for (int y = 0; y < height; ++y) {
    int mapRow = r.top + y - map.bounds.top;
    for (int x = 0; x < width; ++x) {
      int mapCol = r.left + x - map.bounds.left;
      const uint8_t* pixel =
          base + ptrdiff_t(mapRow) * map.rowBytes + ptrdiff_t(mapCol) * map.colBytes;
      int rgb[3];
      for (int c = 0; c < 3; ++c)
        rgb[c] = pixel[ptrdiff_t(planes == 3 ? c : 0) * map.planeBytes];
      if (mask != nullptr && mask->maskData != nullptr) {
        const auto* m = static_cast<const uint8_t*>(mask->maskData);
        int alpha = m[ptrdiff_t(mapRow) * mask->rowBytes + ptrdiff_t(mapCol) * mask->colBytes];
        if (mask->maskDescription == kInvertPSMask) alpha = 255 - alpha;
        int check = (((r.top + y) / 8 + (r.left + x) / 8) % 2) ? 204 : 255;
        for (int& c : rgb)
          c = (c * alpha + check * (255 - alpha) + 127) / 255;
      }
      uint8_t* out = bgrx.data() + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
      out[0] = uint8_t(rgb[2]);
      out[1] = uint8_t(rgb[1]);
      out[2] = uint8_t(rgb[0]);
      out[3] = 0;
    }
  }
  return true;
}
