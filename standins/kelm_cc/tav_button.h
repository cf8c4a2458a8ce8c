// The button class "TAV_CC_Button" of KELM_CC.DLL, registered as a global
// class when the library is loaded.
//
// - A push button: a click (mouse press and release inside it, BM_CLICK, or
//   the space bar while it has the focus) sends WM_COMMAND with
//   MAKEWPARAM(id, BN_CLICKED) and its window to the parent. Nothing else
//   sends WM_COMMAND. While disabled it ignores clicks.
// - Text set with SetWindowText (SetDlgItemText): a text that begins with
//   "/" is a style code, which selects the look and leaves the caption as it
//   was; any other text becomes the caption. WM_GETTEXT gives the caption.
// - Style code: the first digit in it picks the face colour (1 red, 2 green,
//   3 amber, 4 blue, other or none: plain grey); a "B" in it makes the
//   caption bold. So "/1B____" (red) and "/2B____" (green) differ, as do
//   "/__1B0_" and "/__2B0_".
// - Window style bit 8 (kTavStyleFlat): drawn flat, as an indicator.
//
// Reading the look from another process:
// - the window property "TavStyle" holds a global atom whose name is the
//   current style code (GlobalGetAtomNameA); absent until a code was set;
// - message TAVM_GETFACE returns the face colour number (0 plain, 1..4).
#pragma once
#include <windows.h>

#define TAV_BUTTON_CLASS "TAV_CC_Button"
#define TAV_STYLE_PROPERTY "TavStyle"
#define TAVM_GETFACE (WM_USER + 0x2A0)

const LONG kTavStyleFlat = 8;

enum { kTavFacePlain = 0, kTavFaceRed = 1, kTavFaceGreen = 2, kTavFaceAmber = 3, kTavFaceBlue = 4 };
