// Request/reply transport over WM_COPYDATA between the main windows of the
// driver and its peers. Shared by the driver and the stand-in peers.
#pragma once
#include <windows.h>
#include "core/messages.h"
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

// Every send to a peer has a time limit. A peer that has not taken a message
// for 5 seconds counts as hung and is given up at once (SMTO_ABORTIFHUNG);
// one that is busy in its handler is waited for this long, so a slow but
// live peer that answers within 10 s still works.
const DWORD kPeerTimeoutMs = 12000;
// How long a peer has to answer a broadcast (RVX its 2032 to the 2031, an
// InfoDriver its 2729 to the 2724): a peer that is busy at the time still
// counts as running when it answers within this time.
const DWORD kFindPeerMs = 10000;
// Sets the limit of every later send (the shut-down shortens it, so that it
// ends in bounded time even when every peer hangs). Returns the old one.
DWORD SetPeerTimeout(DWORD dwMs);

// Long work (start-up, a take, a sweep) never returns to the message loop,
// where a close request that was posted (WM_CLOSE, File / Exit) waits. The
// watch, when set, runs after each send and in every wait (at most every
// 50 ms), counted as a send under way, so that it can look for one; once
// shut-down has begun it no longer runs.
typedef void (*PostedCloseWatch)();
void SetPostedCloseWatch(PostedCloseWatch pfnWatch);
// After the unregister nothing more goes to a peer: every later request and
// plain message fails at once (replies to peers' requests still go).
// StopSends(false) lets them go again (tests).
void StopSends(bool bStopped);

// A plain message to a peer within the time limit. Returns false when the
// peer did not answer (gone, hung or too slow); *plResult is then 0.
bool SendPeerMessage(HWND hDest, UINT uMessage, WPARAM wParam, LPARAM lParam, LRESULT* plResult);

// A plain message to a peer that has just sent this process a message: it
// may have taken no message for longer than the hung limit while it was
// busy, and may not yet be back at its message loop, so the send waits for
// it up to dwMs without the hung check.
bool SendPeerMessageWithin(HWND hDest, UINT uMessage, WPARAM wParam, LPARAM lParam, DWORD dwMs);

// Text request like SendCopyText; *pbAnswered tells whether the peer's reply
// arrived (an empty reply and no reply both leave an empty text).
int SendCopyTextAnswered(HWND hOwn, HWND hDest, int iMessage, int iValue, const char* pText, char* pReply,
                         int nReply, bool* pbAnswered);

// Handles the messages that other processes send to this thread for up to
// dwMs milliseconds, or until *pDone (checked after each) is non-null;
// posted messages stay queued. Counts as a send under way.
void WaitForSentMessages(DWORD dwMs, HWND* pDone);
