#include "core/command_text.h"
CommandKind CommandKindOf(const char*) { return CMD_NONE; }
int CommandFieldCount(CommandKind) { return 0; }
int FormatRevertive(char* pOut, size_t, int, int, int) { pOut[0] = '\0'; return 0; }
