#include <windows.h>

#include "PluginModule.h"
#include "Trace.h"

namespace {

// The property list names one entry per architecture; a host takes its own.
#if defined(__aarch64__) || defined(_M_ARM64)
constexpr uint32_t kEntryOwn = FourCC("wa64");
#else
constexpr uint32_t kEntryOwn = sizeof(void*) == 8 ? FourCC("8664") : FourCC("wx86");
#endif
constexpr WORD kPiplId = 16000;

std::string LastError() {
  DWORD code = GetLastError();
  wchar_t wide[256] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, wide,
                 256, nullptr);
  char text[768] = {};
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof text, nullptr, nullptr);
  std::string message = text;
  while (!message.empty() &&
         (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
    message.pop_back();
  return "error " + std::to_string(code) + (message.empty() ? "" : ": " + message);
}

BOOL CALLBACK FirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
  *reinterpret_cast<LPCSTR*>(found) = name;
  return FALSE;
}

// The bytes of the PIPL resource (id 16000, or the first one there is).
bool ReadPiplResource(HMODULE module, std::vector<uint8_t>& bytes) {
  HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(kPiplId), "PIPL");
  if (resource == nullptr) {
    LPCSTR first = nullptr;
    EnumResourceNamesA(module, "PIPL", FirstName, reinterpret_cast<LONG_PTR>(&first));
    if (first != nullptr) resource = FindResourceA(module, first, "PIPL");
  }
  if (resource == nullptr) return false;
  HGLOBAL loaded = LoadResource(module, resource);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  DWORD size = SizeofResource(module, resource);
  if (data == nullptr) return false;
  const auto* begin = static_cast<const uint8_t*>(data);
  bytes.assign(begin, begin + size);
  return true;
}

} // namespace

PluginModule::~PluginModule() {
  Unload();
}

bool PluginModule::Load(const std::string& path, std::string& error) {
  Unload();
  // First as data only: a host learns what a plug-in is without running its code.
  HMODULE data = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (data == nullptr) {
    error = path + ": cannot open as a Windows library (" + LastError() + ")";
    return false;
  }
  std::vector<uint8_t> bytes;
  bool found = ReadPiplResource(data, bytes);
  FreeLibrary(data);
  if (!found) {
    error = path + ": no PIPL resource, so not a filter plug-in";
    return false;
  }
  std::string reason;
  if (!ParsePipl(bytes.data(), bytes.size(), pipl_, reason)) {
    error = path + ": malformed property list: " + reason;
    return false;
  }
  if (!FilterEntryName(pipl_, kEntryOwn, path, entryName_, error)) return false;
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) {
    error = path + ": cannot load (" + LastError() + ")";
    return false;
  }
  module_ = module;
  entry_ = reinterpret_cast<PluginEntryProc>(
      reinterpret_cast<void*>(GetProcAddress(module, entryName_.c_str())));
  if (entry_ == nullptr) {
    error = path + ": the property list names entry '" + entryName_ +
            "', which the file does not export";
    Unload();
    return false;
  }
  return true;
}

void PluginModule::Unload() {
  if (module_ != nullptr) FreeLibrary(static_cast<HMODULE>(module_));
  module_ = nullptr;
  entry_ = nullptr;
}
