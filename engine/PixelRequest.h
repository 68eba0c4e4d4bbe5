// What every request for pixels sets in the host's record besides its rectangles:
// the planes, the sampling rate and the padding.
#pragma once

#include "sdk/FilterRecord.h"

// One full-resolution pixel per request pixel (16.16 fixed point).
constexpr Fixed kUnitRate = 65536;

// Every plane of the image, in and out, with input and mask sampled at rate.
void RequestAllPlanes(FilterRecord* filterRecord, Fixed rate);

// Pixels outside the image come back as 255 in the input, output and mask.
void RequestFullPadding(FilterRecord* filterRecord);
