// The route index and the lock flags (one owner), and the files that keep
// them: DEV_nnn.DAT and DEV_nnn.LCK.
#pragma once
#include <windows.h>

#include "core/limits.h"

struct RouteTables {
    int aiIndex[kPackageMax + 1];   // the source package routed to each destination; 0 none
    int abLock[kPackageMax + 1];    // each destination's lock value; 0 unlocked
    int bIndexDirty;                // the route index changed since it was loaded or saved
    int bLockDirty;                 // the lock flags changed since they were loaded or saved
    unsigned int iSaveTicks;        // save timer ticks since the last periodic save
};

const RouteTables& Routes();

// A take records its route; a re-take of the source already routed marks
// nothing changed. A lock command sets the lock value of destinations
// iFirst..iLast (none when iFirst > iLast) and marks the lock table
// changed, and the route index too when a value changed.
void SetRoute(int iDest, int iSource);
void SetLocks(int iFirst, int iLast, int iValue);

// A file that exists but cannot be read is tried again for a second, then
// left on disc as it is until the table has something to keep. Loading the
// index starts the save period afresh.
void LoadIndexFile();
bool SaveIndexFile();     // false when the file could not be written
void LoadLockFile();
bool SaveLockFile();
// The save timer, one tick a minute, runs on a window (the panel's) from
// the time it is started: its ticks arrive there as WM_TIMER uTimerId, and
// each is given to OnSaveTimer. Starting it again starts the minute afresh.
void StartSaveTimer(HWND hWnd, UINT_PTR uTimerId);
void OnSaveTimer();       // one tick of the save timer

// A save that failed is reported (a debug line whatever DebugMode says, a
// journal line) and retried at every later change of a table, every tick
// of the save timer and the shut-down, until it succeeds. SaveFailing: some
// table's last save failed. The hook hears each change of that state.
bool SaveFailing();
typedef void (*SaveStateHook)(bool bFailing);
void SetSaveStateHook(SaveStateHook pfnHook);
// Shut-down: writes each loaded table that this run changed (or whose file
// has gone); a table never loaded, or unchanged, is left alone.
void SaveChangedTables();
