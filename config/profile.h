// Device profile DEV_nnn.INI: settings, level and mask tables, workstation
// access. DebugMode goes to the debug log (core/log.h).
#pragma once
#include "core/limits.h"

extern int DatabaseSize_0;      // source packages 1..this (at most 4096)
extern int DatabaseSize_1;      // destination packages 1..this (at most 4096)
extern long SaveDelay;          // minutes between periodic index saves
extern int SrcePkgInfoId;
extern int DestPkgInfoId;
extern int LevelMapInfoId;
extern int NameLength;
extern int RevertiveLevel;
extern char ExternalDLL[32];
extern int abAccess[kWorkstationMax + 1];

// Full name of one of the device's files ("INI", "DAT", "LCK") in the
// configuration directory. Returns 0 when the name does not fit nSize.
int DeviceFileName(char* pOut, int nSize, const char* pExtension);

// What LoadDeviceProfile found missing: a database size below 1 (missing,
// empty, 0, negative or not a number), or both when the profile's name does
// not fit. Either stops the driver; the start-up says so.
enum { kProfileComplete = 0, kSourcesMissing = 1, kDestinationsMissing = 2 };
int LoadDeviceProfile();
void LoadAccessList();
