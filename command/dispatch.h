// Command intake: the router commands taken from the queue, and the handler
// that each one runs.
#pragma once
#include "core/commands.h"

void OnCommandQueued(int iIndex);   // posted 2049: next pending ring command
void DispatchCommand(char* pText);

// The handler that DispatchCommand runs for a command text, or nullptr when
// the text names no router command.
typedef int (*CommandHandler)(char* pText);
CommandHandler HandlerOf(const char* pText);

// What every router command is checked against: the profile as loaded.
CommandLimits DriverLimits();
