// Recognition of router command texts and the revertive text (platform-free).
#pragma once
#include <cstddef>

enum CommandKind { CMD_NONE = 0, CMD_RC, CMD_RF, CMD_RL, CMD_RP, CMD_RQ };

// The command a text names by its first two characters: "R" then one of
// "C", "F", "L", "P", "Q". Anything else is CMD_NONE.
CommandKind CommandKindOf(const char* pText);

// Number of fields the handler of a command reads (RC 5, RF 2, RL 5, RP 4,
// RQ 4); 0 for CMD_NONE.
int CommandFieldCount(CommandKind eKind);

// How SendRevertives answers: one revertive (2187) per destination, or a
// query series (2188) whose last value is marked.
enum RevertiveMode { kRevertiveEach = 1, kRevertiveSeries = 2 };

// Formats "RR %03d %03d %03d" (device, destination, source) into pOut.
int FormatRevertive(char* pOut, size_t nSize, int iDevice, int iDest, int iSource);
