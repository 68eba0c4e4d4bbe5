// Identification of the host application from its executable's version resource.
//
// The host is identified once per process, on the first query whose key is known;
// the answer is a packed version word, 0 for "not the host that the key names".
#pragma once

#include <cstddef>

#include "sdk/PITypes.h"

struct HostIdentity {
  OSType signature; // from the host name table; 0 when the host is not identified
  uint8 major;      // version numbers from the FileVersion string
  uint8 minor;
  uint8 fix;
  uint8 osCode; // 10 VOS_NT, 11 VOS__WINDOWS16, 12 any other; 0 without fixed file info
};

// The process-wide identity and whether identification has been attempted.
extern HostIdentity hostIdentity;
extern bool hostIdentificationAttempted;

// 0, or the packed version word of the running host when it belongs to the key.
uint32 QueryHostVersion(OSType key);

// Fills the identity from the executable's version resource. Returns 0, or -108
// when the buffer for the version data cannot be allocated; a missing or
// unreadable resource is no error and leaves the fields it did not reach at 0.
int16 IdentifyHost(HostIdentity* identity);

// The packed word: major << 24 | minor << 20 | fix << 16 | osCode. The version
// numbers are not cut to four bits, so a minor above 15 spills into major's bits.
uint32 PackHostVersion(const HostIdentity& identity);

// Position of the key in the key table, or -1 (a key of 0 is never found).
int FindHostKey(OSType key);
// Whether the signature lies in the key table from the position to the end of
// its group.
bool HostKeyCovers(int position, OSType signature);

// Signature of the first host name table row of which the value (read up to its
// zero byte, at most length bytes) is the name or a leading part of it, letters
// A to Z compared without regard to case; 0 when no row matches or it is empty.
OSType MatchHostName(const char* value, std::size_t length);

// osCode for the fixed file information's dwFileOS.
uint8 OsCodeFromFileOS(uint32 fileOS);
