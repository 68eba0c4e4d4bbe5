#include "DialogScript.h"

#include <cctype>
#include <cstdlib>

int PanButton(char letter) {
  switch (std::toupper(static_cast<unsigned char>(letter))) {
  case 'E':
    return 1013;
  case 'C':
    return 1014;
  case 'D':
    return 1015;
  case 'Q':
    return 1016;
  case 'Z':
    return 1017;
  case 'A':
    return 1018;
  case 'W':
    return 1019;
  case 'X':
    return 1020;
  default:
    return 0;
  }
}

namespace {

bool Integer(const std::string& text, int& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  long parsed = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || parsed < -100000 || parsed > 100000) return false;
  value = int(parsed);
  return true;
}

bool ParseStep(const std::string& text, DialogStep& step, std::string& error) {
  step.text = text;
  std::size_t eq = text.find('=');
  std::string name = text.substr(0, eq);
  std::string arg = eq == std::string::npos ? "" : text.substr(eq + 1);
  bool hasArg = eq != std::string::npos;
  auto noArg = [&](StepKind kind) {
    step.kind = kind;
    if (hasArg) error = "'" + name + "' takes no value";
    return !hasArg;
  };
  if (name == "r" || name == "g" || name == "b") {
    step.kind = StepKind::Field;
    step.control = name == "r" ? kEditRed : name == "g" ? kEditGreen : kEditBlue;
    step.argument = arg;
    if (!Integer(arg, step.value) || step.value < 0) {
      error = "'" + text + "': the value must be a number 0 or more";
      return false;
    }
    return true;
  }
  if (name == "focus") {
    step.kind = StepKind::Focus;
    step.control = arg == "r" ? kEditRed : arg == "g" ? kEditGreen : arg == "b" ? kEditBlue : 0;
    if (step.control == 0) error = "'" + text + "': focus takes r, g or b";
    return step.control != 0;
  }
  if (name == "paste") {
    step.kind = StepKind::Paste;
    step.argument = arg;
    return hasArg;
  }
  if (name == "check") {
    step.kind = StepKind::Check;
    for (char c : arg) {
      int index = c == 'r' || c == 'R'   ? 0
                  : c == 'g' || c == 'G' ? 1
                  : c == 'b' || c == 'B' ? 2
                                         : -1;
      if (index < 0) {
        error = "'" + text + "': check takes the letters r, g and b";
        return false;
      }
      step.checks[index] = true;
    }
    return hasArg;
  }
  if (name == "pan") {
    step.kind = StepKind::Pan;
    step.control = arg.size() == 1 ? PanButton(arg[0]) : 0;
    if (step.control == 0) error = "'" + text + "': pan takes one of Q W E A D Z X C";
    return step.control != 0;
  }
  if (name == "zoom") {
    step.kind = StepKind::Zoom;
    step.control = arg == "in" ? kZoomIn : arg == "out" ? kZoomOut : 0;
    if (step.control == 0) error = "'" + text + "': zoom takes in or out";
    return step.control != 0;
  }
  if (name == "drag" || name == "hold") {
    step.kind = name == "drag" ? StepKind::Drag : StepKind::Hold;
    std::size_t comma = arg.find(',');
    if (comma == std::string::npos || !Integer(arg.substr(0, comma), step.dx) ||
        !Integer(arg.substr(comma + 1), step.dy)) {
      error = "'" + text + "': drag takes DX,DY";
      return false;
    }
    return true;
  }
  if (name == "type") {
    step.kind = StepKind::Type;
    step.argument = arg;
    if (!hasArg) error = "'type' needs text";
    return hasArg;
  }
  if (name == "key") {
    step.kind = StepKind::Key;
    step.argument = arg;
    if (arg != "up" && arg != "down" && arg != "wheelup" && arg != "wheeldown" && arg != "left" &&
        arg != "right" && arg != "home" && arg != "end" && arg != "enter" && arg != "escape") {
      error = "'" + text +
              "': key takes up, down, wheelup, wheeldown, left, right, home, end, "
              "enter or escape";
      return false;
    }
    return true;
  }
  if (name == "shot") {
    step.kind = StepKind::Shot;
    step.argument = arg;
    if (arg.empty()) error = "'shot' needs a file name";
    return !arg.empty();
  }
  if (name == "wait") {
    step.kind = StepKind::Wait;
    if (!Integer(arg, step.value) || step.value < 0) {
      error = "'" + text + "': wait takes milliseconds";
      return false;
    }
    return true;
  }
  if (name == "swatch") return noArg(StepKind::Swatch);
  if (name == "pick") return noArg(StepKind::Pick);
  if (name == "dblclick") return noArg(StepKind::DoubleClick);
  if (name == "ok") return noArg(StepKind::Ok);
  if (name == "cancel") return noArg(StepKind::Cancel);
  error = "unknown dialog step '" + text + "'";
  return false;
}

} // namespace

bool ParseDialogScript(const std::string& script, std::vector<DialogStep>& steps,
                       std::string& error) {
  steps.clear();
  std::size_t start = 0;
  while (start <= script.size()) {
    std::size_t end = script.find(';', start);
    if (end == std::string::npos) end = script.size();
    std::string text = script.substr(start, end - start);
    // Surrounding blanks are dropped, except inside type=TEXT.
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
      text.erase(0, 1);
    if (text.rfind("type=", 0) != 0) {
      while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    }
    if (!text.empty()) {
      DialogStep step;
      if (!ParseStep(text, step, error)) {
        if (error.empty()) error = "malformed dialog step '" + text + "'";
        return false;
      }
      steps.push_back(step);
    }
    start = end + 1;
  }
  return true;
}
