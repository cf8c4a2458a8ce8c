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
const int kValueMax = 32767;     // longest value read; a longer one is refused

// The profile being read; set by LoadDeviceProfile and LoadAccessList.
char acProfile[MAX_PATH];
// The value of the key read last. One more byte than the longest value and
// its NUL, so that a value that fills the buffer is known to be too long.
char acKeyValue[kValueMax + 2];

// Reads a key's value whole, into acKeyValue (valid until the next read).
// Returns nullptr, with a debug line, for a value longer than kValueMax: cut,
// it could mean something else (an access list "...,12" read as "...,1").
char* ReadValue(const char* pSection, const char* pKey, const char* pDefault)
{
    DWORD n = GetPrivateProfileStringA(pSection, pKey, pDefault, acKeyValue, sizeof acKeyValue, acProfile);
    if (n < sizeof acKeyValue - 1) return acKeyValue;
    char acLine[128];
    std::snprintf(acLine, sizeof acLine, "[%s] %s is longer than %d characters - refused", pSection, pKey,
                  kValueMax);
    DebugLog(acLine);
    return nullptr;
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

// Reads a number key; a value that does not begin with a number, or is
// refused, leaves *piValue as it is.
void ReadInt(const char* pSection, const char* pKey, const char* pDefault, int* piValue)
{
    const char* pValue = ReadValue(pSection, pKey, pDefault);
    if (pValue != nullptr) ScanInt(pValue, piValue);
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
    const char* pSaveDelay = ReadValue("Combiner", "SaveDelay", "0");
    if (pSaveDelay != nullptr) ScanLong(pSaveDelay, &SaveDelay);
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

    const char* pLibrary = ReadValue("Combiner", "ExternalDLL", "default");
    if (pLibrary != nullptr && std::strcmp(pLibrary, "default") == 0) {
        WriteText("Combiner", "ExternalDLL", "NONE");
        std::strcpy(ExternalDLL, "NONE");
    } else if (pLibrary == nullptr || std::strlen(pLibrary) >= sizeof ExternalDLL) {
        // A cut name could load another library: none is loaded.
        DebugLog("ExternalDLL is longer than 31 characters - no library is loaded");
        std::strcpy(ExternalDLL, "NONE");
    } else {
        std::strcpy(ExternalDLL, pLibrary);
    }
}

void LoadLevels()
{
    for (int n = 1; n <= kLevelCount; ++n) {
        char acKey[16];
        std::snprintf(acKey, sizeof acKey, "Level_%02d", n);
        const char* pValue = ReadValue("Levels", acKey, "NONE");
        char acDefault[16];
        if (pValue != nullptr && std::strcmp(pValue, "NONE") == 0) {
            std::snprintf(acDefault, sizeof acDefault, "F,R,%d", n);
            WriteText("Levels", acKey, acDefault);
            pValue = acDefault;
        }
        // A refused text (nullptr) gives a level that issues nothing.
        ParseLevelText(pValue, &sLevel[n].iType, &sLevel[n].iKind, &sLevel[n].iTarget);
    }
}

void LoadMasks()
{
    for (int n = 1; n <= kMaskCount; ++n) {
        char acKey[16];
        std::snprintf(acKey, sizeof acKey, "Mask_%02d", n);
        const char* pValue = ReadValue("Masks", acKey, "NONE");
        char acDefault[48];
        if (pValue != nullptr && std::strcmp(pValue, "NONE") == 0) {
            std::snprintf(acDefault, sizeof acDefault, "MASKNAME_%02d,1,2,3,4,5,6,7,8", n);
            WriteText("Masks", acKey, acDefault);
            pValue = acDefault;
        }
        // A refused text (nullptr) gives a mask with no name and no level.
        ParseMaskText(pValue, &sMask[n]);
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

    const char* pName = ReadValue("Combiner", "Name", "-1");
    if (pName != nullptr && std::strlen(pName) < 3) WriteText("Combiner", "Name", "Default");

    // A size below 1 (missing, empty, 0, negative or not a number) would
    // leave a driver that refuses every command: it is reported as missing.
    // Both boxes are shown before the shut-down starts, as its quit request
    // would close a box still to come at once.
    ReadInt("Database", "DatabaseSize_0", "-1", &DatabaseSize_0);
    const bool bMissing0 = DatabaseSize_0 < 1;
    if (bMissing0) ReportMissingSize(0);
    ReadInt("Database", "DatabaseSize_1", "-1", &DatabaseSize_1);
    const bool bMissing1 = DatabaseSize_1 < 1;
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
    char* pAccess = ReadValue("Security", "Access", "ALL");
    if (pAccess == nullptr) {
        DebugLog("Access list refused - only the panel has access");
        ParseAccessText("", abAccess);
        return;
    }
    if (std::strcmp(pAccess, "ALL") == 0) WriteText("Security", "Access", "ALL");
    for (char* p = pAccess; *p != '\0'; ++p) {
        *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    }
    DebugLog(pAccess);
    ParseAccessText(pAccess, abAccess);
}

void GrantAccess(int n)
{
    GrantAccessIn(abAccess, n);
}

void DebugLog(const char* pText)
{
    if (DebugMode != 0) DebugLogAlways(pText);
}

void DebugLogAlways(const char* pText)
{
    char acLine[256];
    FormatDebugLine(acLine, pText);
    OutputDebugStringA(acLine);
}
