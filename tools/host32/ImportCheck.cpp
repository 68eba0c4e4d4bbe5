#include "ImportCheck.h"

#include <cstdio>
#include <vector>

#include "HostMain.h"
#include "PeModule.h"
#include "StandIns.h"

namespace {

// USER32 and GDI32 functions beyond the served ones are reached only from the
// parameter dialog's procedure, which runs only once DialogBoxParamA has shown
// the dialog; this host's DialogBoxParamA ends the run with a message instead.
bool IsDialogLibrary(const std::string& dll) {
  std::string key;
  for (char c : dll)
    key += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return key == "user32.dll" || key == "user32" || key == "gdi32.dll" || key == "gdi32";
}

} // namespace

int CheckImports(const std::string& path) {
  int served = 0, dialog = 0;
  std::vector<std::string> unserved;
  const ImportResolver classify = [&](const std::string& dll, const std::string& name,
                                      uint16_t ordinal) {
    if (!name.empty() && FindStandIn(dll, name) != nullptr) {
      ++served;
    } else if (IsDialogLibrary(dll)) {
      ++dialog;
    } else {
      unserved.push_back(dll + "!" + (name.empty() ? "#" + std::to_string(ordinal) : name));
    }
    return ResolveImport(dll, name, ordinal);
  };
  PeModule module;
  std::string error;
  if (!module.Map(path, classify, error)) {
    std::fprintf(stderr, "tintara-host32: %s\n", error.c_str());
    return kExitHostFailure;
  }
  std::printf("imports: %d served, %d of the dialog (not shown in this host), %zu unserved\n",
              served, dialog, unserved.size());
  for (const std::string& name : unserved)
    std::printf("unserved import: %s\n", name.c_str());
  return unserved.empty() ? 0 : 1;
}
