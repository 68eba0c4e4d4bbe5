// Stand-ins for the Windows functions that the 32-bit plug-in imports from
// KERNEL32, msvcrt, USER32, GDI32 and VERSION, with the calling convention that
// Windows gives each (stdcall for the system libraries, cdecl for msvcrt). What
// a stand-in cannot serve is bound to a trap that names the function and ends
// the run: the host never pretends that a call succeeded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#define WINAPI __attribute__((stdcall))

using BOOL = int32_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using HANDLE = void*;

class PeModule;

struct StandIn {
  const char* name;
  void* address;
};

// What the stand-ins know of the process.
struct StandInWorld {
  PeModule* plugin = nullptr;
  std::string hostPath;                 // what GetModuleFileNameA(NULL) answers
  bool haveVersion = false;             // serve a version resource for hostPath
  std::vector<uint8_t> versionResource; // the raw VS_VERSIONINFO block
};
StandInWorld& World();

// The served functions of each library, ended by a null name.
extern const StandIn kKernel32StandIns[];
extern const StandIn kMsvcrtStandIns[];
extern const StandIn kUser32StandIns[];
extern const StandIn kVersionStandIns[];

// A stand-in that the plug-in may call for a library of this name (any case, with
// or without ".dll"); null when none serves it.
void* FindStandIn(const std::string& dll, const std::string& name);
// The pseudo module handle of a served library, 0 when the name is not one.
uint32_t StandInModule(const std::string& dll);
// The served function of a pseudo module handle, null when none.
void* StandInOfModule(uint32_t module, const std::string& name);
// Binds an import: the stand-in, or a trap that reports dll!name when called.
uint32_t ResolveImport(const std::string& dll, const std::string& name, uint16_t ordinal);

// Ends the run: the plug-in needed something this host does not provide.
[[noreturn]] void Unserved(const std::string& function, const std::string& why);

// Windows' last error, kept in the thread block.
void SetLastErrorValue(uint32_t code);
