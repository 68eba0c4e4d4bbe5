// The test filter's process-wide record of one run: what the descriptor asked
// for, what the plug-in saw, and what it reports back at Finish.
#pragma once

#include <string>
#include <vector>

#include "sdk/FilterRecord.h"

struct TestConfig {
  bool advancePath = false; // filter the whole image inside Start ('path' 'advs')
  int rows = 64;            // rows per strip ('rows')
  int over = 0;             // strips reach this far left and right of the image ('over')
  bool checks = false;      // check sampling, padding and planes through advanceState ('chks')
  bool leak = false;        // leave one handle behind ('leak')
  bool dialog = false;      // show the test dialog in Start ('dlg ')
  bool stuck = false;       // never move past the first strip ('stck')
  bool readPast = false;    // read a byte beyond the 6.0-era record ('past')
};

struct EchoItem {
  uint32 key = 0, type = 0;
  int32 integer = 0;
  double number = 0;
  uint32 unit = 0, value = 0;
  Boolean boolean = 0;
  std::string text;
};

struct DialogRecord {
  bool shown = false;
  int tone[3] = {0, 0, 0};
  std::string checks, commands, mouse, drag;
  int cursorMismatches = 0;
  int characters = 0;
  int paints = 0;
};

struct TestState {
  TestConfig config;
  std::string sequence;
  std::vector<EchoItem> echo;
  int checksPassed = 0;
  int strips = 0;
  int paddingChecked = 0;
  std::string failure;
  int runs = 0;
  int playInfo = -1;
  DialogRecord dialog;
};

extern TestState testState;
extern void* testModule;

// Records the first failure; the run then ends with errReportString and the text
// in the host's errorString.
void TestFail(const std::string& what);

// Descriptor: the configuration read at Prepare (the handle stays), the echo read
// at Start (the handle is disposed of), and the report written at Finish.
void ReadTestConfig(FilterRecord* record);
void ReadEcho(FilterRecord* record);
void WriteReport(FilterRecord* record);

// Shows the test dialog; false when it was cancelled.
bool RunTestDialog(FilterRecord* record);
