#include "command/journal.h"

#include <cstdio>

#include "config/journal_file.h"
#include "core/journal_text.h"
#include "ipc/ring.h"

namespace {

// The command being dispatched, stamped when it was taken up.
struct PendingCommand {
    bool bPending;
    JournalTime sTime;
    char acText[kRingTextSize];
};
PendingCommand sPending;

void WriteCommand(Refusal eRefusal)
{
    char acLine[kJournalLineSize];
    FormatJournalCommand(acLine, sizeof acLine, sPending.sTime, sPending.acText, eRefusal);
    JournalLine(acLine);
    sPending.bPending = false;
}

}  // namespace

void JournalCommandReceived(const char* pText)
{
    sPending.bPending = false;
    if (!JournalOn()) return;
    std::snprintf(sPending.acText, sizeof sPending.acText, "%s", pText);
    sPending.sTime = JournalClock();
    sPending.bPending = true;
}

void JournalVerdict(Refusal eRefusal)
{
    if (sPending.bPending) WriteCommand(eRefusal);
}

void JournalCommandDone()
{
    if (sPending.bPending) WriteCommand(kNotRefused);
    FlushJournal();
}

void JournalDroppedAtClose(const char* pText)
{
    if (JournalLineNow([&](char* pOut, size_t nSize, const JournalTime& sTime) {
            FormatJournalDropped(pOut, nSize, sTime, pText);
        })) {
        FlushJournal();
    }
}

void JournalLevelCommand(int iMessage, int iTarget, const char* pText, bool bDelivered)
{
    JournalLineNow([&](char* pOut, size_t nSize, const JournalTime& sTime) {
        FormatJournalLevel(pOut, nSize, sTime, iMessage, iTarget, pText, bDelivered);
    });
}
