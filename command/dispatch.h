// Command intake: the router commands taken from the queue, and the handler
// that each one runs.
#pragma once
#include "core/commands.h"

void OnCommandQueued(int iIndex);   // posted 2049: next pending ring command
void DispatchCommand(char* pText);

// The operator panel's commands, composed as RVX sends them and dispatched
// at once: a take of iSource to iDest, and the lock of iDest turned over
// (locked when it is unlocked, unlocked when it is locked). False, with
// nothing dispatched, for a package outside the profile's database sizes.
bool TakeFromPanel(int iSource, int iDest);
bool ToggleLockFromPanel(int iDest);
// At a close, before the unregister: carries out the queued commands that
// need no InfoDriver ("RL", "RP", "RQ", "RF") for up to ulLimitMs; journals
// the takes and the rest as dropped at close. Returns how many were dropped.
long CarryOutQueuedAtClose(unsigned long ulLimitMs);

// The handler that DispatchCommand runs for a command text, or nullptr when
// the text names no router command.
typedef int (*CommandHandler)(char* pText);
CommandHandler HandlerOf(const char* pText);

// What every router command is checked against: the profile as loaded.
CommandLimits DriverLimits();
