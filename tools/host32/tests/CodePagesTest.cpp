#include "CodePages.h"

#include <gtest/gtest.h>

namespace {

const char kJapanese[] = "\xE8\x89\xB2\xE8\xAA\xBF"; // 色調
const uint16_t kJapaneseUnits[] = {0x8272, 0x8ABF};

TEST(CodePages, Utf8AndTheAnsiCodePageRoundTripJapaneseAndSurrogatePairs) {
  std::vector<uint16_t> units;
  uint32_t error = 0;
  for (uint32_t codePage : {kCodePageUtf8, 0u}) {
    ASSERT_TRUE(MultiByteToUtf16(codePage, kJapanese, 6, units, error));
    EXPECT_EQ(units, std::vector<uint16_t>(kJapaneseUnits, kJapaneseUnits + 2));
  }
  const char emoji[] = "\xF0\x9F\x98\x80"; // U+1F600
  ASSERT_TRUE(MultiByteToUtf16(kCodePageUtf8, emoji, 4, units, error));
  EXPECT_EQ(units, (std::vector<uint16_t>{0xD83D, 0xDE00}));
  std::string bytes;
  ASSERT_TRUE(Utf16ToMultiByte(kCodePageUtf8, units.data(), 2, bytes, error));
  EXPECT_EQ(bytes, emoji);
}

TEST(CodePages, NegativeCountTakesTheTerminatingZero) {
  std::vector<uint16_t> units;
  uint32_t error = 0;
  ASSERT_TRUE(MultiByteToUtf16(437, "ab", -1, units, error));
  EXPECT_EQ(units, (std::vector<uint16_t>{'a', 'b', 0}));
  std::string bytes;
  ASSERT_TRUE(Utf16ToMultiByte(932, units.data(), -1, bytes, error));
  EXPECT_EQ(bytes, std::string("ab\0", 3));
}

TEST(CodePages, RefusesWhatItCannotConvertFaithfully) {
  std::vector<uint16_t> units;
  std::string bytes;
  uint32_t error = 0;
  // Shift-JIS and other ANSI text beyond ASCII: not guessed.
  EXPECT_FALSE(MultiByteToUtf16(932, "\x90\x46", 2, units, error));
  EXPECT_EQ(error, kErrorNoUnicodeTranslation);
  error = 0;
  EXPECT_FALSE(Utf16ToMultiByte(932, kJapaneseUnits, 2, bytes, error));
  EXPECT_EQ(error, kErrorNoUnicodeTranslation);
  // Malformed UTF-8: a cut sequence, an overlong form, an encoded surrogate.
  for (const char* bad : {"\xE8\x89", "\xC0\xAF", "\xED\xA0\x80"}) {
    error = 0;
    EXPECT_FALSE(MultiByteToUtf16(kCodePageUtf8, bad, int(std::char_traits<char>::length(bad)),
                                  units, error))
        << bad;
    EXPECT_EQ(error, kErrorNoUnicodeTranslation);
  }
  const uint16_t lone[] = {0xD83D, 'a'};
  error = 0;
  EXPECT_FALSE(Utf16ToMultiByte(kCodePageUtf8, lone, 2, bytes, error));
  EXPECT_EQ(error, kErrorNoUnicodeTranslation);
}

} // namespace
