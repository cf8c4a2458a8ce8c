#include "core/command_text.h"

#include <cstdio>

CommandKind CommandKindOf(const char* pText)
{
    if (pText == nullptr || pText[0] != 'R') return CMD_NONE;
    switch (pText[1]) {
    case 'C': return CMD_RC;
    case 'F': return CMD_RF;
    case 'L': return CMD_RL;
    case 'P': return CMD_RP;
    case 'Q': return CMD_RQ;
    default:  return CMD_NONE;
    }
}

int CommandFieldCount(CommandKind eKind)
{
    switch (eKind) {
    case CMD_RC: return 5;
    case CMD_RF: return 2;
    case CMD_RL: return 5;
    case CMD_RP: return 4;
    case CMD_RQ: return 4;
    default:     return 0;
    }
}

int FormatRevertive(char* pOut, size_t nSize, int iDevice, int iDest, int iSource)
{
    return std::snprintf(pOut, nSize, "RR %03d %03d %03d", iDevice, iDest, iSource);
}
