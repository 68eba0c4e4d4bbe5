// tintara-host: the reference host. Loads a filter plug-in (.8bf), runs it on an
// image as an editor does and reports what happened. See the README.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "HostMain.h"
#include "PluginModule.h"
#include "Trace.h"
#include "WinPlatform.h"

namespace {

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

// The Windows host: the system loader and a real window, drawing and dialog automation.
class WinEnvironment : public HostEnvironment {
public:
  bool LoadPlugin(const std::string& path, std::string& error) override {
    return plugin_.Load(path, error);
  }
  PluginEntryProc Entry() const override { return plugin_.Entry(); }
  void UnloadPlugin() override { plugin_.Unload(); }
  std::unique_ptr<HostPlatform> MakePlatform(const HostOptions& options,
                                             std::vector<DialogStep> steps,
                                             std::vector<DialogStep> againSteps,
                                             std::function<PluginEntryProc()> reload) override {
    return std::make_unique<WinPlatform>(options, std::move(steps), std::move(againSteps),
                                         std::move(reload));
  }

private:
  PluginModule plugin_;
};

} // namespace

int main(int argc, char** argv) {
  SetUnhandledExceptionFilter(ReportCrash);
  // Plain line ends on stdout and stderr, for the scripts that read them.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  WinEnvironment environment;
  return RunHostCommandLine(std::vector<std::string>(argv + 1, argv + argc), environment);
}
