#include "engine/PixelRequest.h"

void RequestAllPlanes(FilterRecord* fr, Fixed rate) {
  fr->inLoPlane = fr->outLoPlane = 0;
  fr->inHiPlane = fr->outHiPlane = int16(fr->planes - 1);
  fr->inputRate = fr->maskRate = rate;
}

void RequestFullPadding(FilterRecord* fr) {
  constexpr int16 kFullPadding = 255;
  fr->inputPadding = fr->outputPadding = fr->maskPadding = kFullPadding;
}
