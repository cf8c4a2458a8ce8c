#include "config/profile.h"
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
int DeviceFileName(char* pOut, int, const char*) { pOut[0] = '\0'; return 0; }
void LoadDeviceProfile() {}
void LoadAccessList() {}
void GrantAccess(int) {}
void DebugLog(const char*) {}
