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

// The profile key of level n ("Level_01" .. "Level_32") and of mask n
// ("Mask_01" .. "Mask_32").
struct NumberedKey {
    char ac[16];
};
NumberedKey LevelKey(int n);
NumberedKey MaskKey(int n);

// A level text such as "F,R,101": type, kind and target device.
void ParseLevelText(const char* pText, int* piType, int* piKind, int* piTarget);

// A mask text such as "Cams,3,5": name and included levels. A text that is
// empty or begins with "," leaves the name as it was.
void ParseMaskText(const char* pText, MaskEntry* pMask);

// Sets abAccess[n] when workstation n may be granted by a list (1..999).
void GrantAccessIn(int* abAccess, int n);

// Builds the access table (entries 0..1000) from an upper-cased access text.
void ParseAccessText(const char* pUpperText, int* abAccess);

