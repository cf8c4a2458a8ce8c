#include "config/profile.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "app/driver.h"
#include "config/paths.h"
#include "config/profile_text.h"
#include "core/take.h"

int DatabaseSize_0 = 0;
int DatabaseSize_1 = 0;
long SaveDelay = 0;
int SrcePkgInfoId = 0;
int DestPkgInfoId = 0;
int LevelMapInfoId = 0;
int DebugMode = 0;
int NameLength = 0;
int RevertiveLevel = 0;
char ExternalDLL[32];
int abAccess[kWorkstationMax + 1];

namespace {

const int kDatabaseMax = 4096;   // size of the route index and lock tables
const int kNumberBuffer = 9;     // a number value keeps its first 8 characters
const int kTextBuffer = 80;
const int kAccessBuffer = 256;

// The profile being read; set by LoadDeviceProfile and LoadAccessList.
char acProfile[MAX_PATH];

void ReadText(const char* pSection, const char* pKey, const char* pDefault, char* pOut, int nSize)
{
    GetPrivateProfileStringA(pSection, pKey, pDefault, pOut, static_cast<DWORD>(nSize), acProfile);
}

void WriteText(const char* pSection, const char* pKey, const char* pValue)
{
    WritePrivateProfileStringA(pSection, pKey, pValue, acProfile);
}

void WriteNumber(const char* pSection, const char* pKey, int iValue)
{
    char acValue[16];
    std::snprintf(acValue, sizeof acValue, "%d", iValue);
    WriteText(pSection, pKey, acValue);
}

// Reads a number key; a value that does not begin with a number leaves
// *piValue as it is.
void ReadInt(const char* pSection, const char* pKey, const char* pDefault, int* piValue)
{
    char acValue[kNumberBuffer];
    ReadText(pSection, pKey, pDefault, acValue, sizeof acValue);
    ScanInt(acValue, piValue);
}

void ReportMissingSize(int iDatabase)
{
    char acMessage[256];
    if (iDatabase == 0) {
        std::snprintf(acMessage, sizeof acMessage,
                      "A device profile INI File 'DEV_%03d.INI' does not exist in the Windows directory "
                      "or the 'DatabaseSize_0' parameter (sources) in it has not been set.",
                      iDevice);
    } else {
        std::snprintf(acMessage, sizeof acMessage,
                      "A device profile INI File 'DEV_%03d.INI' does not exist in the Windows directory "
                      "or the 'DatabaseSize_1' parameter (destinations) in it has not been set.",
                      iDevice);
    }
    ErrorBox(acMessage);
}

// The route index and lock tables hold 4096 packages.
void BoundDatabaseSize(const char* pKey, int* piSize)
{
    if (*piSize <= kDatabaseMax) return;
    char acLine[128];
    std::snprintf(acLine, sizeof acLine, "%s %d is above %d - using %d", pKey, *piSize, kDatabaseMax,
                  kDatabaseMax);
    DebugLog(acLine);
    *piSize = kDatabaseMax;
}

void ResetSettings()
{
    DatabaseSize_0 = 0;
    DatabaseSize_1 = 0;
    SaveDelay = 0;
    SrcePkgInfoId = 0;
    DestPkgInfoId = 0;
    LevelMapInfoId = 0;
    DebugMode = 0;
    NameLength = 0;
    RevertiveLevel = 0;
    std::memset(ExternalDLL, 0, sizeof ExternalDLL);
    for (int n = 1; n <= kMaskCount; ++n) sMask[n].acName[0] = '\0';
}

void LoadCombinerSettings()
{
    char acValue[kNumberBuffer];
    ReadText("Combiner", "SaveDelay", "0", acValue, sizeof acValue);
    ScanLong(acValue, &SaveDelay);
    if (SaveDelay == 0) {
        WriteText("Combiner", "SaveDelay", "5");
        SaveDelay = 5;
    }

    ReadInt("Combiner", "SrcePkgInfoId", "0", &SrcePkgInfoId);
    if (SrcePkgInfoId == 0) {
        SrcePkgInfoId = iDevice + 1;
        WriteNumber("Combiner", "SrcePkgInfoId", SrcePkgInfoId);
    }
    ReadInt("Combiner", "DestPkgInfoId", "0", &DestPkgInfoId);
    if (DestPkgInfoId == 0) {
        DestPkgInfoId = iDevice + 2;
        WriteNumber("Combiner", "DestPkgInfoId", DestPkgInfoId);
    }
    ReadInt("Combiner", "LevelMapInfoId", "0", &LevelMapInfoId);
    if (LevelMapInfoId == 0) {
        LevelMapInfoId = iDevice + 3;
        WriteNumber("Combiner", "LevelMapInfoId", LevelMapInfoId);
    }

    ReadInt("Combiner", "DebugMode", "-1", &DebugMode);
    if (DebugMode == -1) {
        WriteText("Combiner", "DebugMode", "0");
        DebugMode = 0;
    }
    ReadInt("Combiner", "NameLength", "-1", &NameLength);
    if (NameLength == -1) {
        WriteText("Combiner", "NameLength", "8");
        NameLength = 8;
    }
    ReadInt("Combiner", "RevertiveLevel", "-1", &RevertiveLevel);
    if (RevertiveLevel < 0 || RevertiveLevel > kLevelCount) {
        WriteText("Combiner", "RevertiveLevel", "0");
        RevertiveLevel = 0;
    }
    int iSimulation = 0;   // kept in the profile only
    ReadInt("Combiner", "Simulation", "-1", &iSimulation);
    if (iSimulation == -1) WriteText("Combiner", "Simulation", "0");

    ReadText("Combiner", "ExternalDLL", "default", ExternalDLL, sizeof ExternalDLL);
    if (std::strcmp(ExternalDLL, "default") == 0) {
        WriteText("Combiner", "ExternalDLL", "NONE");
        std::strcpy(ExternalDLL, "NONE");
    }
}

void LoadLevels()
{
    for (int n = 1; n <= kLevelCount; ++n) {
        char acKey[16];
        char acValue[kTextBuffer];
        std::snprintf(acKey, sizeof acKey, "Level_%02d", n);
        ReadText("Levels", acKey, "NONE", acValue, sizeof acValue);
        if (std::strcmp(acValue, "NONE") == 0) {
            std::snprintf(acValue, sizeof acValue, "F,R,%d", n);
            WriteText("Levels", acKey, acValue);
        }
        ParseLevelText(acValue, &sLevel[n].iType, &sLevel[n].iKind, &sLevel[n].iTarget);
    }
}

void LoadMasks()
{
    for (int n = 1; n <= kMaskCount; ++n) {
        char acKey[16];
        char acValue[kTextBuffer];
        std::snprintf(acKey, sizeof acKey, "Mask_%02d", n);
        ReadText("Masks", acKey, "NONE", acValue, sizeof acValue);
        if (std::strcmp(acValue, "NONE") == 0) {
            std::snprintf(acValue, sizeof acValue, "MASKNAME_%02d,1,2,3,4,5,6,7,8", n);
            WriteText("Masks", acKey, acValue);
        }
        ParseMaskText(acValue, &sMask[n]);
    }
}

}  // namespace

