// Route index file DEV_nnn.DAT and lock file DEV_nnn.LCK.
#pragma once

extern int bIndexDirty;
extern unsigned int iSaveTicks;

// A file that exists but cannot be read is tried again for a second, then
// left on disc as it is until the table has something to keep.
void LoadIndexFile();
bool SaveIndexFile();     // false when the file could not be written
void LoadLockFile();
bool SaveLockFile();
void OnSaveTimer();       // one tick of the 60-second save timer
