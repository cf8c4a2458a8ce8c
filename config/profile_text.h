// Parsing of the device profile's value texts (platform-free).
#pragma once
#include "core/levels.h"

const int kProfileValueMax = 32767;  // longest value read; a longer one is refused whole, never cut
const int kListAccessMax = 999;      // an access list grants 1..999; only "ALL" grants 1000
const int kExternalDllMax = 31;      // a longer ExternalDLL name loads no library

// scanf "%d": leading white space, optional sign, digits. Returns 1 and sets
// *piValue when a number was read, else 0 and leaves *piValue alone. Values
// beyond the type's range saturate.
int ScanInt(const char* pText, int* piValue);
int ScanLong(const char* pText, long* plValue);

// The keys of the profile that the driver reads, one row each, with what
// it does for a missing one: the text a missing key reads as (one no site
// writes, so that a missing key is told from any value), and the value the
// driver writes back in its place. The driver's loader reads its keys
// through this table, and zurcheck reads the same rows to load the profile
// as the driver does and to tell a key the driver never reads.
struct ProfileKey {
    const char* pSection;
    const char* pKey;
    const char* pMissing;   // what a missing key reads as
    const char* pWritten;   // what the driver writes back; nullptr: nothing (or worked out, below)
    int iDeviceOffset;      // an InfoDriver id: the driver writes its device number plus this
};
enum ProfileKeyId {
    kKeyName,
    kKeyDatabaseSize0,
    kKeyDatabaseSize1,
    kKeySaveDelay,
    kKeySrcePkgInfoId,
    kKeyDestPkgInfoId,
    kKeyLevelMapInfoId,
    kKeyDebugMode,
    kKeyNameLength,
    kKeyRevertiveLevel,
    kKeySimulation,
    kKeyExternalDll,
    kKeyJournalSize,
    kKeyAccess,
    kProfileKeyCount
};
extern const ProfileKey asProfileKey[kProfileKeyCount];

// The numbered keys: level n ("Level_01" .. "Level_32" in [Levels]) and
// mask n ("Mask_01" .. "Mask_32" in [Masks]). A missing one reads as
// kNumberedKeyMissing; the driver writes DefaultLevelText or DefaultMaskText
// in its place.
extern const char kLevelsSection[];
extern const char kMasksSection[];
extern const char kNumberedKeyMissing[];
struct NumberedKey {
    char ac[16];
};
NumberedKey LevelKey(int n);
NumberedKey MaskKey(int n);
struct DefaultText {
    char ac[48];
};
DefaultText DefaultLevelText(int n);   // "F,R,n": level n routes on device n
DefaultText DefaultMaskText(int n);    // "MASKNAME_nn,1,2,3,4,5,6,7,8"

// A level text such as "F,R,101": type, kind and target device.
void ParseLevelText(const char* pText, int* piType, int* piKind, int* piTarget);

// A mask text such as "Cams,3,5": name and included levels. A text that is
// empty or begins with "," leaves the name as it was.
void ParseMaskText(const char* pText, MaskEntry* pMask);

// Sets abAccess[n] when workstation n may be granted by a list (1..999).
void GrantAccessIn(int* abAccess, int n);

// Builds the access table (entries 0..1000) from an upper-cased access text.
void ParseAccessText(const char* pUpperText, int* abAccess);

