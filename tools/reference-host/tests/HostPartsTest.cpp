// The smaller parts of the host: the property list reader, the handle suite's
// counting, the dialog script language and the command line.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "DialogScript.h"
#include "HandleSuite.h"
#include "Options.h"
#include "Pipl.h"
#include "Trace.h"

namespace {

void Put32(std::vector<uint8_t>& bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes.push_back(uint8_t(value >> (8 * i)));
}

void Property(std::vector<uint8_t>& bytes, const char (&key)[5], const std::string& data,
              uint32_t length) {
  Put32(bytes, FourCC("8BIM"));
  Put32(bytes, FourCC(key));
  Put32(bytes, 0);
  Put32(bytes, length);
  bytes.insert(bytes.end(), data.begin(), data.end());
  while (bytes.size() % 4 != 2)
    bytes.push_back(0); // the list starts 2 bytes in
}

std::vector<uint8_t> List(uint32_t count) {
  std::vector<uint8_t> bytes = {1, 0};
  Put32(bytes, 0);
  Put32(bytes, count);
  return bytes;
}

TEST(Pipl, ReadsKindNamesAndEntryWithAndWithoutPaddingInLengths) {
  std::vector<uint8_t> bytes = List(4);
  std::string kind = "MFB8"; // '8BFM' little-endian
  Property(bytes, "kind", kind, 4);
  Property(bytes, "name", std::string("\x07Tintara", 8), 8);
  Property(bytes, "catg",
           std::string("\x03"
                       "Abc"),
           4);
  // Length without its padding (11, not 12): the reader still rounds up.
  Property(bytes, "8664", std::string("ENTRYPOINT\0", 11), 11);
  PiplInfo info;
  std::string error;
  ASSERT_TRUE(ParsePipl(bytes.data(), bytes.size(), info, error)) << error;
  EXPECT_EQ(info.Kind(), FourCC("8BFM"));
  EXPECT_EQ(info.PString(FourCC("name")), "Tintara");
  EXPECT_EQ(info.PString(FourCC("catg")), "Abc");
  EXPECT_EQ(info.CString(FourCC("8664")), "ENTRYPOINT");
  EXPECT_EQ(info.CString(FourCC("wx86")), "");
}

TEST(Pipl, RefusesMalformedLists) {
  PiplInfo info;
  std::string error;
  std::vector<uint8_t> bytes = List(2);
  Property(bytes, "kind", "MFB8", 4);
  EXPECT_FALSE(ParsePipl(bytes.data(), bytes.size(), info, error)); // count says 2
  std::vector<uint8_t> big = List(1);
  Property(big, "kind", "MFB8", 4000);
  EXPECT_FALSE(ParsePipl(big.data(), big.size(), info, error));
  std::vector<uint8_t> version = List(0);
  version[2] = 1;
  EXPECT_FALSE(ParsePipl(version.data(), version.size(), info, error));
  EXPECT_FALSE(ParsePipl(bytes.data(), 9, info, error));
}

TEST(HandleSuite, CountsLiveHandlesAndLeavesOutTheKeptOnes) {
  HandleSuite& suite = HandleSuite::Instance();
  suite.Reset();
  HandleProcs* procs = HandleSuite::Procs();
  EXPECT_EQ(procs->handleProcsVersion, 1);
  EXPECT_EQ(procs->numHandleProcs, 8);
  Handle globals = procs->newProc(24);
  Handle parameters = procs->newProc(40);
  Handle scratch = procs->newProc(8);
  ASSERT_TRUE(globals && parameters && scratch);
  EXPECT_EQ(procs->getSizeProc(parameters), 40);
  EXPECT_EQ(procs->lockProc(globals, 1), *globals);
  EXPECT_EQ(procs->setSizeProc(scratch, 100), noErr);
  EXPECT_EQ(procs->getSizeProc(scratch), 100);
  EXPECT_EQ(suite.LiveCount(), 3u);
  EXPECT_EQ(suite.PluginHandlesExcept({globals, parameters}).size(), 1u);
  procs->disposeProc(scratch);
  EXPECT_EQ(suite.PluginHandlesExcept({globals, parameters}).size(), 0u);
  // Disposing twice is counted, not obeyed.
  procs->disposeProc(scratch);
  EXPECT_EQ(suite.BadDisposes(), 1);
  EXPECT_EQ(suite.LiveCount(), 2u);
  suite.Reset();
  EXPECT_EQ(suite.LiveCount(), 0u);
}

// A kept value of a disposed handle must stay a value that names no live handle,
// however the allocator reuses freed memory for the handles made after it.
TEST(HandleSuite, AKeptAddressIsGivenToNoNewHandle) {
  HandleSuite& suite = HandleSuite::Instance();
  suite.Reset();
  Handle kept = suite.New(4, HandleSuite::Owner::Plugin);
  ASSERT_NE(kept, nullptr);
  suite.KeepAddressAfterDispose(kept);
  ASSERT_TRUE(suite.Dispose(kept));
  EXPECT_FALSE(suite.IsLive(kept));
  for (int i = 0; i < 64; ++i) {
    Handle made = suite.New(4, HandleSuite::Owner::Plugin);
    ASSERT_NE(made, kept) << "new handle " << i << " took the kept address";
    suite.Dispose(made);
  }
  EXPECT_FALSE(suite.Dispose(kept)) << "a kept address is still no handle";
  suite.Reset();
}

TEST(HandleSuite, GuardedHandlesKeepTheirBytesAcrossResizing) {
  HandleSuite& suite = HandleSuite::Instance();
  suite.Reset();
  suite.SetGuarded(true);
  HandleProcs* procs = HandleSuite::Procs();
  Handle h = procs->newProc(5);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(procs->getSizeProc(h), 5);
  for (int i = 0; i < 5; ++i)
    (*h)[i] = char('a' + i);
  ASSERT_EQ(procs->setSizeProc(h, 9), noErr);
  EXPECT_EQ(std::string(*h, 5), "abcde");
  EXPECT_EQ(uint8_t((*h)[8]), 0xA5);
  ASSERT_EQ(procs->setSizeProc(h, 2), noErr);
  EXPECT_EQ(std::string(*h, 2), "ab");
  Handle empty = procs->newProc(0);
  EXPECT_NE(empty, nullptr);
  EXPECT_EQ(procs->getSizeProc(empty), 0);
  procs->disposeProc(h);
  EXPECT_EQ(suite.LiveCount(), 1u);
  suite.SetGuarded(false);
  suite.Reset();
  EXPECT_EQ(suite.LiveCount(), 0u);
}

TEST(DialogScript, ParsesEveryStep) {
  std::vector<DialogStep> steps;
  std::string error;
  ASSERT_TRUE(ParseDialogScript("r=200; g=120 ;b=40;check=rB;pan=q;zoom=out;swatch;pick;drag=-30,5;"
                                "dblclick;type= a b;key=wheeldown;shot=d.png;wait=50;ok;cancel",
                                steps, error))
      << error;
  ASSERT_EQ(steps.size(), 16u);
  EXPECT_EQ(steps[0].kind, StepKind::Field);
  EXPECT_EQ(steps[0].control, kEditRed);
  EXPECT_EQ(steps[0].argument, "200");
  EXPECT_EQ(steps[1].control, kEditGreen);
  EXPECT_EQ(steps[2].value, 40);
  EXPECT_TRUE(steps[3].checks[0]);
  EXPECT_FALSE(steps[3].checks[1]);
  EXPECT_TRUE(steps[3].checks[2]);
  EXPECT_EQ(steps[4].control, 1016);
  EXPECT_EQ(steps[5].control, kZoomOut);
  EXPECT_EQ(steps[8].dx, -30);
  EXPECT_EQ(steps[8].dy, 5);
  EXPECT_EQ(steps[10].argument, " a b");
  EXPECT_EQ(steps[11].argument, "wheeldown");
  EXPECT_EQ(steps[12].argument, "d.png");
  EXPECT_EQ(steps[13].value, 50);
  EXPECT_EQ(steps[15].kind, StepKind::Cancel);
  ASSERT_TRUE(ParseDialogScript("focus=g;paste=12x;hold=4,-4;key=escape", steps, error)) << error;
  EXPECT_EQ(steps[0].kind, StepKind::Focus);
  EXPECT_EQ(steps[0].control, kEditGreen);
  EXPECT_EQ(steps[1].argument, "12x");
  EXPECT_EQ(steps[2].kind, StepKind::Hold);
  EXPECT_EQ(steps[2].dy, -4);
  EXPECT_EQ(steps[3].argument, "escape");
  ASSERT_TRUE(ParseDialogScript("check=", steps, error));
  EXPECT_FALSE(steps[0].checks[0] || steps[0].checks[1] || steps[0].checks[2]);
  ASSERT_TRUE(ParseDialogScript("", steps, error));
  EXPECT_TRUE(steps.empty());
}

TEST(DialogScript, RefusesWhatItCannotDo) {
  std::vector<DialogStep> steps;
  std::string error;
  for (const char* bad :
       {"r=", "r=-1", "x=3", "check=rgx", "pan=K", "zoom=far", "drag=3", "key=pageup", "focus=x",
        "hold=1", "shot=", "wait=soon", "ok=1", "r=12;frobnicate"}) {
    EXPECT_FALSE(ParseDialogScript(bad, steps, error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
  for (char c : std::string("ECDQZAWX"))
    EXPECT_NE(PanButton(c), 0);
}

TEST(Options, ParsesTheCommandLine) {
  HostOptions o;
  std::string error;
  ASSERT_TRUE(ParseOptions({"p.8bf", "--rect", "1,2,30,40", "--pick", "1,2,3", "--play", "silent",
                            "--runs", "2", "--no-parameters", "--sample", "300x200",
                            "--expect-result", "-128", "--max-space", "1000"},
                           o, error))
      << error;
  EXPECT_EQ(o.plugin, "p.8bf");
  EXPECT_TRUE(o.hasRect);
  EXPECT_EQ(o.rect.top, 1);
  EXPECT_EQ(o.rect.right, 40);
  EXPECT_FALSE(o.rectPastImage);
  EXPECT_EQ(o.pick[2], 3);
  EXPECT_EQ(o.playInfo, plugInDialogSilent);
  EXPECT_EQ(o.runs, 2);
  EXPECT_FALSE(o.parameters);
  EXPECT_EQ(o.sampleWidth, 300);
  EXPECT_EQ(o.expectedResult, -128);
  EXPECT_EQ(o.maxSpace, 1000);
  for (std::vector<std::string> bad : {std::vector<std::string>{},
                                       {"p", "--pick", "1,2,256"},
                                       {"p", "--rect", "1,2,3"},
                                       {"p", "--runs", "0"},
                                       {"p", "--play", "loud"},
                                       {"p", "--frob"},
                                       {"p", "q"},
                                       {"p", "--in"},
                                       // Coordinates beyond 16 bits are refused, not wrapped.
                                       {"p", "--rect", "0,0,65573,61"},
                                       {"p", "--rect", "0,-32769,1,1"},
                                       {"p", "--max-space", "4294967296"},
                                       {"p", "--runs", "99999999999999999999"}}) {
    HostOptions fresh;
    EXPECT_FALSE(ParseOptions(bad, fresh, error));
  }
  HostOptions largest;
  ASSERT_TRUE(ParseOptions({"p", "--rect", "0,0,32767,30000"}, largest, error)) << error;
  EXPECT_EQ(largest.rect.bottom, 32767);
  EXPECT_EQ(SplitCommandLine("a \"b c\" 'd e' f\\ g # note"),
            (std::vector<std::string>{"a", "b c", "d e", "f g"}));
}

} // namespace

namespace {

TEST(Trace, FoldsRepeatedCallsUntilTheAnswerOrTheLineChanges) {
  std::string path = ::testing::TempDir() + "trace-fold.txt";
  Trace trace;
  ASSERT_TRUE(trace.Open(path));
  trace.Line("call Start");
  for (long call = 1; call <= 5; ++call)
    trace.Counted("abortProc", call, "0");
  trace.Counted("abortProc", 6, "1");
  trace.Line("progress 1/2");
  trace.Counted("abortProc", 7, "1");
  trace.Counted("abortProc", 9, "1"); // not consecutive
  trace.Close();
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_EQ(text.str(), "call Start\nabortProc #1..#5 -> 0\nabortProc #6 -> 1\nprogress 1/2\n"
                        "abortProc #7 -> 1\nabortProc #9 -> 1\n");
  std::remove(path.c_str());
}

} // namespace
