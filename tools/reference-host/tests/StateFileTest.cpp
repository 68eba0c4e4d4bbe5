// The parameters file that --state keeps between processes.
#include <gtest/gtest.h>

#include "StateFile.h"

namespace {

TEST(StateFile, BytesRoundTripOverSeveralLines) {
  for (std::size_t size : {std::size_t(0), std::size_t(1), std::size_t(32), std::size_t(70)}) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
      bytes[i] = uint8_t(i * 37 + 200);
    std::vector<uint8_t> back = {9, 9};
    std::string error;
    ASSERT_TRUE(ParseStateFile(StateFileText(bytes.data(), size), back, error)) << error;
    EXPECT_EQ(back, bytes);
  }
}

TEST(StateFile, RefusesAnythingButAWholeFile) {
  const char* const bad[] = {
      "",
      "tintara-host-parameters",          // the first word alone
      "tintara-host-parameters\n",        //
      "12\n",                             // a count alone
      "tintara-host-parameters x\n01",    // a count that is not a number
      "tintara-host-parameters -1\n",     //
      "tintara-host-parameters 2000000",  // more than the host keeps
      "tintara-host-parameters 2\n01",    // fewer bytes than counted
      "tintara-host-parameters 1\n01 02", // more
      "tintara-host-parameters 1\nzz",    // not hex
      "tintara-host-parameters 1\n1",     //
      "tintara-host-parameters 1\n123",   //
      "other-host 0\n",
  };
  for (const char* text : bad) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(ParseStateFile(text, bytes, error)) << '"' << text << '"';
    EXPECT_FALSE(error.empty());
  }
}

} // namespace
