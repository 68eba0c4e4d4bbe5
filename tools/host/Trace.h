// The call trace: one line per selector call and per host callback, with the
// arguments that tests assert on (rectangles as top,left,bottom,right).
#pragma once

#include <cstdio>
#include <string>

#include "sdk/FilterRecord.h"

#if defined(_WIN32)
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
  // printf-style; a newline is added.
  void Line(const char* format, ...) TRACE_PRINTF_FORMAT;

private:
  FILE* file_ = nullptr;
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
