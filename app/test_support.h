// What the module tests reach in app/ beyond its own headers; no product
// file includes this header.
#pragma once

// Tests run several shut-downs in one process: each starts from a driver
// that has not begun one (and sends with the full time limit again).
void ResetDriverForTest();

// Whether the panel is under keyboard control from the menu bar.
int KeyboardControlOn();
