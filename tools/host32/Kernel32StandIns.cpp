// KERNEL32: modules, the last error, critical sections and thread-local slots of
// a single thread, movable global memory, and the memory queries of the runtime
// library's start-up.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>

#include <vector>

#include "CodePages.h"
#include "PeModule.h"
#include "StandIns.h"
#include "ThreadBlock.h"

namespace {

constexpr uint32_t kHostModule = 0x00400000u;
constexpr uint32_t kErrorInsufficientBuffer = 122, kErrorModNotFound = 126,
                   kErrorProcNotFound = 127, kErrorNotLocked = 158, kErrorInvalidHandle = 6,
                   kErrorInvalidParameter = 87;
constexpr uint32_t kGmemMoveable = 0x2, kGmemZeroInit = 0x40;
constexpr uint32_t kPage = 4096;

uint32_t PluginBase() {
  return World().plugin ? World().plugin->Base() : 0;
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(uint8_t(a[i])) != std::tolower(uint8_t(b[i]))) return false;
  }
  return true;
}

std::string Narrow(const uint16_t* wide) {
  std::string text;
  while (wide != nullptr && *wide != 0)
    text += char(*wide < 0x80 ? *wide++ : (++wide, '?'));
  return text;
}

uint32_t ModuleNamed(const char* name) {
  if (name == nullptr) return kHostModule;
  const std::string text = name;
  if (World().plugin != nullptr && SameName(BaseName(text), BaseName(World().plugin->Path())))
    return PluginBase();
  const uint32_t module = StandInModule(BaseName(text));
  if (module == 0) SetLastErrorValue(kErrorModNotFound);
  return module;
}

// Movable blocks: the handle points at a word that holds the data's address,
// as the classic Windows handle does.
struct Movable {
  void* data;
  uint32_t size;
  uint32_t locks;
};
std::map<void*, Movable*> movableByData;
// The sizes of fixed blocks, which are their own handles.
std::map<void*, uint32_t> fixedSizes;

// Semaphores of one thread: a wait on one that has no count would never end.
struct Semaphore {
  int32_t count;
  int32_t maximum;
};

HANDLE WINAPI CreateSemaphoreWStandIn(void*, int32_t initial, int32_t maximum, const uint16_t*) {
  if (initial < 0 || maximum <= 0 || initial > maximum) return nullptr;
  return new Semaphore{initial, maximum};
}

BOOL WINAPI ReleaseSemaphoreStandIn(HANDLE handle, int32_t count, int32_t* previous) {
  auto* semaphore = static_cast<Semaphore*>(handle);
  if (semaphore == nullptr || count <= 0 || semaphore->count > semaphore->maximum - count) return 0;
  if (previous != nullptr) *previous = semaphore->count;
  semaphore->count += count;
  return 1;
}

DWORD WINAPI WaitForSingleObjectStandIn(HANDLE handle, DWORD) {
  auto* semaphore = static_cast<Semaphore*>(handle);
  if (semaphore == nullptr || semaphore->count == 0)
    Unserved("KERNEL32.dll!WaitForSingleObject", "the only thread would wait forever");
  --semaphore->count;
  return 0; // WAIT_OBJECT_0
}

HANDLE WINAPI GetModuleHandleAStandIn(const char* name) {
  return reinterpret_cast<HANDLE>(uintptr_t(ModuleNamed(name)));
}

HANDLE WINAPI GetModuleHandleWStandIn(const uint16_t* name) {
  if (name == nullptr) return reinterpret_cast<HANDLE>(uintptr_t(kHostModule));
  const std::string narrow = Narrow(name);
  return GetModuleHandleAStandIn(narrow.c_str());
}

HANDLE WINAPI LoadLibraryAStandIn(const char* name) {
  return name == nullptr ? nullptr : GetModuleHandleAStandIn(name);
}

HANDLE WINAPI LoadLibraryWStandIn(const uint16_t* name) {
  return name == nullptr ? nullptr : GetModuleHandleWStandIn(name);
}

BOOL WINAPI FreeLibraryStandIn(HANDLE) {
  return 1;
}

void* WINAPI GetProcAddressStandIn(HANDLE module, const char* name) {
  const uint32_t handle = uint32_t(reinterpret_cast<uintptr_t>(module));
  void* found = nullptr;
  if (reinterpret_cast<uintptr_t>(name) >= 0x10000) { // not an ordinal
    if (handle != 0 && handle == PluginBase()) {
      found = World().plugin->Export(name);
    } else {
      found = StandInOfModule(handle, name);
    }
  }
  if (found == nullptr) SetLastErrorValue(kErrorProcNotFound);
  return found;
}

