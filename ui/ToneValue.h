// The tone fields' values and keys: reading a field's text, stepping with wrap,
// holding a value to 0..255, and what a typed character does.
#pragma once

#include "sdk/PITypes.h"

constexpr int32 kToneMax = 255;

// A field's text is read into a buffer of this size (at most one less characters).
constexpr int kToneTextBuffer = 80;

// The decimal integer at the start of text: leading white space skipped, an
// optional sign, then digits up to the first non-digit; 0 when there are no
// digits. Saturates instead of overflowing on absurdly long digit runs.
int32 ParseToneText(const char* text);

// Holds a value to 0..255 (text that reached a field without passing the character
// filter, such as a paste, can hold anything).
int32 ClampTone(int32 value);

// One arrow-key or wheel step: up from 255 or more wraps to 0, down from 0 or less
// wraps to 255.
int32 StepTone(int32 value, bool up);

// Writes value as "%d" into text (at least 12 bytes).
void FormatTone(int32 value, char* text, int size);

// What a character typed into a tone field does.
enum class ToneCharKind {
  Edit,     // backspace, digits and "%", "'", ".": the field edits its text
  Shortcut, // a letter with a shortcut
  Discard,  // everything else: never reaches the field
};
ToneCharKind ClassifyToneChar(uintptr_t code);

enum class ShortcutKind {
  None,
  Command,   // send the command of a pan button to the dialog
  ToggleRed, // toggle a channel box, then send its command
  ToggleGreen,
  ToggleBlue,
  DeleteForward,  // F: the Delete key
  DeleteBackward, // J: a backspace
};
struct ToneShortcut {
  ShortcutKind kind;
  int command; // control ID whose command the dialog receives, 0 for none
};

// The shortcut of a letter typed into a tone field, in either case.
ToneShortcut ShortcutForChar(uintptr_t code);
