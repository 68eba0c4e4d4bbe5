// The bitmap header the host uses for every image it moves to or from a device:
// 32-bit BGRX pixels, rows from the top down.
#pragma once

#include <windows.h>

inline BITMAPINFO TopDownBgrxInfo(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}
