// Configuration, system library and temporary directories.
#pragma once

// "%s\%s" of CC_ROOT and CC_SYSTEM into pBuffer (room for iLimit + 2 bytes).
bool JoinRootSystem(char* pBuffer, int iLimit);

// Each writes the directory into pOut (nSize bytes, the rest zero-filled) and
// returns 1, or returns 0 and leaves pOut empty when it does not fit.
int GetConfigDir(char* pOut, int nSize);
int GetSystemDir(char* pOut, int nSize);
int GetTempDir(char* pOut, int nSize);
