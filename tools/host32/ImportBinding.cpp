#include <sys/mman.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "StandIns.h"
#include "ThreadBlock.h"
#include "Trace.h"

namespace {

struct Library {
  const char* name;
  const StandIn* table;
  uint32_t module; // pseudo handle
};

const StandIn kNone[] = {{nullptr, nullptr}};

const Library kLibraries[] = {
    {"kernel32", kKernel32StandIns, 0x7E000000u}, {"msvcrt", kMsvcrtStandIns, 0x7E100000u},
    {"user32", kUser32StandIns, 0x7E200000u},     {"gdi32", kNone, 0x7E300000u},
    {"version", kVersionStandIns, 0x7E400000u},
};

std::string LibraryKey(const std::string& dll) {
  std::string key;
  for (char c : dll)
    key += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (key.size() > 4 && key.compare(key.size() - 4, 4, ".dll") == 0) key.resize(key.size() - 4);
  return key;
}

const Library* FindLibrary(const std::string& dll) {
  const std::string key = LibraryKey(dll);
  for (const Library& library : kLibraries) {
    if (key == library.name) return &library;
  }
  return nullptr;
}

void* FindIn(const StandIn* table, const std::string& name) {
  for (; table->name != nullptr; ++table) {
    if (name == table->name) return table->address;
  }
  return nullptr;
}

// Each unserved import gets a 12-byte thunk: push its index, call the reporter.
constexpr std::size_t kThunkSize = 12, kThunkCapacity = 4096 / kThunkSize;
uint8_t* thunks = nullptr;
std::vector<std::string> trapNames;

extern "C" [[noreturn]] void UnservedImport(uint32_t index) {
  Unserved(index < trapNames.size() ? trapNames[index] : "an unknown import",
           "this host has no stand-in for it");
}

// The reporter finds the pushed index as its cdecl argument.
// One trap per function name for the life of the process, however often the
// plug-in is loaded.
uint32_t MakeTrap(const std::string& name) {
  for (std::size_t i = 0; i < trapNames.size(); ++i) {
    if (trapNames[i] == name) return uint32_t(reinterpret_cast<uintptr_t>(thunks + i * kThunkSize));
  }
  if (thunks == nullptr) {
    void* page =
        mmap(nullptr, 4096, PROT_READ | PROT_WRITE | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) Unserved(name, "no memory for the trap of an unserved import");
    thunks = static_cast<uint8_t*>(page);
  }
  if (trapNames.size() >= kThunkCapacity) Unserved(name, "too many unserved imports");
  const uint32_t index = uint32_t(trapNames.size());
  trapNames.push_back(name);
  uint8_t* thunk = thunks + index * kThunkSize;
  const uint32_t reporter = uint32_t(reinterpret_cast<uintptr_t>(&UnservedImport));
  thunk[0] = 0x68; // push index
  std::memcpy(thunk + 1, &index, 4);
  thunk[5] = 0xB8; // mov reporter, %eax
  std::memcpy(thunk + 6, &reporter, 4);
  thunk[10] = 0xFF; // call *%eax
  thunk[11] = 0xD0;
  return uint32_t(reinterpret_cast<uintptr_t>(thunk));
}

} // namespace

StandInWorld& World() {
  static StandInWorld world;
  return world;
}

void* FindStandIn(const std::string& dll, const std::string& name) {
  const Library* library = FindLibrary(dll);
  return library ? FindIn(library->table, name) : nullptr;
}

uint32_t StandInModule(const std::string& dll) {
  const Library* library = FindLibrary(dll);
  return library ? library->module : 0;
}

void* StandInOfModule(uint32_t module, const std::string& name) {
  for (const Library& library : kLibraries) {
    if (library.module == module) return FindIn(library.table, name);
  }
  return nullptr;
}

uint32_t ResolveImport(const std::string& dll, const std::string& name, uint16_t ordinal) {
  void* standIn = name.empty() ? nullptr : FindStandIn(dll, name);
  if (standIn != nullptr) return uint32_t(reinterpret_cast<uintptr_t>(standIn));
  return MakeTrap(dll + "!" + (name.empty() ? "#" + std::to_string(ordinal) : name));
}

void Unserved(const std::string& function, const std::string& why) {
  std::fprintf(stderr, "tintara-host32: the plug-in called %s, which this host cannot serve: %s\n",
               function.c_str(), why.c_str());
  HostTrace().Line("unserved %s: %s", function.c_str(), why.c_str());
  HostTrace().Close();
  std::fflush(stdout);
  std::_Exit(2);
}

void SetLastErrorValue(uint32_t code) {
  TebField(kTebLastError) = code;
}
