#include "config/paths.h"
bool JoinRootSystem(char*, int) { return false; }
int GetConfigDir(char* pOut, int) { pOut[0] = '\0'; return 0; }
int GetSystemDir(char* pOut, int) { pOut[0] = '\0'; return 0; }
int GetTempDir(char* pOut, int) { pOut[0] = '\0'; return 0; }
