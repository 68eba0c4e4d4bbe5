// Basic types, four-character codes and constants of the host's filter plug-in
// interface, declared from the published binary layout for 32- and 64-bit Windows.
#pragma once

#include <cstddef>
#include <cstdint>

using int8 = std::int8_t;
using int16 = std::int16_t;
using int32 = std::int32_t;
using int64 = std::int64_t;
using uint8 = std::uint8_t;
using uint16 = std::uint16_t;
using uint32 = std::uint32_t;

using Boolean = unsigned char;
using Fixed = int32;   // 16.16 fixed point, 65536 is 1.0
using OSType = uint32; // four-character code, first character in the top byte
using ResType = uint32;
using DescType = uint32;
using OSErr = int16;
using Ptr = char*;
using Handle = char**;
using Str255 = unsigned char[256];

// Builds a four-character code from its text ('8BIM' is FourCC("8BIM")).
constexpr uint32 FourCC(const char (&text)[5]) {
  return (uint32(uint8(text[0])) << 24) | (uint32(uint8(text[1])) << 16) |
         (uint32(uint8(text[2])) << 8) | uint32(uint8(text[3]));
}

struct Point {
  int16 v;
  int16 h;
};

struct Rect {
  int16 top;
  int16 left;
  int16 bottom;
  int16 right;
};

struct VPoint {
  int32 v;
  int32 h;
};

struct VRect {
  int32 top;
  int32 left;
  int32 bottom;
  int32 right;
};

struct RGBColor {
  uint16 red;
  uint16 green;
  uint16 blue;
};

using FilterColor = unsigned char[4];

struct PlugInMonitor {
  Fixed gamma;
  Fixed redX, redY, greenX, greenY, blueX, blueY, whiteX, whiteY;
  Fixed ambient;
};

static_assert(sizeof(Point) == 4);
static_assert(sizeof(Rect) == 8 && alignof(Rect) == 2);
static_assert(sizeof(VRect) == 16);
static_assert(sizeof(RGBColor) == 6);
static_assert(sizeof(FilterColor) == 4);
static_assert(sizeof(PlugInMonitor) == 40);
static_assert(offsetof(Rect, left) == 2 && offsetof(Rect, bottom) == 4 &&
              offsetof(Rect, right) == 6);

// Result codes.
constexpr OSErr noErr = 0;
constexpr OSErr coercedParamErr = 2;
constexpr OSErr paramErr = -50;
constexpr OSErr memFullErr = -108;
constexpr OSErr nilHandleErr = -109;
constexpr OSErr userCanceledErr = -128;
constexpr OSErr errAEParamMissed = -1715;
constexpr OSErr filterBadParameters = -30100;
constexpr OSErr filterBadMode = -30101;

// Filter selectors.
constexpr int16 filterSelectorAbout = 0;
constexpr int16 filterSelectorParameters = 1;
constexpr int16 filterSelectorPrepare = 2;
constexpr int16 filterSelectorStart = 3;
constexpr int16 filterSelectorContinue = 4;
constexpr int16 filterSelectorFinish = 5;

// Image modes.
constexpr int16 plugInModeBitmap = 0;
constexpr int16 plugInModeGrayScale = 1;
constexpr int16 plugInModeIndexedColor = 2;
constexpr int16 plugInModeRGBColor = 3;
constexpr int16 plugInModeCMYKColor = 4;
constexpr int16 plugInModeHSLColor = 5;
constexpr int16 plugInModeHSBColor = 6;
constexpr int16 plugInModeMultichannel = 7;
constexpr int16 plugInModeDuotone = 8;
constexpr int16 plugInModeLabColor = 9;
constexpr int16 plugInModeGray16 = 10;
constexpr int16 plugInModeRGB48 = 11;

// Padding values for inputPadding, outputPadding and maskPadding.
constexpr int16 plugInWantsEdgeReplication = -1;
constexpr int16 plugInDoesNotWantPadding = -2;
constexpr int16 plugInWantsErrorOnBoundsException = -3;

// Dialog play and record options of the descriptor parameters.
constexpr int16 plugInDialogDontDisplay = 0;
constexpr int16 plugInDialogDisplay = 1;
constexpr int16 plugInDialogSilent = 2;
constexpr int16 plugInDialogOptional = 0;
constexpr int16 plugInDialogRequired = 1;
constexpr int16 plugInDialogNone = 2;

// The vendor's host signature.
constexpr OSType kPhotoshopSignature = FourCC("8BIM");

// Pointer-size dependent layout checks: the 32-bit numbers hold for i686 Windows
// and for the i386 Linux host that runs 32-bit plug-ins under emulation, the
// 64-bit numbers for x64 Windows and, with the same alignment rules, for the
// 64-bit native build that the unit tests use.
#if (defined(_WIN32) && !defined(_WIN64)) || (defined(__i386__) && defined(__linux__))
#define TINTARA_LAYOUT_32 1
#elif defined(_WIN64) || (defined(__x86_64__) || defined(__aarch64__))
#define TINTARA_LAYOUT_64 1
#else
#error "unknown target layout: add the offsets for this target"
#endif

// Picks the 32-bit or the 64-bit value of a layout fact.
#if defined(TINTARA_LAYOUT_32)
#define TINTARA_W(w32, w64) (w32)
#else
#define TINTARA_W(w32, w64) (w64)
#endif
