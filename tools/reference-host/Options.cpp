#include "Options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

const char* const kUsage =
    "usage: tintara-host PLUGIN.8bf [options]\n"
    "  --in FILE.png         image to filter (8-bit RGB or RGBA); default: built-in sample\n"
    "  --out FILE.png        write the filtered image (.ppm writes binary PPM)\n"
    "  --before FILE.png     write the image as it was before filtering\n"
    "  --sample WxH          size of the built-in sample (default 1024x768)\n"
    "  --sample-alpha        give the built-in sample a transparency plane\n"
    "  --rect T,L,B,R        filter rectangle (default: whole image)\n"
    "  --rect-past-image     let --rect reach past the image (its rows and columns\n"
    "                        there are served as padding and not written back)\n"
    "  --max-space N         memory budget offered in maxSpace (default 67108864)\n"
    "  --about               call About first\n"
    "  --no-parameters       skip the Parameters selector\n"
    "  --runs N              repeat the run N times, keeping the plug-in's state\n"
    "  --state FILE          load the parameters from FILE if present, save them after\n"
    "  --no-handle-procs     offer no handle suite\n"
    "  --no-advance-state    offer no advanceState\n"
    "  --no-display-pixels   offer no displayPixels\n"
    "  --no-color-services   offer no colorServices\n"
    "  --no-descriptor       offer no scripting descriptor suites\n"
    "  --pick R,G,B          colour that the colour picker answers with\n"
    "  --fore R,G,B          foreground colour (default black)\n"
    "  --fail-advance-state N  the N-th advanceState call answers memFullErr\n"
    "  --abort-after N       abortProc answers true from its N-th call on\n"
    "  --descriptor-in FILE  descriptor handed to Start (text, or JSON if .json)\n"
    "  --descriptor-out FILE descriptor that Finish recorded\n"
    "  --play display|dontdisplay|silent   playInfo (default dontdisplay, or the profile's)\n"
    "  --dialog SCRIPT       drive the plug-in's dialog (see README)\n"
    "  --dialog-timeout MS   cancel a dialog left open this long\n"
    "  --trace FILE          write a call trace\n"
    "  --expect-result N     exit 0 only if the run ends with result N\n"
    "  --batch FILE          run each line of FILE as one job's options\n"
    "  --quiet               no progress bar\n"
    "  --profile NAME        play a host: strict (default), pdn, pspi, pspihost,\n"
    "                        irfanview, photoplus, modern, modern-reload (see\n"
    "                        docs/hosts.md)\n"
    "  --dialog-again SCRIPT drive every dialog after the first with this script\n"
    "  --abort-outside-dialog N  abortProc answers true from its N-th question asked\n"
    "                        while no dialog is open (the pixels, not the previews)\n";

namespace {

bool Ints(const std::string& text, int* values, int count) {
  const char* p = text.c_str();
  for (int i = 0; i < count; ++i) {
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(p, &end, 10);
    // Values that an int cannot hold are refused rather than wrapped.
    if (end == p || errno == ERANGE || value < INT_MIN || value > INT_MAX) return false;
    values[i] = int(value);
    p = end;
    if (i + 1 < count) {
      if (*p != ',' && *p != 'x') return false;
      ++p;
    }
  }
  return *p == '\0';
}

} // namespace

