// Where the driver stands in its work: idle, starting, inside one of its
// own sends, or closing. One owner, platform-free: app/ marks start-up and
// the close, the transport counts its sends in it and stops its posted-close
// watch once closing, and the window procedure and start-up read it through
// the queries below.
//
// The rules, written here once:
//
// - Nested work. The driver waits for its peers inside its own sends (a
//   take reading a slot, a revertive, a registration, a wait for sent
//   messages). Meanwhile the platform delivers the messages that other
//   processes send to the driver, so their handlers run nested inside that
//   work: answers to peers' requests, replies, the TX/RX orders and the
//   queuing of texts may. The drains of the queued texts may not: they are
//   posted by the driver itself and run only at the message loop (a drain
//   sent from outside is ignored), so one command never runs inside
//   another.
// - When a close takes effect. A close request takes effect at once when
//   the driver is neither starting nor inside a send
//   (CloseMayTakeEffectNow). Otherwise it waits (CloseWaits): start-up
//   stops before its next request and the close takes effect at its end;
//   inside a send it takes effect at the first of the next drain of a queue
//   and the message the request posted (MSG_CLOSE_DEFERRED), both back at
//   the message loop. A posted request (WM_CLOSE, 2175, File / Exit) is
//   looked for after the sends and in the waits until shut-down has begun,
//   so long work sees it too. The end of the session takes effect at once,
//   even inside work. The shut-down runs once per process (BeginClosing).
// - Long work gives way to the first close request (NoteCloseRequested),
//   so that the close ends in bounded time: a sweep of revertives stops at
//   its next revertive (SweepCut); a take reads and sends its level
//   commands only within kTakeGraceMs of the request (TakeCut). While the
//   shut-down carries out the queued commands (BeginCloseDrain ..
//   EndCloseDrain), their sweeps run within the drain's own limit.
// - What is carried out and what is dropped. During start-up the queued
//   texts wait; start-up resumes their drains. Once closing, the shut-down
//   carries out the queued router commands that need no InfoDriver before
//   its unregister and drops the rest with their journal lines; router
//   commands that come later are dropped the same way, InfoDriver texts
//   are dropped, and the messages whose handling would send to a peer
//   (network status, name change, revertive refresh) are not acted on.
//   After the unregister every send fails at once (the transport's
//   StopSends); replies to peers' requests still go.
#pragma once
#include <cstdint>

// Start-up: from the creation of the main window until the sequence ends.
// Its beginning also clears a shut-down begun before it (a new main window
// in the same process, as the tests make).
void BeginStartup();
void EndStartup();
bool IsStarting();

// The transport's sends, each counted from before it goes until it has
// returned (plain messages, requests, waits for sent messages, broadcasts).
void EnterSend();
void LeaveSend();

// Neither starting nor inside a send: a close request may run the shut-down.
bool CloseMayTakeEffectNow();
// Notes a close request that has to wait; false when one already waits.
// The cause goes to the take journal when the close takes effect.
bool NoteWaitingClose(const char* pCause);
bool CloseWaits();
const char* WaitingCloseCause();
// A close waits and may now take effect.
bool WaitingCloseDue();

// The shut-down has begun. BeginClosing returns false when it had already:
// the shut-down runs once however many close requests arrive.
bool BeginClosing();
bool IsClosing();
// Closing, or a close waits: start-up makes no further request.
bool StopRequested();

// The cut of long work at a close. Times are the platform's millisecond
// tick, which wraps after 49.7 days: only differences of two ticks count.
const std::uint32_t kTakeGraceMs = 3000;
void NoteCloseRequested(std::uint32_t dwNow);   // the first request counts
void BeginCloseDrain(std::uint32_t dwNow, std::uint32_t dwLimitMs);
void EndCloseDrain();
bool SweepCut(std::uint32_t dwNow);
bool TakeCut(std::uint32_t dwNow);

// Tests run several drivers in one process: each starts neither starting
// nor closing, with no close waiting or requested (sends under way stay
// counted).
void ResetWorkState();
