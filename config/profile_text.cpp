#include "config/profile_text.h"
int ScanInt(const char*, int*) { return 0; }
int ScanLong(const char*, long*) { return 0; }
void ParseLevelText(const char*, int*, int*, int*) {}
void ParseMaskText(const char*, MaskEntry*) {}
void ParseAccessText(const char*, int*) {}
void FormatDebugLine(char* pLine256, const char*) { pLine256[0] = '\0'; }