DWORD WINAPI GetModuleFileNameAStandIn(HANDLE module, char* buffer, DWORD size) {
  const uint32_t handle = uint32_t(reinterpret_cast<uintptr_t>(module));
  std::string path;
  if (handle == 0 || handle == kHostModule) {
    path = World().hostPath;
  } else if (handle == PluginBase()) {
    path = World().plugin->Path();
  } else {
    SetLastErrorValue(kErrorModNotFound);
    return 0;
  }
  if (size == 0) {
    SetLastErrorValue(kErrorInsufficientBuffer);
    return 0;
  }
  if (path.size() < size) {
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    SetLastErrorValue(0);
    return DWORD(path.size());
  }
  // Cut to the buffer, as Windows does: the result then equals the size.
  std::memcpy(buffer, path.data(), size - 1);
  buffer[size - 1] = '\0';
  SetLastErrorValue(kErrorInsufficientBuffer);
  return size;
}

DWORD WINAPI GetLastErrorStandIn() {
  return TebField(kTebLastError);
}

void WINAPI SetLastErrorStandIn(DWORD code) {
  SetLastErrorValue(code);
}

DWORD WINAPI GetCurrentThreadIdStandIn() {
  return TebField(0x24);
}

// One thread: a critical section never waits.
void WINAPI CriticalSectionStandIn(void*) {}

void WINAPI SleepStandIn(DWORD) {}

// The only handles this host gives out are semaphores.
BOOL WINAPI CloseHandleStandIn(HANDLE handle) {
  delete static_cast<Semaphore*>(handle);
  return 1;
}

BOOL WINAPI IsDBCSLeadByteExStandIn(UINT, uint8_t) {
  return 0; // the emulated code page (UTF-8) has no lead bytes of double-byte characters
}

DWORD WINAPI TlsAllocStandIn() {
  static bool used[kTlsSlotCount] = {};
  for (DWORD i = 0; i < kTlsSlotCount; ++i) {
    if (!used[i]) {
      used[i] = true;
      TebField(kTebTlsSlots + 4 * i) = 0;
      return i;
    }
  }
  return 0xFFFFFFFFu;
}

BOOL WINAPI TlsFreeStandIn(DWORD index) {
  return index < kTlsSlotCount ? 1 : 0;
}

void* WINAPI TlsGetValueStandIn(DWORD index) {
  if (index >= kTlsSlotCount) return nullptr;
  SetLastErrorValue(0);
  return reinterpret_cast<void*>(uintptr_t(TebField(kTebTlsSlots + 4 * index)));
}

BOOL WINAPI TlsSetValueStandIn(DWORD index, void* value) {
  if (index >= kTlsSlotCount) return 0;
  TebField(kTebTlsSlots + 4 * index) = uint32_t(reinterpret_cast<uintptr_t>(value));
  return 1;
}

// The image is mapped readable, writable and executable as a whole.
BOOL WINAPI VirtualProtectStandIn(void*, DWORD, DWORD, DWORD* old) {
  if (old != nullptr) *old = 0x40; // PAGE_EXECUTE_READWRITE
  return 1;
}

DWORD WINAPI VirtualQueryStandIn(const void* address, uint32_t* info, DWORD length) {
  if (info == nullptr || length < 28) return 0;
  const uint32_t at = uint32_t(reinterpret_cast<uintptr_t>(address));
  const bool inImage = World().plugin != nullptr && World().plugin->Contains(at);
  info[0] = at & ~(kPage - 1);                // BaseAddress
  info[1] = inImage ? PluginBase() : info[0]; // AllocationBase
  info[2] = 0x40;                             // AllocationProtect
  info[3] = kPage;                            // RegionSize
  info[4] = 0x1000;                           // State: MEM_COMMIT
  info[5] = 0x40;                             // Protect
  info[6] = inImage ? 0x1000000u : 0x20000u;  // Type: MEM_IMAGE or MEM_PRIVATE
  return 28;
}

HANDLE WINAPI GlobalAllocStandIn(UINT flags, DWORD size) {
  void* data =
      (flags & kGmemZeroInit) ? std::calloc(size ? size : 1, 1) : std::malloc(size ? size : 1);
  if (data == nullptr) return nullptr;
  if (!(flags & kGmemMoveable)) {
    fixedSizes[data] = size;
    return data;
  }
  auto* block = new Movable{data, size, 0};
  movableByData[data] = block;
  return block;
}

Movable* AsMovable(HANDLE handle) {
  for (const auto& entry : movableByData) {
    if (entry.second == handle) return entry.second;
  }
  return nullptr;
}

HANDLE WINAPI GlobalFreeStandIn(HANDLE handle) {
  if (handle == nullptr) return nullptr;
  if (Movable* block = AsMovable(handle)) {
    movableByData.erase(block->data);
    std::free(block->data);
    delete block;
  } else {
    fixedSizes.erase(handle);
    std::free(handle);
  }
  return nullptr;
}

void* WINAPI GlobalLockStandIn(HANDLE handle) {
  Movable* block = AsMovable(handle);
  if (block == nullptr) return handle; // fixed memory is its own address
  ++block->locks;
  return block->data;
}

