// The names by which the site finds a device's driver (platform-free): its
// files DEV_nnn.<ext> in the configuration directory, and its main window,
// of one class, whose title ends with "- Device N". The driver gives these
// names; the site tools and the peers look for them.
#pragma once
#include <cstddef>

// The main window's class.
extern const char kDriverWindowClass[];

// "<dir>\DEV_nnn.<ext>" into pOut (nSize bytes); with pDir empty or null,
// "DEV_nnn.<ext>". False, with pOut empty, when it does not fit.
bool FormatDeviceFileName(char* pOut, size_t nSize, const char* pDir, int iDevice, const char* pExtension);

// "- Device N", the end of the main window's title, into pOut (nSize bytes,
// cut to fit).
void FormatDriverTitleEnd(char* pOut, size_t nSize, int iDevice);
