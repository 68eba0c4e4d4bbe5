// The host program's job loop, shared by the Windows host and the emulated 32-bit
// host: parses each job's options, loads the image, runs the plug-in through the
// program's own loader and platform, writes the image and prints the summary.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DialogScript.h"
#include "FilterHost.h"
#include "Options.h"

constexpr int kExitOk = 0;
constexpr int kExitPluginResult = 1; // the plug-in ended with another result than expected
constexpr int kExitHostFailure = 2;  // the host could not do the job
constexpr int kExitCrash = 3;

// What a host program supplies around a job.
class HostEnvironment {
public:
  virtual ~HostEnvironment() = default;
  // Loads the plug-in file: false with a message that says why it is not usable.
  virtual bool LoadPlugin(const std::string& path, std::string& error) = 0;
  virtual PluginEntryProc Entry() const = 0;
  virtual void UnloadPlugin() = 0;
  // The platform side of one job: steps answer the first dialog, againSteps the
  // dialog of a repeated run; reload unloads the plug-in and loads it again
  // (null entry when that failed).
  virtual std::unique_ptr<HostPlatform> MakePlatform(const HostOptions& options,
                                                     std::vector<DialogStep> steps,
                                                     std::vector<DialogStep> againSteps,
                                                     std::function<PluginEntryProc()> reload) = 0;
};

// The name that starts every line the host prints ("tintara-host" unless set).
const char* HostProgramName();
void SetHostProgramName(const char* name);

// Runs the jobs of a command line (without the program name): one job, or one per
// line of a --batch file. Returns the worst exit status of the jobs.
int RunHostCommandLine(const std::vector<std::string>& args, HostEnvironment& environment);
