// Control IDs of the dialog template "MOSSBRACKETPARAM" and the values that the
// dialog's code exchanges with its controls.
#pragma once

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdPreviewAnchor = 5; // hidden static control the preview is centred on

constexpr int kIdEditRed = 1006;
constexpr int kIdEditGreen = 1007;
constexpr int kIdEditBlue = 1008;

constexpr int kIdCheckRed = 1012;
constexpr int kIdCheckGreen = 1023;
constexpr int kIdCheckBlue = 1024;

// The eight pan buttons, named by their mnemonic letters.
constexpr int kIdPanE = 1013; // up and right
constexpr int kIdPanC = 1014; // down and right
constexpr int kIdPanD = 1015; // right
constexpr int kIdPanQ = 1016; // up and left
constexpr int kIdPanZ = 1017; // down and left
constexpr int kIdPanA = 1018; // left
constexpr int kIdPanW = 1019; // up
constexpr int kIdPanX = 1020; // down
constexpr int kIdFirstPan = kIdPanE;
constexpr int kIdLastPan = kIdPanX;

constexpr int kIdZoomIn = 1021;  // enlarge: reduction factor minus one
constexpr int kIdZoomOut = 1022; // reduce: reduction factor plus one

constexpr int kIdPicker = 1026;
constexpr int kIdSwatch = 1027;

// The tone fields' value-changed notification: WM_COMMAND for the swatch with this
// value where a control's window handle would stand. It never inverts the colour.
constexpr long kToneChangedMark = 10;

constexpr int kHandCursorId = 104; // open hand over the preview
constexpr int kGrabCursorId = 105; // closed hand while dragging

constexpr char kDialogTemplateName[] = "MOSSBRACKETPARAM";
