// USER32: the string table and the message box of About. The dialog's windowing
// functions are not served: the dialog runs only in the Windows host.
#include <cstring>

#include "PeModule.h"
#include "StandIns.h"
#include "Trace.h"
#include "Utf16.h"

namespace {

constexpr uint16_t kStringTable = 6;
constexpr int kIdOk = 1;

// String id of the plug-in's string table, as UTF-8; false when it has none.
bool ReadString(uint32_t id, std::string& text) {
  const PeModule* plugin = World().plugin;
  std::vector<uint8_t> block;
  if (plugin == nullptr ||
      !plugin->File().ReadResource(ResourceKey{kStringTable, {}},
                                   ResourceKey{uint16_t((id >> 4) + 1), {}}, block))
    return false;
  std::size_t at = 0;
  for (uint32_t i = 0; i < 16; ++i) {
    uint16_t length = 0;
    if (!ReadU16(block, at, length) || at + 2 + 2 * std::size_t(length) > block.size())
      return false;
    if (i == (id & 15)) {
      std::vector<uint16_t> units(length);
      std::memcpy(units.data(), block.data() + at + 2, 2 * std::size_t(length));
      text = Utf8FromUtf16(units.data(), units.size());
      return length != 0;
    }
    at += 2 + 2 * std::size_t(length);
  }
  return false;
}

int WINAPI LoadStringAStandIn(HANDLE module, UINT id, char* buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return 0;
  buffer[0] = '\0';
  std::string text;
  const bool ownModule = World().plugin != nullptr &&
                         uint32_t(reinterpret_cast<uintptr_t>(module)) == World().plugin->Base();
  if (!ownModule || !ReadString(id, text)) return 0;
  const std::size_t length = Utf8Fit(text, std::size_t(capacity) - 1);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return int(length);
}

std::string OneLine(const char* text) {
  std::string line = text != nullptr ? text : "";
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return line;
}

// Nobody reads the box here: it is traced as the Windows host traces the boxes
// it answers, and closed with its first button.
int WINAPI MessageBoxAStandIn(HANDLE, const char* text, const char* caption, UINT) {
  HostTrace().Line("messageBox caption=\"%s\" text=\"%s\"", OneLine(caption).c_str(),
                   OneLine(text).c_str());
  HostTrace().Line("messageBox closed with button %d", kIdOk);
  return kIdOk;
}

intptr_t WINAPI DialogBoxParamAStandIn(HANDLE, const char*, HANDLE, void*, intptr_t) {
  Unserved("USER32.dll!DialogBoxParamA",
           "the parameter dialog is not run in this host (scripts/apply --plugin runs the "
           "32-bit file with its dialog in the 32-bit tintara-host under Wine)");
}

} // namespace

const StandIn kUser32StandIns[] = {
    {"DialogBoxParamA", reinterpret_cast<void*>(&DialogBoxParamAStandIn)},
    {"LoadStringA", reinterpret_cast<void*>(&LoadStringAStandIn)},
    {"MessageBoxA", reinterpret_cast<void*>(&MessageBoxAStandIn)},
    {nullptr, nullptr},
};
