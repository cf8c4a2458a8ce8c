#include "core/dispatch.h"

#include <cstdio>

#include "app/driver.h"
#include "app/panel.h"
#include "config/profile.h"
#include "core/command_text.h"
#include "core/counter.h"
#include "core/routes.h"
#include "core/take.h"
#include "core/tokenizer.h"
#include "ipc/mainwnd.h"
#include "ipc/rvx.h"
#include "res/resource.h"

long lCommandsReceived = 0;

// Commands are taken from the ring in arrival order: the ring never loses or
// repeats one, so the index posted with 2049 is not needed to find it.
void OnCommandQueued(int)
{
    char acText[kRingTextSize];
    if (!RingPop(&sCommandRing, acText)) return;
    DispatchCommand(acText);
    // Counted whatever the command was.
    lCommandsReceived = CountOne(lCommandsReceived);
    ShowCounter(IDC_COMMANDS_RX, lCommandsReceived);
}

CommandHandler HandlerOf(const char* pText)
{
    switch (CommandKindOf(pText)) {
    case CMD_RC: return CommandRC;
    case CMD_RF: return CommandRF;
    case CMD_RL: return CommandRL;
    case CMD_RP: return CommandRP;
    case CMD_RQ: return CommandRQ;
    default:     return nullptr;
    }
}

void DispatchCommand(char* pText)
{
    if (pText == nullptr) return;
    char acLine[256];
    DebugLog("!");
    std::snprintf(acLine, sizeof acLine, "P TXRX is %d", iTxRx);
    DebugLog(acLine);
    std::snprintf(acLine, sizeof acLine, "Parsing - [%s]", pText);
    DebugLog(acLine);

    // The handler's acceptance flag is not needed here.
    CommandHandler pHandler = HandlerOf(pText);
    if (pHandler != nullptr) pHandler(pText);
}

int IsSourceValid(int n)
{
    return n >= 1 && n <= DatabaseSize_0 ? 1 : 0;
}

int IsDestValid(int n)
{
    return n >= 1 && n <= DatabaseSize_1 ? 1 : 0;
}

int IsOurDevice(int n)
{
    return n == iDevice ? 1 : 0;
}

// A workstation number outside the access table is refused.
int HasAccess(int iWorkstation)
{
    if (iWorkstation < 0 || iWorkstation > kWorkstationMax) return 0;
    return abAccess[iWorkstation] != 0 ? 1 : 0;
}

int HasNumericAccess(const char* pField, int iWorkstation)
{
    return IsNumberField(pField) && HasAccess(iWorkstation) ? 1 : 0;
}
