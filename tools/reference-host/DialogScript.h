// The dialog automation language: steps separated by ';', each acting on the
// plug-in's dialog as a person would.
//   r=N g=N b=N     replace that tone field's text by typing N, then leave the field
//   check=LETTERS   make exactly the channels named by r, g, b checked (by clicking)
//   pan=Q|W|E|A|D|Z|X|C   click that pan button
//   zoom=in|out     click the enlarge or reduce button
//   swatch, pick    click the colour swatch or the colour picker button
//   drag=DX,DY      press on the preview's centre, move by DX,DY screen pixels, release
//   dblclick        double-click the preview's centre
//   type=TEXT       type characters into the focused control
//   key=up|down|wheelup|wheeldown   press an arrow key or turn the wheel on the focus
//   key=left|right|home|end|enter|escape   press that key on the focus
//   focus=r|g|b     click into that tone field (the caret goes where clicked: after
//                   a short text), without replacing its text
//   paste=TEXT      put TEXT on the clipboard and paste it into the focused control
//                   through its context menu's Paste (no keystroke)
//   hold=DX,DY      press on the preview's centre and move by DX,DY, not releasing
//   shot=FILE.png   capture the dialog window
//   wait=MS         let MS milliseconds pass
//   ok, cancel      click OK or Cancel
#pragma once

#include <string>
#include <vector>

enum class StepKind {
  Field,
  Check,
  Pan,
  Zoom,
  Swatch,
  Pick,
  Drag,
  DoubleClick,
  Type,
  Key,
  Shot,
  Wait,
  Ok,
  Cancel,
  Focus,
  Paste,
  Hold
};

struct DialogStep {
  StepKind kind = StepKind::Ok;
  std::string text;   // the step as written
  int control = 0;    // Field: edit ID; Pan, Zoom: button ID
  int value = 0;      // Field: the number; Wait: milliseconds
  int dx = 0, dy = 0; // Drag
  bool checks[3] = {false, false, false};
  std::string argument; // Type: the text; Key: up, down, wheelup, wheeldown; Shot: the file
};

// Control IDs of the parameter dialog.
constexpr int kEditRed = 1006, kEditGreen = 1007, kEditBlue = 1008;
constexpr int kCheckRed = 1012, kCheckGreen = 1023, kCheckBlue = 1024;
constexpr int kZoomIn = 1021, kZoomOut = 1022;
constexpr int kPicker = 1026, kSwatch = 1027, kPreviewAnchor = 5;
// The pan button for a mnemonic letter (E C D Q Z A W X), 0 for others.
int PanButton(char letter);

bool ParseDialogScript(const std::string& script, std::vector<DialogStep>& steps,
                       std::string& error);
