// The take journal from the commands' side: each router command that
// DispatchCommand hands to a handler, with the handler's verdict, and each
// level command the take sends. The command is kept whole until the verdict
// (its handler splits the text in place). Lines go to DEV_nnn.LOG
// (config/journal_file.h).
#pragma once
#include "core/commands.h"

// DispatchCommand: the text it is about to hand to a handler, then the end
// of the command (a text no handler took is written as no router command;
// the lines go to the file).
void JournalCommandReceived(const char* pText);
void JournalCommandDone();
// A handler's verdict on the command being dispatched (kNotRefused: taken).
void JournalVerdict(Refusal eRefusal);
// A queued command the close did not carry out.
void JournalDroppedAtClose(const char* pText);
// A level command sent to RVX, or one RVX did not take (bDelivered false).
// (Notes of the driver's own: JournalNote, config/journal_file.h.)
void JournalLevelCommand(int iMessage, int iTarget, const char* pText, bool bDelivered = true);
