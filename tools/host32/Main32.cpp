// tintara-host32: the reference host for 32-bit plug-ins, as an i386 Linux program
// that runs under user-mode emulation. It loads the .8bf itself, binds its imports
// to stand-ins for the Windows functions, and runs the same jobs as tintara-host.
// Its own options, anywhere on the command line (they hold for every job of a
// --batch): --stack-offset 0|4|8|12 calls the plug-in at that distance from
// 16-byte stack alignment (default: each call takes the next one in turn);
// --version-resource FILE.exe makes the host's executable carry that file's
// version resource (default: none). `--check-imports FILE.8bf` only holds the
// file's import list against the stand-ins (see ImportCheck.h).
#include <signal.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "Host32Platform.h"
#include "HostMain.h"
#include "ImportCheck.h"
#include "PeModule.h"
#include "Pipl.h"
#include "StackCall.h"
#include "StandIns.h"
#include "ThreadBlock.h"
#include "Trace.h"

namespace {

constexpr uint16_t kPiplId = 16000, kVersionType = 16;

void* pluginEntry = nullptr;
int16 currentSelector = -1;
uint32_t currentOffset = 0;
bool insidePlugin = false;
int fixedStackOffset = -1;

// Every selector enters the plug-in through here, at the next stack offset.
void EntryAtOffset(int16 selector, void* block, intptr_t* data, int16* result) {
  currentSelector = selector;
  currentOffset = NextStackOffset();
  const uint32_t args[4] = {
      uint32_t(int32_t(selector)), uint32_t(reinterpret_cast<uintptr_t>(block)),
      uint32_t(reinterpret_cast<uintptr_t>(data)), uint32_t(reinterpret_cast<uintptr_t>(result))};
  insidePlugin = true;
  CallAtStackOffset(pluginEntry, currentOffset, 4, args);
  insidePlugin = false;
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

class Host32Environment : public HostEnvironment {
public:
  bool LoadPlugin(const std::string& path, std::string& error) override {
    UnloadPlugin();
    // The property list first, without running any of the plug-in's code.
    std::vector<uint8_t> bytes;
    PeFile file;
    std::string reason;
    if (!ReadFileBytes(path, bytes)) {
      error = path + ": cannot open";
      return false;
    }
    if (!file.Parse(std::move(bytes), reason)) {
      error = path + ": cannot open as a Windows library (" + reason + ")";
      return false;
    }
    std::vector<uint8_t> pipl;
    const ResourceKey type{0, "PIPL"};
    if (!file.ReadResource(type, ResourceKey{kPiplId, {}}, pipl) &&
        !file.ReadResource(type, ResourceKey{}, pipl)) {
      error = path + ": no PIPL resource, so not a filter plug-in";
      return false;
    }
    PiplInfo info;
    if (!ParsePipl(pipl.data(), pipl.size(), info, reason)) {
      error = path + ": malformed property list: " + reason;
      return false;
    }
    std::string entryName;
    if (!FilterEntryName(info, FourCC("wx86"), path, entryName, error)) return false;
    SetStackOffset(fixedStackOffset); // each job starts its turns at offset 0
    if (!module_.Map(path, ResolveImport, error)) return false;
    World().plugin = &module_;
    if (!module_.Attach(error)) {
      UnloadPlugin();
      return false;
    }
    pluginEntry = module_.Export(entryName);
    if (pluginEntry == nullptr) {
      error = path + ": the property list names entry '" + entryName +
              "', which the file does not export";
      UnloadPlugin();
      return false;
    }
    return true;
  }
  PluginEntryProc Entry() const override { return EntryAtOffset; }
  void UnloadPlugin() override {
    module_.Unload();
    World().plugin = nullptr;
    pluginEntry = nullptr;
  }
  std::unique_ptr<HostPlatform> MakePlatform(const HostOptions&, std::vector<DialogStep>,
                                             std::vector<DialogStep>,
                                             std::function<PluginEntryProc()> reload) override {
    return std::make_unique<Host32Platform>(std::move(reload));
  }
  const PeModule& Module() const { return module_; }

private:
  PeModule module_;
};

Host32Environment* environmentForCrash = nullptr;

void ReportCrash(int signal, siginfo_t* info, void* context) {
  const auto* machine = static_cast<ucontext_t*>(context);
  const uint32_t eip = uint32_t(machine->uc_mcontext.gregs[REG_EIP]);
  const PeModule* module = environmentForCrash ? &environmentForCrash->Module() : nullptr;
  char where[512];
  if (module != nullptr && module->Base() != 0 && module->Contains(eip)) {
    const std::string& path = module->Path();
    const std::size_t slash = path.find_last_of('/');
    std::snprintf(where, sizeof where, "%s+0x%x",
                  (slash == std::string::npos ? path : path.substr(slash + 1)).c_str(),
                  eip - module->Base());
  } else {
    std::snprintf(where, sizeof where, "the host");
  }
  std::fprintf(stderr,
               "tintara-host32: crash: %s at 0x%08x in %s (address %p) during %s, entered with "
               "the stack %u bytes off 16-byte alignment\n",
               strsignal(signal), eip, where, info->si_addr,
               insidePlugin ? SelectorName(currentSelector) : "a host call", currentOffset);
  HostTrace().Line("crash signal=%d at=%s stackOffset=%u", signal, where, currentOffset);
  HostTrace().Close();
  std::fflush(stdout);
  std::_Exit(kExitCrash);
}

void InstallCrashReport() {
  static uint8_t alternate[64 * 1024];
  stack_t stack{};
  stack.ss_sp = alternate;
  stack.ss_size = sizeof alternate;
  sigaltstack(&stack, nullptr);
  struct sigaction action {};
  action.sa_sigaction = ReportCrash;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  for (int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE})
    sigaction(signal, &action, nullptr);
}

std::string ExecutablePath() {
  char path[4096] = {};
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  return length > 0 ? std::string(path, std::size_t(length)) : "tintara-host32";
}

bool LoadVersionResource(const std::string& path, std::string& error) {
  std::vector<uint8_t> bytes;
  PeFile file;
  std::string reason;
  if (!ReadFileBytes(path, bytes) || !file.Parse(std::move(bytes), reason)) {
    error = "--version-resource " + path + ": not a readable Windows executable " + reason;
    return false;
  }
  if (!file.ReadResource(ResourceKey{kVersionType, {}}, ResourceKey{}, World().versionResource)) {
    error = "--version-resource " + path + ": the file has no version resource";
    return false;
  }
  World().haveVersion = true;
  return true;
}

// Takes this host's own options out of args, wherever they stand; the rest is a
// job (or --batch FILE) for the shared command line.
bool TakeHost32Options(std::vector<std::string>& args, std::string& error) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a != "--stack-offset" && a != "--version-resource") {
      rest.push_back(a);
      continue;
    }
    if (i + 1 >= args.size()) {
      error = a + " needs a value";
      return false;
    }
    const std::string& value = args[++i];
    if (a == "--version-resource") {
      if (!LoadVersionResource(value, error)) return false;
    } else if (value == "0" || value == "4" || value == "8" || value == "12") {
      fixedStackOffset = std::atoi(value.c_str());
    } else {
      error = "--stack-offset wants 0, 4, 8 or 12";
      return false;
    }
  }
  args = std::move(rest);
  return true;
}

} // namespace

int main(int argc, char** argv) {
  SetHostProgramName("tintara-host32");
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  World().hostPath = ExecutablePath();
  if (args.size() == 2 && args[0] == "--check-imports") return CheckImports(args[1]);
  if (!TakeHost32Options(args, error)) {
    std::fprintf(stderr, "tintara-host32: %s\n", error.c_str());
    return kExitHostFailure;
  }
  if (!InstallThreadBlock(error)) {
    std::fprintf(stderr, "tintara-host32: %s\n", error.c_str());
    return kExitHostFailure;
  }
  Host32Environment environment;
  environmentForCrash = &environment;
  InstallCrashReport();
  return RunHostCommandLine(args, environment);
}
