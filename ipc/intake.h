// What the peers deliver to the main window: text requests, taken only as
// the transport delivers them, and the two queues of texts that the message
// loop processes later (a sender is released at once, and nothing that
// starts long work runs nested inside another process's send).
#pragma once
#include <windows.h>

#include "ipc/ring.h"

// The driver's main window (one owner): where every peer sends, and what
// every request of the driver names as its sender. Set once by the program
// entry when the window exists; read-only elsewhere.
extern HWND const& hWndMain;
void SetMainWindow(HWND hWnd);

// Router commands (2189), drained by 2049; InfoDriver messages (2730),
// drained by 2050.
enum TextQueue { kCommandQueue = 0, kInfoQueue = 1 };

// WM_COPYDATA of the main window: the transport's delivery, during which
// DeliveredText gives a text message's text.
void ReceiveCopyData(HWND hWnd, WPARAM wParam, LPARAM lParam);
// The text of a text message (2121, 2189, 2730) that the transport is
// delivering now, once; nullptr when the same number came as a plain
// message, whose lparam is no text.
char* DeliveredText(UINT uMessage, LPARAM lParam);

// Stores a received text for the message loop and posts its drain. Sends
// nothing, so it is safe inside any nested send. Returns 1, the sender's
// answer.
LRESULT QueueText(TextQueue eQueue, const char* pText);
// The oldest queued text into pOut (kRingTextSize bytes); 0 when none waits.
int TakeQueuedText(TextQueue eQueue, char* pOut);

// The drain posts one message per queue at most: the queue of posted
// messages is limited, so a burst of texts must not post one each. Around
// the processing of one text:
struct DrainMark {
    int iRead;
    int iPending;
};
DrainMark MarkQueue(TextQueue eQueue);
// Posts the next drain while texts wait; a consumer that took nothing ends
// the drain instead of spinning on it.
void ContinueDrain(TextQueue eQueue, const DrainMark& sBefore);
// During start-up the texts wait; ResumeQueues posts the drains of texts
// that waited.
void PauseDrain(TextQueue eQueue);
void ResumeQueues();
// Drops every queued text (shut-down has begun); returns how many.
long DropQueuedTexts(TextQueue eQueue);
// How many texts have entered the queue since the start, and how many have
// left it (taken or dropped): a TX/RX change waits until every router
// command that arrived before it has left.
unsigned long TextsEntered(TextQueue eQueue);
unsigned long TextsLeft(TextQueue eQueue);
