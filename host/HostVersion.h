// The operating system's view of the running executable's version resource.
// Windows answers through the VERSION library; the native build answers from
// data that a test sets (host/HostVersionNative.h).
#pragma once

#include "sdk/PITypes.h"

// Writes the executable's file name, zero-terminated, into buffer. False when
// there is none or it does not fit.
bool GetExecutableFileName(char* buffer, uint32 capacity);

// Size in bytes of the file's version information, 0 when it has none.
uint32 GetVersionInfoSize(const char* fileName);

// Reads size bytes of the file's version information into data.
bool ReadVersionInfo(const char* fileName, uint32 size, void* data);

// Looks up a block of version data read by ReadVersionInfo (of size bytes) by its
// path, such as "\" or "\StringFileInfo\040904b0\InternalName". On success value
// points to the block's value and length gives its size: bytes for binary values,
// characters for text (text is narrow, in the ANSI code page).
bool QueryVersionValue(const void* data, uint32 size, const char* path, const void** value,
                       uint32* length);