BOOL WINAPI GlobalUnlockStandIn(HANDLE handle) {
  Movable* block = AsMovable(handle);
  if (block == nullptr) return 1;
  if (block->locks == 0) {
    SetLastErrorValue(kErrorNotLocked);
    return 0;
  }
  --block->locks;
  SetLastErrorValue(0);
  return block->locks > 0 ? 1 : 0;
}

HANDLE WINAPI GlobalHandleStandIn(const void* data) {
  auto found = movableByData.find(const_cast<void*>(data));
  if (found != movableByData.end()) return found->second;
  if (data == nullptr) SetLastErrorValue(kErrorInvalidHandle);
  return const_cast<void*>(data);
}

// The size asked for when the block was allocated; 0 with ERROR_INVALID_HANDLE
// for anything that is not a live block of this host.
DWORD WINAPI GlobalSizeStandIn(HANDLE handle) {
  if (Movable* block = AsMovable(handle)) return block->size;
  auto fixed = fixedSizes.find(handle);
  if (fixed != fixedSizes.end()) return fixed->second;
  SetLastErrorValue(kErrorInvalidHandle);
  return 0;
}

// Copies a converted text out as Windows does: its length when capacity is 0,
// else the text when it fits, else 0 with ERROR_INSUFFICIENT_BUFFER.
template <typename Unit>
int CopyConverted(const Unit* text, std::size_t length, Unit* out, int capacity) {
  if (capacity == 0) return int(length);
  if (out == nullptr || length > std::size_t(capacity)) {
    SetLastErrorValue(out == nullptr ? kErrorInvalidParameter : kErrorInsufficientBuffer);
    return 0;
  }
  std::memcpy(out, text, length * sizeof(Unit));
  return int(length);
}

int WINAPI MultiByteToWideCharStandIn(UINT codePage, DWORD, const char* text, int count,
                                      uint16_t* out, int capacity) {
  std::vector<uint16_t> units;
  uint32_t error = kErrorInvalidParameter;
  if (text == nullptr || count == 0 || capacity < 0 ||
      !MultiByteToUtf16(codePage, text, count, units, error)) {
    SetLastErrorValue(error);
    return 0;
  }
  return CopyConverted(units.data(), units.size(), out, capacity);
}

int WINAPI WideCharToMultiByteStandIn(UINT codePage, DWORD, const uint16_t* text, int count,
                                      char* out, int capacity, const char*, BOOL* usedDefault) {
  std::string bytes;
  uint32_t error = kErrorInvalidParameter;
  if (text == nullptr || count == 0 || capacity < 0 ||
      !Utf16ToMultiByte(codePage, text, count, bytes, error)) {
    SetLastErrorValue(error);
    return 0;
  }
  if (usedDefault != nullptr) *usedDefault = 0;
  return CopyConverted(bytes.data(), bytes.size(), out, capacity);
}

#define STAND_IN(name)                                                                             \
  { #name, reinterpret_cast < void*>(&name##StandIn) }

} // namespace

const StandIn kKernel32StandIns[] = {
    STAND_IN(CloseHandle),
    STAND_IN(CreateSemaphoreW),
    {"DeleteCriticalSection", reinterpret_cast<void*>(&CriticalSectionStandIn)},
    {"EnterCriticalSection", reinterpret_cast<void*>(&CriticalSectionStandIn)},
    STAND_IN(FreeLibrary),
    STAND_IN(GetCurrentThreadId),
    STAND_IN(GetLastError),
    STAND_IN(GetModuleFileNameA),
    STAND_IN(GetModuleHandleA),
    STAND_IN(GetModuleHandleW),
    STAND_IN(GetProcAddress),
    STAND_IN(GlobalAlloc),
    STAND_IN(GlobalFree),
    STAND_IN(GlobalHandle),
    STAND_IN(GlobalLock),
    STAND_IN(GlobalSize),
    STAND_IN(GlobalUnlock),
    {"InitializeCriticalSection", reinterpret_cast<void*>(&CriticalSectionStandIn)},
    STAND_IN(IsDBCSLeadByteEx),
    {"LeaveCriticalSection", reinterpret_cast<void*>(&CriticalSectionStandIn)},
    STAND_IN(LoadLibraryA),
    STAND_IN(LoadLibraryW),
    STAND_IN(MultiByteToWideChar),
    STAND_IN(ReleaseSemaphore),
    STAND_IN(SetLastError),
    STAND_IN(Sleep),
    STAND_IN(TlsAlloc),
    STAND_IN(TlsFree),
    STAND_IN(TlsGetValue),
    STAND_IN(TlsSetValue),
    STAND_IN(VirtualProtect),
    STAND_IN(VirtualQuery),
    STAND_IN(WaitForSingleObject),
    STAND_IN(WideCharToMultiByte),
    {nullptr, nullptr},
};
