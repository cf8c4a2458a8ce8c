// Device profile DEV_nnn.INI: settings, level and mask tables, workstation
// access, and the debug log.
#pragma once

const int kWorkstationMax = 1000;

extern int DatabaseSize_0;      // source packages 1..this (at most 4096)
extern int DatabaseSize_1;      // destination packages 1..this (at most 4096)
extern long SaveDelay;          // minutes between periodic index saves
extern int SrcePkgInfoId;
extern int DestPkgInfoId;
extern int LevelMapInfoId;
extern int DebugMode;
extern int NameLength;
extern int RevertiveLevel;
extern char ExternalDLL[32];
extern int abAccess[kWorkstationMax + 1];

// Full name of one of the device's files ("INI", "DAT", "LCK") in the
// configuration directory. Returns 0 when the name does not fit nSize.
int DeviceFileName(char* pOut, int nSize, const char* pExtension);

void LoadDeviceProfile();
void LoadAccessList();
void GrantAccess(int n);
void DebugLog(const char* pText);
// The same line whatever DebugMode says, for what a site must hear of even
// with the debug log off.
void DebugLogAlways(const char* pText);
