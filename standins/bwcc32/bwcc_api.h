// BWCC32.DLL as the driver uses it: BWCCRegister, exported under its plain
// name, makes the dialog class "BORDLG" and the control class "BorShade"
// available to every module of the process (both are global classes).
//
// "BORDLG": a dialog class (DefDlgProc, DLGWINDOWEXTRA) with a grey face.
// "BorShade": a frame or line drawn inside its rectangle; the low bits of
// its style select the look:
//   1  recessed frame; a control at most 3 pixels high is a recessed rule
//   2  dip line: a horizontal groove across the middle
// BorShade controls are transparent to the mouse and never erase their
// inside, so that controls laid over a frame stay usable and visible.
#pragma once
#include <windows.h>

typedef BOOL (WINAPI *BwccRegisterProc)(HINSTANCE hInstance);

const int kBorShadeFrame = 1;
const int kBorShadeDip = 2;
