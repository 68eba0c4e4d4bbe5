// The hostile host's options: parsing, and what they do to a filled record.
#include <gtest/gtest.h>

#include "HandleSuite.h"
#include "Hostility.h"

namespace {

int Parse(std::vector<std::string> args, HostileOptions& o, std::string& error) {
  std::size_t i = 0;
  const int parsed = ParseHostileOption(args, i, o, error);
  if (parsed == 1) {
    EXPECT_EQ(i + 1, args.size()) << "the option's words are consumed";
  }
  return parsed;
}

Boolean NoAbort() {
  return 0;
}

} // namespace

TEST(Hostility, ParsesItsOptionsAndRefusesBadValues) {
  HostileOptions o;
  std::string error;
  EXPECT_EQ(Parse({"--null", "abortProc"}, o, error), 1);
  EXPECT_EQ(Parse({"--fail-advance", "3,-50"}, o, error), 1);
  EXPECT_EQ(o.failAdvanceAt, 3);
  EXPECT_EQ(o.failAdvanceCode, -50);
  EXPECT_EQ(Parse({"--guarded-handles"}, o, error), 1);
  EXPECT_TRUE(o.guardedHandles);
  EXPECT_EQ(Parse({"--abort-in", "continue"}, o, error), 1);
  EXPECT_EQ(o.abortInSelector, filterSelectorContinue);
  EXPECT_EQ(Parse({"--rect", "1,2,3,4"}, o, error), 0) << "not a hostile option";
  EXPECT_EQ(Parse({"--null", "inData"}, o, error), -1);
  EXPECT_EQ(Parse({"--fail-advance", "0"}, o, error), -1);
  EXPECT_EQ(Parse({"--abort-in", "later"}, o, error), -1);
  EXPECT_EQ(Parse({"--handle-procs-version"}, o, error), -1) << "a value is missing";
}

TEST(Hostility, AltersACopyOfTheHandleSuiteAndNullsFields) {
  HostileOptions o;
  std::string error;
  Parse({"--handle-procs-version", "2"}, o, error);
  Parse({"--null-set-size"}, o, error);
  Parse({"--null", "abortProc"}, o, error);
  FilterRecord record{};
  record.handleProcs = HandleSuite::Procs();
  record.abortProc = NoAbort;
  ApplyHostility(o, record);
  const TestAbortProc abort = record.abortProc; // copied: packed fields may be misaligned
  EXPECT_EQ(abort, nullptr);
  ASSERT_NE(static_cast<const HandleProcs*>(record.handleProcs), HandleSuite::Procs())
      << "the host's own table stays intact";
  EXPECT_EQ(record.handleProcs->handleProcsVersion, 2);
  EXPECT_EQ(record.handleProcs->setSizeProc, nullptr);
  EXPECT_NE(HandleSuite::Procs()->setSizeProc, nullptr);
  EXPECT_EQ(record.handleProcs->disposeProc, HandleSuite::Procs()->disposeProc);
}

TEST(Hostility, FailsTheChosenAdvanceStateCallAndAbortsInTheChosenSelector) {
  HostileOptions o;
  std::string error;
  Parse({"--fail-advance", "2"}, o, error);
  Parse({"--abort-in", "start"}, o, error);
  EXPECT_FALSE(HostileAdvanceFails(o, 1));
  EXPECT_TRUE(HostileAdvanceFails(o, 2));
  EXPECT_FALSE(HostileAdvanceFails(o, 3));
  SetHostileSelector(filterSelectorPrepare);
  EXPECT_FALSE(HostileAbort(o));
  SetHostileSelector(filterSelectorStart);
  EXPECT_TRUE(HostileAbort(o));
  SetHostileSelector(-1);
}
