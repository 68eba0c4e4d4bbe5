// The dialog's decisions without a window: the colour at opening, the swatch, the
// colour picker's request and answer, and the preview's pixel map and mask.
#include <gtest/gtest.h>

#include <cstring>

#include "ui/DialogModel.h"

namespace {

TintParameters Params(int16 r, int16 g, int16 b) {
  TintParameters p{};
  p.toneRed = r;
  p.toneGreen = g;
  p.toneBlue = b;
  return p;
}

TEST(DialogModelTest, NoStoredToneTakesTheForegroundColour) {
  const FilterColor fore = {200, 130, 250, 0};
  const ToneColour c = OpeningTone(Params(0, 0, 0), fore);
  EXPECT_EQ(c.red, 200);
  EXPECT_EQ(c.green, 130);
  EXPECT_EQ(c.blue, 250);
  // Any nonzero component keeps the stored tone.
  const ToneColour kept = OpeningTone(Params(0, 0, 1), fore);
  EXPECT_EQ(kept.red, 0);
  EXPECT_EQ(kept.blue, 1);
  // A record from elsewhere may hold anything: shown held to 0..255.
  const ToneColour held = OpeningTone(Params(300, -4, 17), fore);
  EXPECT_EQ(held.red, 255);
  EXPECT_EQ(held.green, 0);
  EXPECT_EQ(held.blue, 17);
}

TEST(DialogModelTest, StoredToneIsAlwaysInRange) {
  TintParameters p{};
  PreviewState s{};
  s.currentRed = 999;
  s.currentGreen = -20;
  s.currentBlue = 77;
  StoreTone(p, s);
  EXPECT_EQ(p.toneRed, 255);
  EXPECT_EQ(p.toneGreen, 0);
  EXPECT_EQ(p.toneBlue, 77);
}

TEST(DialogModelTest, SwatchInversionIsItsOwnInverse) {
  const ToneColour once = InvertTone(ToneColour{10, 200, 255});
  EXPECT_EQ(once.red, 245);
  EXPECT_EQ(once.green, 55);
  EXPECT_EQ(once.blue, 0);
  const ToneColour twice = InvertTone(once);
  EXPECT_EQ(twice.red, 10);
  EXPECT_EQ(twice.green, 200);
  EXPECT_EQ(twice.blue, 255);
}

TEST(DialogModelTest, PickerRequestAsksForAnRgbColourWithoutPrompt) {
  ColorServicesInfo info;
  std::memset(&info, 0x5A, sizeof info);
  FillColorRequest(&info, ToneColour{12, 34, 56});
  EXPECT_EQ(info.infoSize, int32(sizeof(ColorServicesInfo)));
  EXPECT_EQ(info.selector, plugIncolorServicesChooseColor);
  EXPECT_EQ(info.sourceSpace, plugIncolorServicesRGBSpace);
  EXPECT_EQ(info.resultSpace, plugIncolorServicesRGBSpace);
  EXPECT_EQ(info.colorComponents[0], 12);
  EXPECT_EQ(info.colorComponents[1], 34);
  EXPECT_EQ(info.colorComponents[2], 56);
  EXPECT_EQ(info.colorComponents[3], 0);
  EXPECT_EQ(info.reservedSourceSpaceInfo, nullptr);
  EXPECT_EQ(info.reservedResultSpaceInfo, nullptr);
  EXPECT_EQ(info.reserved, nullptr);
  EXPECT_EQ(info.selectorParameter.pickerPrompt, nullptr);
}

TEST(DialogModelTest, PickerAnswerIsHeldToRange) {
  ColorServicesInfo info{};
  info.colorComponents[0] = 1000;
  info.colorComponents[1] = -1;
  info.colorComponents[2] = 99;
  const ToneColour c = ColourFromPicker(info);
  EXPECT_EQ(c.red, 255);
  EXPECT_EQ(c.green, 0);
  EXPECT_EQ(c.blue, 99);
}

class PreviewMapTest : public ::testing::Test {
protected:
  void SetUp() override {
    fr.outRect = Rect{155, 290, 345, 460};
    fr.outLoPlane = 0;
    fr.outHiPlane = 2;
    fr.outRowBytes = 170 * 3 + 2;
    fr.outData = buffer;
    fr.imageMode = plugInModeRGBColor;
  }
  FilterRecord fr{};
  unsigned char buffer[16] = {};
  PSPixelMap map{};
  PSPixelMask mask{};
};

TEST_F(PreviewMapTest, DescribesTheOutputBufferWithoutMask) {
  ASSERT_TRUE(BuildPreviewMap(fr, &map, &mask));
  EXPECT_EQ(map.version, 1);
  EXPECT_EQ(map.bounds.top, 155);
  EXPECT_EQ(map.bounds.left, 290);
  EXPECT_EQ(map.bounds.bottom, 345);
  EXPECT_EQ(map.bounds.right, 460);
  EXPECT_EQ(map.imageMode, plugInModeRGBColor);
  EXPECT_EQ(map.rowBytes, 170 * 3 + 2);
  EXPECT_EQ(map.colBytes, 3);
  EXPECT_EQ(map.planeBytes, 1);
  EXPECT_EQ(map.baseAddr, buffer);
  EXPECT_EQ(map.mat, nullptr);
  EXPECT_EQ(map.masks, nullptr);
  EXPECT_EQ(map.maskPhaseRow, 0);
  EXPECT_EQ(map.maskPhaseCol, 0);
}

TEST_F(PreviewMapTest, FloatingSelectionUsesTheHostsMask) {
  unsigned char selection[4] = {};
  fr.isFloating = 1;
  fr.maskData = selection;
  fr.maskRowBytes = 170;
  fr.inLayerPlanes = 3; // the floating case wins over transparency
  fr.inTransparencyMask = 1;
  ASSERT_TRUE(BuildPreviewMap(fr, &map, &mask));
  ASSERT_EQ(map.masks, &mask);
  EXPECT_EQ(mask.maskData, selection);
  EXPECT_EQ(mask.rowBytes, 170);
  EXPECT_EQ(mask.colBytes, 1);
  EXPECT_EQ(mask.next, nullptr);
  EXPECT_EQ(mask.maskDescription, kSimplePSMask);
  // Without mask data the map goes without a mask rather than with a null one.
  fr.maskData = nullptr;
  ASSERT_TRUE(BuildPreviewMap(fr, &map, &mask));
  EXPECT_EQ(map.masks, nullptr);
}

TEST_F(PreviewMapTest, LayerTransparencyIsTheLastOutputPlane) {
  fr.outHiPlane = 3;
  fr.outRowBytes = 170 * 4;
  fr.inLayerPlanes = 3;
  fr.inTransparencyMask = 1;
  ASSERT_TRUE(BuildPreviewMap(fr, &map, &mask));
  EXPECT_EQ(map.colBytes, 4);
  ASSERT_EQ(map.masks, &mask);
  EXPECT_EQ(mask.maskData, buffer + 3);
  EXPECT_EQ(mask.rowBytes, 170 * 4);
  EXPECT_EQ(mask.colBytes, 4);
  // Either count alone is no transparency.
  fr.inTransparencyMask = 0;
  ASSERT_TRUE(BuildPreviewMap(fr, &map, &mask));
  EXPECT_EQ(map.masks, nullptr);
}

TEST_F(PreviewMapTest, NothingToDrawWithoutBufferOrArea) {
  fr.outData = nullptr;
  EXPECT_FALSE(BuildPreviewMap(fr, &map, &mask));
  fr.outData = buffer;
  fr.outRect = Rect{10, 10, 10, 40};
  EXPECT_FALSE(BuildPreviewMap(fr, &map, &mask));
  fr.outRect = Rect{10, 10, 20, 40};
  fr.outHiPlane = -1; // a plane range that holds no byte
  EXPECT_FALSE(BuildPreviewMap(fr, &map, &mask));
}

} // namespace
