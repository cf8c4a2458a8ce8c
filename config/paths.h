// Configuration, system library and temporary directories.
#pragma once

// "%s\%s" of CC_ROOT and CC_SYSTEM into pBuffer (room for iLimit + 2 bytes).
bool JoinRootSystem(char* pBuffer, int iLimit);

// Each writes the directory into pOut (nSize bytes, the rest zero-filled) and
// returns 1, or returns 0 and leaves pOut empty when it does not fit.
int GetConfigDir(char* pOut, int nSize);
int GetSystemDir(char* pOut, int nSize);

// Where GetConfigDir finds the directory: CC_ROOT and CC_SYSTEM, the
// [Config] key of the system configuration file, or the Windows directory
// (which GetConfigDir then records under the key).
enum DirectoryOrigin { kDirFromEnvironment, kDirFromSystemConfig, kDirFromWindows };
// The configuration directory as GetConfigDir finds it, recording nothing:
// for a tool that must leave the system configuration file alone.
int LookUpConfigDir(char* pOut, int nSize, DirectoryOrigin* peOrigin);