bool ParseOptions(const std::vector<std::string>& args, HostOptions& o, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& target) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      target = args[++i];
      return true;
    };
    std::string v;
    int n[4];
    if (a == "--in") {
      if (!value(o.in)) return false;
    } else if (a == "--out") {
      if (!value(o.out)) return false;
    } else if (a == "--before") {
      if (!value(o.before)) return false;
    } else if (a == "--trace") {
      if (!value(o.trace)) return false;
    } else if (a == "--descriptor-in") {
      if (!value(o.descriptorIn)) return false;
    } else if (a == "--descriptor-out") {
      if (!value(o.descriptorOut)) return false;
    } else if (a == "--state") {
      if (!value(o.state)) return false;
    } else if (a == "--dialog") {
      if (!value(o.dialogScript)) return false;
    } else if (a == "--label") {
      if (!value(o.label)) return false;
    } else if (a == "--dialog-again") {
      if (!value(o.dialogAgainScript)) return false;
    } else if (a == "--profile") {
      if (!value(v)) return false;
      o.profile = FindProfile(v);
      if (o.profile == nullptr) {
        error = "--profile does not know " + v;
        return false;
      }
    } else if (a == "--abort-outside-dialog") {
      if (!value(v) || !Ints(v, n, 1) || n[0] < 1) {
        error = "--abort-outside-dialog wants a count of 1 or more";
        return false;
      }
      o.abortOutsideDialog = n[0];
    } else if (int hostile = ParseHostileOption(args, i, o.hostile, error); hostile != 0) {
      if (hostile < 0) return false;
    } else if (a == "--rect") {
      if (!value(v) || !Ints(v, n, 4)) {
        error = "--rect wants T,L,B,R";
        return false;
      }
      for (int coordinate : n) {
        if (coordinate < INT16_MIN || coordinate > INT16_MAX) {
          error = "--rect " + v + ": " + std::to_string(coordinate) +
                  " does not fit the host's 16-bit coordinates";
          return false;
        }
      }
      o.hasRect = true;
      o.rect = Rect{int16(n[0]), int16(n[1]), int16(n[2]), int16(n[3])};
    } else if (a == "--rect-past-image") {
      o.rectPastImage = true;
    } else if (a == "--sample") {
      if (!value(v) || !Ints(v, n, 2) || n[0] < 1 || n[1] < 1 || n[0] > 30000 || n[1] > 30000) {
        error = "--sample wants WxH";
        return false;
      }
      o.sampleWidth = n[0];
      o.sampleHeight = n[1];
    } else if (a == "--max-space") {
      if (!value(v) || !Ints(v, n, 1) || n[0] < 0) {
        error = "--max-space wants a byte count";
        return false;
      }
      o.maxSpace = n[0];
    } else if (a == "--runs") {
      if (!value(v) || !Ints(v, n, 1) || n[0] < 1) {
        error = "--runs wants a count of 1 or more";
        return false;
      }
      o.runs = n[0];
    } else if (a == "--abort-after") {
      if (!value(v) || !Ints(v, n, 1) || n[0] < 1) {
        error = "--abort-after wants a count of 1 or more";
        return false;
      }
      o.abortAfter = n[0];
    } else if (a == "--fore") {
      if (!value(v) || !Ints(v, n, 3) || n[0] < 0 || n[0] > 255 || n[1] < 0 || n[1] > 255 ||
          n[2] < 0 || n[2] > 255) {
        error = "--fore wants R,G,B with values 0..255";
        return false;
      }
      o.hasFore = true;
      for (int c = 0; c < 3; ++c)
        o.fore[c] = n[c];
    } else if (a == "--fail-advance-state") {
      if (!value(v) || !Ints(v, n, 1) || n[0] < 1) {
        error = "--fail-advance-state wants a call number of 1 or more";
        return false;
      }
      o.failAdvanceStateAt = n[0];
    } else if (a == "--dialog-timeout") {
      if (!value(v) || !Ints(v, n, 1) || n[0] < 0) {
        error = "--dialog-timeout wants milliseconds";
        return false;
      }
      o.dialogTimeoutMs = n[0];
    } else if (a == "--expect-result") {
      if (!value(v) || !Ints(v, n, 1)) {
        error = "--expect-result wants a result code";
        return false;
      }
      o.hasExpected = true;
      o.expectedResult = int16(n[0]);
    } else if (a == "--pick") {
      if (!value(v) || !Ints(v, n, 3) || n[0] < 0 || n[0] > 255 || n[1] < 0 || n[1] > 255 ||
          n[2] < 0 || n[2] > 255) {
        error = "--pick wants R,G,B with values 0..255";
        return false;
      }
      o.hasPick = true;
      for (int c = 0; c < 3; ++c)
        o.pick[c] = n[c];
    } else if (a == "--play") {
      if (!value(v)) return false;
      o.playGiven = true;
      if (v == "display")
        o.playInfo = plugInDialogDisplay;
      else if (v == "dontdisplay")
        o.playInfo = plugInDialogDontDisplay;
      else if (v == "silent")
        o.playInfo = plugInDialogSilent;
      else {
        error = "--play wants display, dontdisplay or silent";
        return false;
      }
    } else if (a == "--about")
      o.about = true;
    else if (a == "--no-parameters")
      o.parameters = false;
    else if (a == "--no-handle-procs")
      o.handleProcs = false;
    else if (a == "--no-advance-state")
      o.advanceState = false;
    else if (a == "--no-display-pixels")
      o.displayPixels = false;
    else if (a == "--no-color-services")
      o.colorServices = false;
    else if (a == "--no-descriptor")
      o.descriptors = false;
    else if (a == "--sample-alpha")
      o.sampleAlpha = true;
    else if (a == "--quiet")
      o.quiet = true;
    else if (!a.empty() && a[0] == '-') {
      error = "unknown option " + a;
      return false;
    } else if (o.plugin.empty())
      o.plugin = a;
    else {
      error = "unexpected argument " + a;
      return false;
    }
  }
  if (o.plugin.empty()) {
    error = "no plug-in file given";
    return false;
  }
  return true;
}

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> args;
  std::string current;
  bool inArg = false;
  char quote = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quote != 0) {
      if (c == quote)
        quote = 0;
      else if (c == '\\' && quote == '"' && i + 1 < line.size())
        current += line[++i];
      else
        current += c;
    } else if (c == '"' || c == '\'') {
      quote = c;
      inArg = true;
    } else if (c == '\\' && i + 1 < line.size()) {
      current += line[++i];
      inArg = true;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (inArg) args.push_back(current);
      current.clear();
      inArg = false;
    } else if (c == '#' && !inArg) {
      break;
    } else {
      current += c;
      inArg = true;
    }
  }
  if (inArg) args.push_back(current);
  return args;
}
