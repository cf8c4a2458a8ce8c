// The take journal DEV_nnn.LOG beside the device profile (one owner): lines
// appended through the C library's buffer, handed to the system once per
// command, and the file moved to DEV_nnn.LOG.1 (one old file kept) once it
// holds the profile's JournalSize KB (while another program holds the file
// open, it grows on and moves at the next JournalSize). A journal that
// cannot be written stops, says so once, and never holds up a take.
#pragma once
#include "core/journal_text.h"

// Lines are kept: JournalSize is not 0 and the journal has not stopped.
bool JournalOn();
// The time in UTC, for a line's stamp.
JournalTime JournalClock();
// Appends one line (the line end is added); the first line opens the file.
void JournalLine(const char* pLine);
// Appends the line fnFormat(pOut, nSize, sTime) composes, stamped now, when
// lines are kept; true when it was appended.
template <typename Format>
bool JournalLineNow(Format fnFormat)
{
    if (!JournalOn()) return false;
    char acLine[kJournalLineSize];
    fnFormat(acLine, sizeof acLine, JournalClock());
    JournalLine(acLine);
    return true;
}
// A note of the driver's own ("<stamp>   note | text"), written to the
// system at once: what it reports does not wait for the end of a command.
void JournalNote(const char* pText);
// The end of a command: its lines go to the system, and the file moves to
// DEV_nnn.LOG.1 once it has reached JournalSize KB.
void FlushJournal();
// A line of the driver's own life (kind "start", "registration", "txrx",
// "shut-down") with its text, handed to the system at once.
void JournalEvent(const char* pKind, const std::string& sText);
// Closes the file; the next line opens it again. A profile load calls it,
// so a journal that had stopped starts afresh with the profile's size.
void CloseJournal();
