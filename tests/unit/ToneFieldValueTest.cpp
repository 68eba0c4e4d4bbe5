// The tone fields' values and keys: parsing, holding to range, stepping with wrap
// and what each typed character does.
#include <gtest/gtest.h>

#include <string>

#include "ui/DialogIds.h"
#include "ui/ToneValue.h"

namespace {

TEST(ToneFieldValueTest, ValueIsTheLeadingDecimalNumber) {
  EXPECT_EQ(ParseToneText("253"), 253);
  EXPECT_EQ(ParseToneText("  42"), 42);
  EXPECT_EQ(ParseToneText("12.7"), 12);
  EXPECT_EQ(ParseToneText("25%"), 25);
  EXPECT_EQ(ParseToneText("000"), 0);
  EXPECT_EQ(ParseToneText("%"), 0);
  EXPECT_EQ(ParseToneText(""), 0);
  EXPECT_EQ(ParseToneText("abc"), 0);
  EXPECT_EQ(ParseToneText("-7"), -7);
  EXPECT_EQ(ParseToneText("+9x"), 9);
  EXPECT_EQ(ParseToneText(nullptr), 0);
}

TEST(ToneFieldValueTest, LongDigitRunsSaturateInsteadOfOverflowing) {
  const std::string huge(79, '9');
  EXPECT_GT(ParseToneText(huge.c_str()), 255);
  EXPECT_LT(ParseToneText(("-" + huge).c_str()), 0);
  EXPECT_EQ(ClampTone(ParseToneText(huge.c_str())), 255);
}

TEST(ToneFieldValueTest, PastedValuesAreHeldToRange) {
  EXPECT_EQ(ClampTone(999), 255);
  EXPECT_EQ(ClampTone(256), 255);
  EXPECT_EQ(ClampTone(-1), 0);
  EXPECT_EQ(ClampTone(0), 0);
  EXPECT_EQ(ClampTone(255), 255);
  EXPECT_EQ(ClampTone(128), 128);
}

TEST(ToneFieldValueTest, StepsWrapAtBothEnds) {
  EXPECT_EQ(StepTone(255, true), 0);
  EXPECT_EQ(StepTone(0, false), 255);
  EXPECT_EQ(StepTone(254, true), 255);
  EXPECT_EQ(StepTone(1, false), 0);
  EXPECT_EQ(StepTone(300, true), 0);
  EXPECT_EQ(StepTone(-4, false), 255);
}

TEST(ToneFieldValueTest, FormatsWithoutLeadingZerosOrSpaces) {
  char text[16];
  FormatTone(7, text, sizeof text);
  EXPECT_STREQ(text, "7");
  FormatTone(255, text, sizeof text);
  EXPECT_STREQ(text, "255");
}

TEST(ToneFieldValueTest, OnlyDigitsBackspaceAndThreeMarksReachTheField) {
  for (char c = '0'; c <= '9'; ++c)
    EXPECT_EQ(ClassifyToneChar(uintptr_t(c)), ToneCharKind::Edit);
  for (uintptr_t c : {8u, unsigned('%'), unsigned('\''), unsigned('.')}) {
    EXPECT_EQ(ClassifyToneChar(c), ToneCharKind::Edit) << c;
  }
  // Space, signs, brackets (the zoom mnemonics), control characters (Ctrl+V is
  // 22), letters without a shortcut and everything above 'z', double-byte lead
  // bytes and half-width katakana among it.
  for (uintptr_t c :
       {32u, unsigned('-'), unsigned('+'), unsigned('['), unsigned(']'), 22u, 13u, unsigned('h'),
        unsigned('H'), unsigned('k'), unsigned('y'), 123u, 0xB1u, 0x82u, 0x3042u}) {
    EXPECT_EQ(ClassifyToneChar(c), ToneCharKind::Discard) << c;
  }
}

TEST(ToneFieldValueTest, LettersInEitherCaseAreTheDialogsShortcuts) {
  const struct {
    char letter;
    ShortcutKind kind;
    int command;
  } cases[] = {
      {'a', ShortcutKind::Command, kIdPanA},
      {'b', ShortcutKind::ToggleBlue, kIdCheckBlue},
      {'c', ShortcutKind::Command, kIdPanC},
      {'d', ShortcutKind::Command, kIdPanD},
      {'e', ShortcutKind::Command, kIdPanE},
      {'f', ShortcutKind::DeleteForward, 0},
      {'g', ShortcutKind::ToggleGreen, kIdCheckGreen},
      {'j', ShortcutKind::DeleteBackward, 0},
      {'q', ShortcutKind::Command, kIdPanQ},
      {'r', ShortcutKind::ToggleRed, kIdCheckRed},
      {'w', ShortcutKind::Command, kIdPanW},
      {'x', ShortcutKind::Command, kIdPanX},
      {'z', ShortcutKind::Command, kIdPanZ},
  };
  for (const auto& c : cases) {
    for (char letter : {c.letter, char(c.letter - 'a' + 'A')}) {
      const ToneShortcut s = ShortcutForChar(uintptr_t(letter));
      EXPECT_EQ(s.kind, c.kind) << letter;
      EXPECT_EQ(s.command, c.command) << letter;
      EXPECT_EQ(ClassifyToneChar(uintptr_t(letter)), ToneCharKind::Shortcut) << letter;
    }
  }
}

} // namespace
