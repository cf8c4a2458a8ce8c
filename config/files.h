// Route index file DEV_nnn.DAT and lock file DEV_nnn.LCK.
#pragma once

extern int bIndexDirty;    // the route index changed since it was loaded or saved
extern int bLockDirty;     // the lock flags changed since they were loaded or saved
extern unsigned int iSaveTicks;

// A file that exists but cannot be read is tried again for a second, then
// left on disc as it is until the table has something to keep.
void LoadIndexFile();
bool SaveIndexFile();     // false when the file could not be written
void LoadLockFile();
bool SaveLockFile();
void OnSaveTimer();       // one tick of the 60-second save timer
// Shut-down: writes each loaded table that this run changed (or whose file
// has gone); a table never loaded, or unchanged, is left alone.
void SaveChangedTables();
