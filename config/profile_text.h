// Parsing of the device profile's value texts (platform-free).
#pragma once
#include "core/levels.h"

const int kProfileValueMax = 32767;  // longest value read; a longer one is refused whole, never cut
const int kListAccessMax = 999;      // an access list grants 1..999; only "ALL" grants 1000
const int kExternalDllMax = 31;      // a longer ExternalDLL name loads no library
extern const char kNoLibrary[];      // the ExternalDLL name that means no filter library: "NONE"

// scanf "%d": leading white space, optional sign, digits. Returns 1 and sets
// *piValue when a number was read, else 0 and leaves *piValue alone. Values
// beyond the type's range saturate.
int ScanInt(const char* pText, int* piValue);
int ScanLong(const char* pText, long* plValue);

// How the driver reads a key's value: as it stands, or as a number (scanf
// "%d" or "%ld": what does not begin with a number, or is refused, reads
// as 0).
enum KeyParser { kParseText, kParseInt, kParseLong };

// What the driver does with a value it cannot use as it stands.
enum KeyRule {
    kRuleMissing,   // reads as the text for a missing key (a number key: as
                    // that number): the default goes back in its place; a
                    // text longer than iMax characters (iMax above 0) is not
                    // used, and the default is used without being written
    kRuleNotZero,   // a number read as 0 (missing, 0 or no number): the
                    // default goes back in its place
    kRuleWithin,    // a number outside iMin..iMax: the default goes back in its place
    kRuleSize,      // a number below iMin leaves the setting not set (the
                    // driver reports it as missing); above iMax, iMax is used
    kRuleShortText, // a text shorter than iMin characters: the default goes
                    // back in its place
};

// The keys of the profile that the driver reads, one row each: where it
// stands, how it is read, what a missing one reads as (a text no site
// writes, so that a missing key is told from any value), what the driver
// writes back in place of a missing or unusable one, and the limits of its
// rule. The driver's loader decides every key through this table
// (DecideKey), and zurcheck takes the same decisions to say what the
// driver will do, and reads the same rows to tell a key the driver never
// reads.
struct ProfileKey {
    const char* pSection;
    const char* pKey;
    const char* pMissing;   // what a missing key reads as
    const char* pWritten;   // the default written back; nullptr: worked out (below)
    int iDeviceOffset;      // an InfoDriver id: the default is the device number plus this
    KeyParser eParser;
    KeyRule eRule;
    int iMin;
    int iMax;
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

// The driver's decision on one key's value.
enum KeyVerdict {
    kKeyUsed,       // the value stands (a number key: as read, 0 when no number)
    kKeyWritten,    // acWritten goes back in its place, and is used
    kKeyBounded,    // above the key's limit: the limit is used, nothing written
    kKeyNotSet,     // below the key's limit: the setting is not set, nothing written
    kKeyTooLong,    // a text too long to use: the default is used, nothing written
    kKeyRefused,    // a text key's value refused whole (longer than kProfileValueMax): nothing used or written
};
struct KeyDecision {
    KeyVerdict eVerdict;
    long lValue;          // a number key's value as the driver uses it; a default written, as a number
    long lRead;           // a number key's value as read (0 when no number)
    char acWritten[24];   // kKeyWritten: what goes back
};
// pValue is the value as the driver reads it (a missing key reads as the
// row's pMissing), or nullptr when it was refused for its length: a number
// key then reads as 0, as one with no number.
KeyDecision DecideKey(ProfileKeyId eKey, const char* pValue, int iDevice);

// The characters per name the panel's lists show for a NameLength: 8 for
// one below 1, at most kShownNameMax.
const int kShownNameMax = 64;
int ListColumnChars(int iNameLength);

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

