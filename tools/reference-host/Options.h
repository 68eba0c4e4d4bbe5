// The host's command line.
#pragma once

#include <string>
#include <vector>

#include "HostProfile.h"
#include "Hostility.h"
#include "sdk/PITypes.h"

struct HostOptions {
  std::string plugin;
  std::string in, out, before;
  std::string trace;
  std::string descriptorIn, descriptorOut;
  std::string state;
  std::string dialogScript;
  std::string dialogAgainScript; // for every dialog after the first; empty: the same script
  const HostProfile* profile = &StrictProfile();
  bool hasRect = false;
  bool rectPastImage = false; // --rect may reach past the image (a host with another origin)
  Rect rect{};
  int32 maxSpace = 64 * 1024 * 1024;
  int runs = 1;
  int abortAfter = 0;         // 0: never
  int abortOutsideDialog = 0; // 0: never; else from that question asked with no dialog open
  bool hasPick = false;
  int pick[3] = {0, 0, 0};
  bool hasFore = false;
  int fore[3] = {0, 0, 0};    // foreground colour (foreColor); default black
  int failAdvanceStateAt = 0; // the advanceState call (1-based) that fails; 0: none
  int16 playInfo = plugInDialogDontDisplay;
  bool playGiven = false; // --play given: it wins over the profile's playInfo
  bool about = false;
  bool parameters = true;
  bool handleProcs = true;
  bool advanceState = true;
  bool displayPixels = true;
  bool colorServices = true;
  bool descriptors = true;
  bool sampleAlpha = false;
  int sampleWidth = 1024, sampleHeight = 768;
  int dialogTimeoutMs = -1; // -1: wait for a person unless unattended
  bool hasExpected = false;
  int16 expectedResult = 0;
  bool quiet = false;
  std::string label;
  HostileOptions hostile;
};

// Parses arguments (without the program name). Returns false with a message.
bool ParseOptions(const std::vector<std::string>& args, HostOptions& options, std::string& error);
// Splits a line of a batch file into arguments ("..." and '...' quote, \ escapes).
std::vector<std::string> SplitCommandLine(const std::string& line);
extern const char* const kUsage;
