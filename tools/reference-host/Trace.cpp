#include "Trace.h"

#include <cstdarg>

Trace::~Trace() {
  Close();
}

bool Trace::Open(const std::string& path) {
  Close();
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ != nullptr) std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
  return file_ != nullptr;
}

void Trace::Close() {
  if (file_ != nullptr) {
    EndRun();
    std::fclose(file_);
  }
  file_ = nullptr;
}

void Trace::Flush() {
  if (file_ == nullptr) return;
  EndRun();
  std::fflush(file_);
}

void Trace::EndRun() {
  if (runName_.empty()) return;
  if (runFirst_ == runLast_) {
    std::fprintf(file_, "%s #%ld -> %s\n", runName_.c_str(), runFirst_, runAnswer_.c_str());
  } else {
    std::fprintf(file_, "%s #%ld..#%ld -> %s\n", runName_.c_str(), runFirst_, runLast_,
                 runAnswer_.c_str());
  }
  runName_.clear();
}

void Trace::Counted(const char* name, long number, const char* answer) {
  if (file_ == nullptr) return;
  if (runName_ == name && runAnswer_ == answer && number == runLast_ + 1) {
    runLast_ = number;
    return;
  }
  EndRun();
  runName_ = name;
  runAnswer_ = answer;
  runFirst_ = runLast_ = number;
}

void Trace::Line(const char* format, ...) {
  if (file_ == nullptr) return;
  EndRun();
  va_list args;
  va_start(args, format);
  std::vfprintf(file_, format, args);
  va_end(args);
  std::fputc('\n', file_);
}

Trace& HostTrace() {
  static Trace trace;
  return trace;
}

std::string RectText(const Rect& rect) {
  return std::to_string(rect.top) + "," + std::to_string(rect.left) + "," +
         std::to_string(rect.bottom) + "," + std::to_string(rect.right);
}

std::string VRectText(const VRect& rect) {
  return std::to_string(rect.top) + "," + std::to_string(rect.left) + "," +
         std::to_string(rect.bottom) + "," + std::to_string(rect.right);
}

bool RectEmpty(const Rect& rect) {
  return rect.top >= rect.bottom || rect.left >= rect.right;
}

const char* SelectorName(int16 selector) {
  switch (selector) {
  case filterSelectorAbout:
    return "About";
  case filterSelectorParameters:
    return "Parameters";
  case filterSelectorPrepare:
    return "Prepare";
  case filterSelectorStart:
    return "Start";
  case filterSelectorContinue:
    return "Continue";
  case filterSelectorFinish:
    return "Finish";
  default:
    return "Unknown";
  }
}

const char* ResultName(int16 code) {
  switch (code) {
  case noErr:
    return "noErr";
  case coercedParamErr:
    return "coercedParamErr";
  case paramErr:
    return "paramErr";
  case memFullErr:
    return "memFullErr";
  case nilHandleErr:
    return "nilHandleErr";
  case userCanceledErr:
    return "userCanceledErr";
  case errAEParamMissed:
    return "errAEParamMissed";
  case -1700:
    return "errAECoercionFail";
  case filterBadParameters:
    return "filterBadParameters";
  case filterBadMode:
    return "filterBadMode";
  case -30900:
    return "errPlugInHostInsufficient";
  default:
    return "";
  }
}

std::string ResultText(int16 code) {
  const char* name = ResultName(code);
  if (*name == '\0') return std::to_string(code);
  return std::to_string(code) + " (" + name + ")";
}
