// Device profile DEV_nnn.INI (one owner; read-only once loaded): settings,
// the configuration of the level and mask tables, workstation access.
// DebugMode goes to the debug log (core/log.h).
#pragma once
#include "config/profile_text.h"
#include "core/levels.h"

// The profile as loaded. A setting keeps its INI key's name.
struct DeviceProfile {
    int iDevice;                  // from the command line; names the device's files
    int DatabaseSize_0;           // source packages 1..this (at most 4096)
    int DatabaseSize_1;           // destination packages 1..this (at most 4096)
    long SaveDelay;               // minutes between periodic index saves
    int SrcePkgInfoId;
    int DestPkgInfoId;
    int LevelMapInfoId;
    int NameLength;
    int RevertiveLevel;
    char ExternalDLL[kExternalDllMax + 1];
    int JournalSize;              // KB at which the take journal moves to its old file; 0: no journal
    int abAccess[kWorkstationMax + 1];
    LevelEntry sLevel[kLevelCount + 1];   // configuration fields: iType, iKind, iTarget
    MaskEntry sMask[kMaskCount + 1];
};

const DeviceProfile& Profile();

// The device number, set once by the program entry before the profile is
// read.
void SetDeviceNumber(int iDevice);

// Full name of one of the device's files ("INI", "DAT", "LCK") in the
// configuration directory. Returns 0 when the name does not fit nSize.
int DeviceFileName(char* pOut, int nSize, const char* pExtension);

// What LoadDeviceProfile found missing: a database size below 1 (missing,
// empty, 0, negative or not a number), or both when the profile's name does
// not fit. Either stops the driver; the start-up says so.
enum { kProfileComplete = 0, kSourcesMissing = 1, kDestinationsMissing = 2 };
int LoadDeviceProfile();
// Reads the access list again ("RF"). Once one has been read, a profile
// that cannot be read keeps the list in force (with a debug and a journal
// line) and nothing is written.
void LoadAccessList();

// The write-backs of missing keys wait from HoldProfileWrites until
// WriteHeldProfileKeys (the driver is the device's registered driver); the
// values are used from the defaults meanwhile.
void HoldProfileWrites();
void WriteHeldProfileKeys();
