// Command intake: dispatch of router commands and the shared checks.
#pragma once

extern long lCommandsReceived;

void OnCommandQueued(int iIndex);   // posted 2049: next pending ring command
void DispatchCommand(char* pText);

// The handler that DispatchCommand runs for a command text, or nullptr when
// the text names no router command.
typedef int (*CommandHandler)(char* pText);
CommandHandler HandlerOf(const char* pText);

int IsSourceValid(int n);
int IsDestValid(int n);
int IsOurDevice(int n);
int HasAccess(int iWorkstation);
// The access check of "RC" and "RL", which change routes and locks: the
// workstation field must also be written as a number, since an empty or
// non-numeric field converts to 0, the panel's own workstation.
int HasNumericAccess(const char* pField, int iWorkstation);
