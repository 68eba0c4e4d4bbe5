// Presence checks of single host callbacks.
#pragma once

#include "sdk/FilterRecord.h"

inline bool CanAdvanceState(const FilterRecord* fr) {
  return fr->advanceState != nullptr;
}
inline bool CanDisplayPixels(const FilterRecord* fr) {
  return fr->displayPixels != nullptr;
}
inline bool CanUseColorServices(const FilterRecord* fr) {
  return fr->colorServices != nullptr;
}
