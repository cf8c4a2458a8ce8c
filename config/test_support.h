// What the module tests reach in config/ beyond its own headers; no
// product file includes this header.
#pragma once

// The temporary directory, looked up as GetConfigDir looks up the
// configuration directory but under the key TempPath, written into pOut as
// GetConfigDir writes it.
int GetTempDir(char* pOut, int nSize);
