#include "config/profile.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "config/journal_file.h"
#include "config/paths.h"
#include "config/profile_text.h"
#include "core/device_names.h"
#include "core/journal_text.h"
#include "core/log.h"
#include "core/tokenizer.h"

namespace {

DeviceProfile sProfile;


// The profile being read; set by LoadDeviceProfile and LoadAccessList.
char acProfile[MAX_PATH];
// The value of the key read last. One more byte than the longest value and
// its NUL, so that a value that fills the buffer is known to be too long.
char acKeyValue[kProfileValueMax + 2];

// Reads a key's value whole, into acKeyValue (valid until the next read).
// Returns nullptr, with a debug line, for a value longer than kProfileValueMax: cut,
// it could mean something else (an access list "...,12" read as "...,1").
char* ReadValue(const char* pSection, const char* pKey, const char* pDefault)
{
    DWORD n = GetPrivateProfileStringA(pSection, pKey, pDefault, acKeyValue, sizeof acKeyValue, acProfile);
    if (n < sizeof acKeyValue - 1) return acKeyValue;
    char acLine[128];
    std::snprintf(acLine, sizeof acLine, "[%s] %s is longer than %d characters - refused", pSection, pKey,
                  kProfileValueMax);
    DebugLog(acLine);
    return nullptr;
}

// Write-backs of missing keys held until the driver is the device's
// registered driver: the profile functions rewrite the whole file, so two
// drivers of one device writing at once can leave it cut short. Values are
// used from the defaults meanwhile; a driver that is refused writes none.
struct HeldWrite {
    char acSection[16];
    char acKey[24];
    char acValue[kProfileValueMax + 2];
};
const int kHeldWriteMax = 96;   // every key the profile completes, with room
HeldWrite asHeld[kHeldWriteMax];
int nHeld = 0;
bool bHoldWrites = false;

void WriteText(const char* pSection, const char* pKey, const char* pValue)
{
    if (!bHoldWrites) {
        WritePrivateProfileStringA(pSection, pKey, pValue, acProfile);
        return;
    }
    if (nHeld >= kHeldWriteMax) return;
    HeldWrite& w = asHeld[nHeld++];
    std::snprintf(w.acSection, sizeof w.acSection, "%s", pSection);
    std::snprintf(w.acKey, sizeof w.acKey, "%s", pKey);
    std::snprintf(w.acValue, sizeof w.acValue, "%s", pValue);
}

// The access list read last, kept in force when a reload cannot read it.
bool bAccessRead = false;

// The profile exists and can be opened for reading. The profile functions
// give every key its default for a profile that has gone.
bool ProfileReadable()
{
    HANDLE hFile = CreateFileA(acProfile, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return false;
    CloseHandle(hFile);
    return true;
}

// A key of the table of profile keys, read as the table says (a missing key
// reads as its text for one).
char* ReadKey(ProfileKeyId eKey)
{
    const ProfileKey& key = asProfileKey[eKey];
    return ReadValue(key.pSection, key.pKey, key.pMissing);
}

// Reads a key of the table and takes the driver's decision on it, writing
// back what the decision gives. *ppValue, when asked for, is the value read
// (nullptr when refused), valid until the next read.
KeyDecision LoadKey(ProfileKeyId eKey, char** ppValue = nullptr)
{
    char* pValue = ReadKey(eKey);
    if (ppValue != nullptr) *ppValue = pValue;
    const KeyDecision d = DecideKey(eKey, pValue, sProfile.iDevice);
    if (d.eVerdict == kKeyWritten) WriteText(asProfileKey[eKey].pSection, asProfileKey[eKey].pKey, d.acWritten);
    return d;
}

// The route index and lock tables hold 4096 packages: a larger database
// size is used as 4096, and the debug output says so.
void LogBoundedSize(ProfileKeyId eKey, const KeyDecision& d)
{
    if (d.eVerdict != kKeyBounded) return;
    char acLine[128];
    std::snprintf(acLine, sizeof acLine, "%s %ld is above %d - using %ld", asProfileKey[eKey].pKey, d.lRead,
                  kPackageMax, d.lValue);
    DebugLog(acLine);
}

void ResetSettings()
{
    sProfile.DatabaseSize_0 = 0;
    sProfile.DatabaseSize_1 = 0;
    sProfile.SaveDelay = 0;
    sProfile.SrcePkgInfoId = 0;
    sProfile.DestPkgInfoId = 0;
    sProfile.LevelMapInfoId = 0;
    SetDebugMode(0);
    sProfile.NameLength = 0;
    sProfile.RevertiveLevel = 0;
    std::memset(sProfile.ExternalDLL, 0, sizeof sProfile.ExternalDLL);
    sProfile.JournalSize = 0;
    for (int n = 1; n <= kMaskCount; ++n) sProfile.sMask[n].acName[0] = '\0';
}

// JournalSize: a missing key reads as "default" and gets 1024, written back
// as the other keys are. A value that is not a whole number of KB keeps no
// journal, and says so whatever DebugMode is: the site expects one.
void LoadJournalSize()
{
    char* pSize = nullptr;
    const KeyDecision d = LoadKey(kKeyJournalSize, &pSize);
    if (d.eVerdict == kKeyWritten) {
        sProfile.JournalSize = static_cast<int>(d.lValue);
        return;
    }
    char acLine[128] = "";
    switch (pSize != nullptr ? ParseJournalSize(pSize, &sProfile.JournalSize) : kJournalSizeNotNumber) {
    case kJournalSizeNumber:
        return;
    case kJournalSizeNegative:
        std::snprintf(acLine, sizeof acLine, "JournalSize %.40s is negative - no take journal is kept", pSize);
        break;
    case kJournalSizeNotNumber:
        std::snprintf(acLine, sizeof acLine, "JournalSize '%.40s' is not a number of KB - no take journal is kept",
                      pSize != nullptr ? pSize : "(too long)");
        break;
    }
    sProfile.JournalSize = 0;
    DebugLogAlways(acLine);
}

void LoadCombinerSettings()
{
    // Each key as the table decides it: a missing or unusable value gets
    // the table's value, written back.
    sProfile.SaveDelay = LoadKey(kKeySaveDelay).lValue;
    sProfile.SrcePkgInfoId = static_cast<int>(LoadKey(kKeySrcePkgInfoId).lValue);
    sProfile.DestPkgInfoId = static_cast<int>(LoadKey(kKeyDestPkgInfoId).lValue);
    sProfile.LevelMapInfoId = static_cast<int>(LoadKey(kKeyLevelMapInfoId).lValue);
    SetDebugMode(static_cast<int>(LoadKey(kKeyDebugMode).lValue));
    sProfile.NameLength = static_cast<int>(LoadKey(kKeyNameLength).lValue);
    sProfile.RevertiveLevel = static_cast<int>(LoadKey(kKeyRevertiveLevel).lValue);
    LoadKey(kKeySimulation);   // kept in the profile only

    char* pLibrary = nullptr;
    switch (LoadKey(kKeyExternalDll, &pLibrary).eVerdict) {
    case kKeyWritten:
        std::strcpy(sProfile.ExternalDLL, asProfileKey[kKeyExternalDll].pWritten);
        break;
    case kKeyTooLong:
        // A cut name could load another library: none is loaded.
        DebugLog("ExternalDLL is longer than 31 characters - no library is loaded");
        std::strcpy(sProfile.ExternalDLL, kNoLibrary);
        break;
    default:
        std::strcpy(sProfile.ExternalDLL, pLibrary);
        break;
    }

    LoadJournalSize();
}

// A numbered key (level or mask n): a missing one gets its default text,
// written back. Returns the text to parse, valid while text lives and until
// the next read; nullptr for a refused one.
const char* LoadNumberedKey(const char* pSection, const NumberedKey& key, const DefaultText& text)
{
    const char* pValue = ReadValue(pSection, key.ac, kNumberedKeyMissing);
    if (pValue == nullptr || std::strcmp(pValue, kNumberedKeyMissing) != 0) return pValue;
    WriteText(pSection, key.ac, text.ac);
    return text.ac;
}

void LoadLevels()
{
    for (int n = 1; n <= kLevelCount; ++n) {
        const DefaultText text = DefaultLevelText(n);
        // A refused text (nullptr) gives a level that issues nothing.
        LevelEntry& sL = sProfile.sLevel[n];
        ParseLevelText(LoadNumberedKey(kLevelsSection, LevelKey(n), text), &sL.iType, &sL.iKind, &sL.iTarget);
    }
}

void LoadMasks()
{
    for (int n = 1; n <= kMaskCount; ++n) {
        const DefaultText text = DefaultMaskText(n);
        // A refused text (nullptr) gives a mask with no name and no level.
        ParseMaskText(LoadNumberedKey(kMasksSection, MaskKey(n), text), &sProfile.sMask[n]);
    }
}

}  // namespace

const DeviceProfile& Profile()
{
    return sProfile;
}

void SetDeviceNumber(int iDevice)
{
    sProfile.iDevice = iDevice;
}

int DeviceFileName(char* pOut, int nSize, const char* pExtension)
{
    if (pOut == nullptr || nSize <= 0) return 0;
    pOut[0] = '\0';
    char acDir[MAX_PATH];
    if (!GetConfigDir(acDir, sizeof acDir)) return 0;
    return FormatDeviceFileName(pOut, static_cast<size_t>(nSize), acDir, sProfile.iDevice, pExtension) ? 1 : 0;
}

// Reads the whole profile; every missing or unusable value gets its default,
// and the defaults are written back in this order, so that a new profile is a
// complete template. A missing database size is reported when the whole
// profile has been read.
int LoadDeviceProfile()
{
    ResetSettings();
    CloseJournal();
    if (!DeviceFileName(acProfile, sizeof acProfile, "INI")) {
        // No usable profile name: nothing can be read or written, which
        // leaves the driver without databases, as a missing profile does.
        return kSourcesMissing | kDestinationsMissing;
    }

    LoadKey(kKeyName);

    // A size below 1 would leave a driver that refuses every command: it is
    // reported as missing.
    const KeyDecision dSources = LoadKey(kKeyDatabaseSize0);
    const KeyDecision dDestinations = LoadKey(kKeyDatabaseSize1);
    sProfile.DatabaseSize_0 = static_cast<int>(dSources.lValue);
    sProfile.DatabaseSize_1 = static_cast<int>(dDestinations.lValue);
    int iMissing = kProfileComplete;
    if (dSources.eVerdict == kKeyNotSet) iMissing |= kSourcesMissing;
    if (dDestinations.eVerdict == kKeyNotSet) iMissing |= kDestinationsMissing;

    LoadCombinerSettings();
    // After DebugMode is known, so that the bound can be logged.
    LogBoundedSize(kKeyDatabaseSize0, dSources);
    LogBoundedSize(kKeyDatabaseSize1, dDestinations);

    LoadLevels();
    LoadMasks();
    bAccessRead = false;
    LoadAccessList();
    return iMissing;
}

void HoldProfileWrites()
{
    bHoldWrites = true;
    nHeld = 0;
}

void WriteHeldProfileKeys()
{
    bHoldWrites = false;
    if (!DeviceFileName(acProfile, sizeof acProfile, "INI")) return;
    for (int n = 0; n < nHeld; ++n) WriteText(asHeld[n].acSection, asHeld[n].acKey, asHeld[n].acValue);
    nHeld = 0;
}

void LoadAccessList()
{
    sProfile.abAccess[0] = 1;
    if (!DeviceFileName(acProfile, sizeof acProfile, "INI")) {
        DebugLog("Access list not read - the device profile name does not fit");
        return;
    }
    // Once a list is in force, a profile that cannot be read (moved away,
    // held by another program) never widens it to everyone: the list stays
    // as it was, and nothing is written in its place.
    if (bAccessRead && !ProfileReadable()) {
        char acLine[MAX_PATH + 96];
        std::snprintf(acLine, sizeof acLine, "Access list kept - the device profile cannot be read: '%s'",
                      acProfile);
        DebugLogAlways(acLine);
        JournalNote(acLine);
        return;
    }
    bAccessRead = true;
    char* pAccess = nullptr;
    if (LoadKey(kKeyAccess, &pAccess).eVerdict == kKeyRefused) {
        DebugLog("Access list refused - only the panel has access");
        ParseAccessText("", sProfile.abAccess);
        return;
    }
    // A missing list reads as ALL, and ALL is written back.
    for (char* p = pAccess; *p != '\0'; ++p) {
        *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    }
    DebugLog(pAccess);
    ParseAccessText(pAccess, sProfile.abAccess);
}
