#include <windows.h>

#include "host/HostVersion.h"

bool GetExecutableFileName(char* buffer, uint32 capacity) {
  if (capacity < 2) return false;
  // At most capacity - 1 characters; a name that fills them may have been cut,
  // and a cut name could name another file, so it is not used.
  const DWORD length = GetModuleFileNameA(nullptr, buffer, capacity - 1);
  buffer[capacity - 1] = '\0';
  if (length == 0 || length >= capacity - 1) return false;
  buffer[length] = '\0';
  return true;
}

uint32 GetVersionInfoSize(const char* fileName) {
  DWORD ignored = 0;
  return GetFileVersionInfoSizeA(fileName, &ignored);
}

bool ReadVersionInfo(const char* fileName, uint32 size, void* data) {
  return GetFileVersionInfoA(fileName, 0, size, data) != FALSE;
}

bool QueryVersionValue(const void* data, uint32 size, const char* path, const void** value,
                       uint32* length) {
  void* address = nullptr;
  UINT count = 0;
  if (!VerQueryValueA(data, path, &address, &count)) return false;
  // The answer is held to the buffer that was read: a value outside it is refused,
  // and one that runs past its end is cut there.
  const auto begin = reinterpret_cast<uintptr_t>(data);
  const auto at = reinterpret_cast<uintptr_t>(address);
  if (at < begin || at - begin > size) return false;
  const uint32 room = uint32(size - (at - begin));
  *value = address;
  *length = count < room ? uint32(count) : room;
  return true;
}
