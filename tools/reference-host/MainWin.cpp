// tintara-host: the reference host. Loads a filter plug-in (.8bf), runs it on an
// image as an editor does and reports what happened. See the README.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <fstream>

#include "DialogScript.h"
#include "FilterHost.h"
#include "HandleSuite.h"
#include "HostImage.h"
#include "Options.h"
#include "PluginModule.h"
#include "Trace.h"
#include "WinPlatform.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitPluginResult = 1; // the plug-in ended with another result than expected
constexpr int kExitHostFailure = 2;  // the host could not do the job
constexpr int kExitCrash = 3;

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
  const EXCEPTION_RECORD* record = exception->ExceptionRecord;
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     static_cast<LPCSTR>(record->ExceptionAddress), &module);
  char name[MAX_PATH] = "?";
  if (module != nullptr) GetModuleFileNameA(module, name, sizeof name);
  std::fprintf(stderr, "tintara-host: crash: exception 0x%08lx at %p in %s", record->ExceptionCode,
               record->ExceptionAddress, name);
  if (record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record->NumberParameters >= 2) {
    std::fprintf(stderr, " (%s address %p)",
                 record->ExceptionInformation[0] ? "writing" : "reading",
                 reinterpret_cast<void*>(record->ExceptionInformation[1]));
  }
  std::fprintf(stderr, "\n");
  HostTrace().Line("crash exception=0x%08lx module=%s", record->ExceptionCode, name);
  HostTrace().Close();
  std::fflush(stdout);
  ExitProcess(kExitCrash);
}

std::string BaseName(const std::string& path) {
  std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Closes the job's trace however the job ends, so that the next job of a batch
// never writes into it.
struct TraceScope {
  ~TraceScope() { HostTrace().Close(); }
};

int RunJob(const HostOptions& options) {
  TraceScope traceScope;
  if (!options.trace.empty() && !HostTrace().Open(options.trace)) {
    std::fprintf(stderr, "tintara-host: cannot write trace %s\n", options.trace.c_str());
    return kExitHostFailure;
  }
  std::string error;
  std::vector<DialogStep> steps, againSteps;
  if (!ParseDialogScript(options.dialogScript, steps, error)) {
    std::fprintf(stderr, "tintara-host: --dialog: %s\n", error.c_str());
    return kExitHostFailure;
  }
  if (!ParseDialogScript(options.dialogAgainScript, againSteps, error)) {
    std::fprintf(stderr, "tintara-host: --dialog-again: %s\n", error.c_str());
    return kExitHostFailure;
  }
  HostImage image;
  if (!options.in.empty()) {
    if (!LoadImageFile(options.in, image, error)) {
      std::fprintf(stderr, "tintara-host: %s\n", error.c_str());
      return kExitHostFailure;
    }
  } else {
    image = MakeSampleImage(options.sampleWidth, options.sampleHeight, options.sampleAlpha ? 4 : 3);
  }
  if (options.hasRect) {
    const Rect& r = options.rect;
    if (r.top < 0 || r.left < 0 || r.bottom > image.height || r.right > image.width ||
        r.top > r.bottom || r.left > r.right) {
      std::fprintf(stderr, "tintara-host: --rect %d,%d,%d,%d lies outside the %dx%d image\n", r.top,
                   r.left, r.bottom, r.right, image.width, image.height);
      return kExitHostFailure;
    }
  }
  if (!options.before.empty() && !SaveImageFile(options.before, image, error)) {
    std::fprintf(stderr, "tintara-host: %s\n", error.c_str());
    return kExitHostFailure;
  }
  PluginModule plugin;
  if (!plugin.Load(options.plugin, error)) {
    std::fprintf(stderr, "tintara-host: %s\n", error.c_str());
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
      plugin.Unload();
      std::string reloadError;
      if (!plugin.Load(options.plugin, reloadError)) {
        HostTrace().Line("reload refused: %s", reloadError.c_str());
        return nullptr;
      }
      return plugin.Entry();
    };
    WinPlatform platform(options, steps, againSteps, reload);
    FilterHost host(options, image, platform);
    outcome = host.Run(plugin.Entry());
    dialogs = platform.Automation().DialogsSeen();
  }
  if (!steps.empty() && dialogs == 0) {
    std::fprintf(stderr, "tintara-host: the dialog script was not used: no dialog appeared\n");
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
  plugin.Unload();
  if (outcome.hostFailure) std::fprintf(stderr, "tintara-host: %s\n", outcome.message.c_str());
  if (!options.out.empty() && !wrote && outcome.result != noErr) {
    std::fprintf(stderr, "tintara-host: %s not written: the filter did not complete\n",
                 options.out.c_str());
  }
  std::printf("tintara-host: %s%s%s result=%s time=%.2fs runs=%d strips=%d advanceState=%d "
              "handles=%zu leaked=%zu\n",
              options.label.c_str(), options.label.empty() ? "" : " ",
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

int main(int argc, char** argv) {
  SetUnhandledExceptionFilter(ReportCrash);
  // Plain line ends on stdout and stderr, for the scripts that read them.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUsage, args.empty() ? stderr : stdout);
    std::fputs(kHostileUsage, args.empty() ? stderr : stdout);
    return args.empty() ? kExitHostFailure : kExitOk;
  }
  std::vector<std::vector<std::string>> jobs;
  if (args.size() == 2 && args[0] == "--batch") {
    std::ifstream batch(args[1]);
    if (!batch) {
      std::fprintf(stderr, "tintara-host: cannot read batch file %s\n", args[1].c_str());
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
      std::fprintf(stderr, "tintara-host: %s\n%s", error.c_str(), jobs.size() == 1 ? kUsage : "");
    } else {
      code = RunJob(options);
    }
    if (code > worst) worst = code;
  }
  return worst;
}
