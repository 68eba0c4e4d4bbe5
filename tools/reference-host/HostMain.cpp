#include "HostMain.h"

#include <cstdio>
#include <fstream>

#include "HandleSuite.h"
#include "HostImage.h"
#include "Trace.h"

namespace {

const char* programName = "tintara-host";

std::string BaseName(const std::string& path) {
  std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Closes the job's trace however the job ends, so that the next job of a batch
// never writes into it.
struct TraceScope {
  ~TraceScope() { HostTrace().Close(); }
};

int RunJob(const HostOptions& options, HostEnvironment& environment) {
  const char* name = HostProgramName();
  TraceScope traceScope;
  if (!options.trace.empty() && !HostTrace().Open(options.trace)) {
    std::fprintf(stderr, "%s: cannot write trace %s\n", name, options.trace.c_str());
    return kExitHostFailure;
  }
  std::string error;
  std::vector<DialogStep> steps, againSteps;
  if (!ParseDialogScript(options.dialogScript, steps, error)) {
    std::fprintf(stderr, "%s: --dialog: %s\n", name, error.c_str());
    return kExitHostFailure;
  }
  if (!ParseDialogScript(options.dialogAgainScript, againSteps, error)) {
    std::fprintf(stderr, "%s: --dialog-again: %s\n", name, error.c_str());
    return kExitHostFailure;
  }
  HostImage image;
  if (!options.in.empty()) {
    if (!LoadImageFile(options.in, image, error)) {
      std::fprintf(stderr, "%s: %s\n", name, error.c_str());
      return kExitHostFailure;
    }
  } else {
    image = MakeSampleImage(options.sampleWidth, options.sampleHeight, options.sampleAlpha ? 4 : 3);
  }
  if (options.hasRect) {
    const Rect& r = options.rect;
    const bool past = r.top < 0 || r.left < 0 || r.bottom > image.height || r.right > image.width;
    if ((past && !options.rectPastImage) || r.top > r.bottom || r.left > r.right) {
      std::fprintf(stderr, "%s: --rect %d,%d,%d,%d lies outside the %dx%d image\n", name, r.top,
                   r.left, r.bottom, r.right, image.width, image.height);
      return kExitHostFailure;
    }
  }
  if (!options.before.empty() && !SaveImageFile(options.before, image, error)) {
    std::fprintf(stderr, "%s: %s\n", name, error.c_str());
    return kExitHostFailure;
  }
  if (!environment.LoadPlugin(options.plugin, error)) {
    std::fprintf(stderr, "%s: %s\n", name, error.c_str());
    HostTrace().Line("refused: %s", error.c_str());
    HostTrace().Close();
    return kExitHostFailure;
  }
  HandleSuite::Instance().Reset();
  JobOutcome outcome;
  int dialogs = 0;
  {
    // Hosts that unload the library after every run load it again for the next.
    auto reload = [&]() -> PluginEntryProc {
      environment.UnloadPlugin();
      std::string reloadError;
      if (!environment.LoadPlugin(options.plugin, reloadError)) {
        HostTrace().Line("reload refused: %s", reloadError.c_str());
        return nullptr;
      }
      return environment.Entry();
    };
    std::unique_ptr<HostPlatform> platform =
        environment.MakePlatform(options, steps, againSteps, reload);
    FilterHost host(options, image, *platform);
    outcome = host.Run(environment.Entry());
    dialogs = platform->DialogsSeen();
  }
  if (!steps.empty() && dialogs == 0) {
    std::fprintf(stderr, "%s: the dialog script was not used: no dialog appeared\n", name);
    HostTrace().Line("dialog script unused: no dialog appeared");
  }
  bool wrote = false;
  if (!outcome.hostFailure && outcome.result == noErr && !options.out.empty()) {
    if (!SaveImageFile(options.out, image, error)) {
      outcome.hostFailure = true;
      outcome.message = error;
    } else {
      wrote = true;
    }
  }
  HostTrace().Line("summary result=%d strips=%d advanceState=%d handles=%zu leaked=%zu",
                   outcome.result, outcome.strips, outcome.advanceStateCalls, outcome.liveHandles,
                   outcome.leakedHandles);
  HostTrace().Close();
  HandleSuite::Instance().Reset();
  environment.UnloadPlugin();
  if (outcome.hostFailure) std::fprintf(stderr, "%s: %s\n", name, outcome.message.c_str());
  if (!options.out.empty() && !wrote && outcome.result != noErr) {
    std::fprintf(stderr, "%s: %s not written: the filter did not complete\n", name,
                 options.out.c_str());
  }
  std::printf("%s: %s%s%s result=%s time=%.2fs runs=%d strips=%d advanceState=%d "
              "handles=%zu leaked=%zu\n",
              name, options.label.c_str(), options.label.empty() ? "" : " ",
              BaseName(options.plugin).c_str(), ResultText(outcome.result).c_str(), outcome.seconds,
              outcome.runsDone, outcome.strips, outcome.advanceStateCalls, outcome.liveHandles,
              outcome.leakedHandles);
  std::fflush(stdout);
  PrintRunFigures(options.hostile);
  if (outcome.hostFailure) return kExitHostFailure;
  int16 expected = options.hasExpected ? options.expectedResult : noErr;
  return outcome.result == expected ? kExitOk : kExitPluginResult;
}

} // namespace

const char* HostProgramName() {
  return programName;
}

void SetHostProgramName(const char* name) {
  programName = name;
}

int RunHostCommandLine(const std::vector<std::string>& args, HostEnvironment& environment) {
  const char* name = HostProgramName();
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUsage, args.empty() ? stderr : stdout);
    std::fputs(kHostileUsage, args.empty() ? stderr : stdout);
    return args.empty() ? kExitHostFailure : kExitOk;
  }
  std::vector<std::vector<std::string>> jobs;
  if (args.size() == 2 && args[0] == "--batch") {
    std::ifstream batch(args[1]);
    if (!batch) {
      std::fprintf(stderr, "%s: cannot read batch file %s\n", name, args[1].c_str());
      return kExitHostFailure;
    }
    std::string line;
    while (std::getline(batch, line)) {
      std::vector<std::string> job = SplitCommandLine(line);
      if (!job.empty()) jobs.push_back(job);
    }
  } else {
    jobs.push_back(args);
  }
  int worst = kExitOk;
  for (const auto& job : jobs) {
    HostOptions options;
    std::string error;
    int code = kExitHostFailure;
    if (!ParseOptions(job, options, error)) {
      std::fprintf(stderr, "%s: %s\n%s", name, error.c_str(), jobs.size() == 1 ? kUsage : "");
    } else {
      code = RunJob(options, environment);
    }
    if (code > worst) worst = code;
  }
  return worst;
}
