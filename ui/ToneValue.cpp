#include "ui/ToneValue.h"

#include <cstdio>

#include "ui/DialogIds.h"

int32 ParseToneText(const char* text) {
  if (text == nullptr) return 0;
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v')
    ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  constexpr int32 kSaturated = 1000000000;
  int32 value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value >= kSaturated / 10) value = kSaturated / 10;
  }
  return negative ? -value : value;
}

int32 ClampTone(int32 value) {
  return value < 0 ? 0 : (value > kToneMax ? kToneMax : value);
}

int32 StepTone(int32 value, bool up) {
  if (up) return value >= kToneMax ? 0 : value + 1;
  return value <= 0 ? kToneMax : value - 1;
}

void FormatTone(int32 value, char* text, int size) {
  std::snprintf(text, static_cast<size_t>(size), "%d", static_cast<int>(value));
}

ToneCharKind ClassifyToneChar(uintptr_t code) {
  if (code == 8 || code == '%' || code == '\'' || code == '.') return ToneCharKind::Edit;
  if (code >= '0' && code <= '9') return ToneCharKind::Edit;
  if (ShortcutForChar(code).kind != ShortcutKind::None) return ToneCharKind::Shortcut;
  return ToneCharKind::Discard;
}

ToneShortcut ShortcutForChar(uintptr_t code) {
  if (code > 'z') return {ShortcutKind::None, 0};
  char c = static_cast<char>(code);
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  switch (c) {
  case 'A':
    return {ShortcutKind::Command, kIdPanA};
  case 'B':
    return {ShortcutKind::ToggleBlue, kIdCheckBlue};
  case 'C':
    return {ShortcutKind::Command, kIdPanC};
  case 'D':
    return {ShortcutKind::Command, kIdPanD};
  case 'E':
    return {ShortcutKind::Command, kIdPanE};
  case 'F':
    return {ShortcutKind::DeleteForward, 0};
  case 'G':
    return {ShortcutKind::ToggleGreen, kIdCheckGreen};
  case 'J':
    return {ShortcutKind::DeleteBackward, 0};
  case 'Q':
    return {ShortcutKind::Command, kIdPanQ};
  case 'R':
    return {ShortcutKind::ToggleRed, kIdCheckRed};
  case 'W':
    return {ShortcutKind::Command, kIdPanW};
  case 'X':
    return {ShortcutKind::Command, kIdPanX};
  case 'Z':
    return {ShortcutKind::Command, kIdPanZ};
  default:
    return {ShortcutKind::None, 0};
  }
}
