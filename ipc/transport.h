// Request/reply transport over WM_COPYDATA between the main windows of the
// driver and its peers. Shared by the driver and the stand-in peers.
#pragma once
#include <windows.h>
#include "ipc/messages.h"
#include "ipc/wire.h"

// Text request (or reply, for MSG_TRANSPORT_REPLY): pBlock is a block of
// kTextBlockSize bytes sent as it lies. With iCopyBack > 0 the reply text is
// copied back into pBlock by the copy-back rule. Returns the reply's result
// (0..65535), or 0 when no reply arrived; for a reply, the platform's result.
int SendCopyData(HWND hOwn, HWND hDest, int iMessage, int iValue, char* pBlock, int iCopyBack);

// Text request from a plain text: places it in a zeroed block first and copies
// the reply text (at most nReply bytes by the copy-back rule) into pReply when
// pReply is not null.
int SendCopyText(HWND hOwn, HWND hDest, int iMessage, int iValue, const char* pText,
                 char* pReply = nullptr, int nReply = 0);

// Numeric request: the number travels as "%08lx" in 16 bytes.
int SendCopyNumber(HWND hOwn, HWND hDest, int iMessage, int iValue, unsigned long ulNumber);

// The WM_COPYDATA case of a main window procedure: stores a reply, or runs a
// request through hOwn's window procedure and answers it.
void HandleCopyData(HWND hOwn, WPARAM wParam, LPARAM lParam);

// Sends a plain message to every top-level window (a broadcast that Wine
// delivers and that a hung program cannot block).
void BroadcastToTopLevel(UINT uMessage, WPARAM wParam, LPARAM lParam);
