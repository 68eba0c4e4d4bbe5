// The call trace: one line per selector call and per host callback, with the
// arguments that tests assert on (rectangles as top,left,bottom,right).
#pragma once

#include <cstdio>
#include <string>

#include "sdk/FilterRecord.h"

// clang (the ARM64 build) knows no gnu_printf; its printf checks C99 formats.
#if defined(_WIN32) && !defined(__clang__)
#define TRACE_PRINTF_FORMAT __attribute__((format(gnu_printf, 2, 3)))
#else
#define TRACE_PRINTF_FORMAT __attribute__((format(printf, 2, 3)))
#endif

class Trace {
public:
  ~Trace();
  bool Open(const std::string& path);
  void Close();
  bool Enabled() const { return file_ != nullptr; }
  // printf-style; a newline is added. Lines are buffered: Flush() before a call
  // into the plug-in, so that a hang or a crash shows where it happened.
  void Line(const char* format, ...) TRACE_PRINTF_FORMAT;
  // A numbered call such as abortProc #12 -> 0: consecutive calls of the same
  // name with the same answer become one line "name #first..#last -> answer".
  void Counted(const char* name, long number, const char* answer);
  void Flush();

private:
  void EndRun();
  FILE* file_ = nullptr;
  std::string runName_, runAnswer_;
  long runFirst_ = 0, runLast_ = 0;
};

// The process-wide trace that every callback writes to.
Trace& HostTrace();

std::string RectText(const Rect& rect);
std::string VRectText(const VRect& rect);
bool RectEmpty(const Rect& rect);
const char* SelectorName(int16 selector);
// "noErr", "userCanceledErr", ... or "" for codes without a name.
const char* ResultName(int16 code);
// The code with its name in parentheses when it has one.
std::string ResultText(int16 code);