int DeviceFileName(char* pOut, int nSize, const char* pExtension)
{
    if (pOut == nullptr || nSize <= 0) return 0;
    pOut[0] = '\0';
    char acDir[MAX_PATH];
    if (!GetConfigDir(acDir, sizeof acDir)) return 0;
    int n = std::snprintf(pOut, static_cast<size_t>(nSize), "%s\\DEV_%03d.%s", acDir, iDevice, pExtension);
    if (n < 0 || n >= nSize) {
        pOut[0] = '\0';
        return 0;
    }
    return 1;
}

// Reads the whole profile; every missing or unusable value gets its default,
// and the defaults are written back in this order, so that a new profile is a
// complete template.
void LoadDeviceProfile()
{
    ResetSettings();
    if (!DeviceFileName(acProfile, sizeof acProfile, "INI")) {
        // No usable profile name: nothing can be read or written, which
        // leaves the driver without databases, as a missing profile does.
        ReportMissingSize(0);
        ReportMissingSize(1);
        ShutdownDriver();
        return;
    }

    char acName[kTextBuffer];
    ReadText("Combiner", "Name", "-1", acName, sizeof acName);
    if (std::strlen(acName) < 3) WriteText("Combiner", "Name", "Default");

    // Missing sizes: both boxes are shown before the shut-down starts, as its
    // quit request would close a box still to come at once.
    ReadInt("Database", "DatabaseSize_0", "-1", &DatabaseSize_0);
    const bool bMissing0 = DatabaseSize_0 == -1;
    if (bMissing0) ReportMissingSize(0);
    ReadInt("Database", "DatabaseSize_1", "-1", &DatabaseSize_1);
    const bool bMissing1 = DatabaseSize_1 == -1;
    if (bMissing1) ReportMissingSize(1);
    if (bMissing0 || bMissing1) ShutdownDriver();

    LoadCombinerSettings();
    // After DebugMode is known, so that the bound can be logged.
    BoundDatabaseSize("DatabaseSize_0", &DatabaseSize_0);
    BoundDatabaseSize("DatabaseSize_1", &DatabaseSize_1);

    LoadLevels();
    LoadMasks();
    LoadAccessList();
}

void LoadAccessList()
{
    abAccess[0] = 1;
    if (!DeviceFileName(acProfile, sizeof acProfile, "INI")) {
        DebugLog("Access list not read - the device profile name does not fit");
        return;
    }
    char acAccess[kAccessBuffer];
    ReadText("Security", "Access", "ALL", acAccess, sizeof acAccess);
    if (std::strcmp(acAccess, "ALL") == 0) WriteText("Security", "Access", "ALL");
    for (char* p = acAccess; *p != '\0'; ++p) {
        *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    }
    DebugLog(acAccess);
    ParseAccessText(acAccess, abAccess);
}

void GrantAccess(int n)
{
    GrantAccessIn(abAccess, n);
}

void DebugLog(const char* pText)
{
    if (DebugMode == 0) return;
    char acLine[256];
    FormatDebugLine(acLine, pText);
    OutputDebugStringA(acLine);
}
