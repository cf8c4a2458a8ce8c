// The take journal's lines (platform-free): one for each router command the
// driver receives, with what it did with it, and one for each level command
// it sends, both stamped with the time in UTC to the millisecond; and the
// reading of the profile's JournalSize.
#pragma once
#include <cstddef>
#include <string>

#include "core/commands.h"

struct JournalTime {
    int iYear;
    int iMonth;
    int iDay;
    int iHour;
    int iMinute;
    int iSecond;
    int iMilliseconds;
};

// Room for the longest line: a text of 512 characters with every byte
// written as an escape, and the stamp in front.
const size_t kJournalLineSize = 2200;

// "2026-12-08 14:03:07.412 ws 7 accepted | RC 201 12 34 ',1,2,3,4,5' 7"
// The workstation is the command's last field as the command reads it, "-"
// when the text has fewer fields; the verdict is "accepted", "refused (R)"
// with R one of fields, device, access, range, lock, or "not a router
// command" for a text that names none. The text stands whole after " | ".
// Returns the length of the line (without a newline); a buffer too short
// for it gets as much as fits, terminated.
int FormatJournalCommand(char* pOut, size_t nSize, const JournalTime& sTime, const char* pText, Refusal eRefusal);

// "2026-12-08 14:03:07.412 ws 7 dropped at close | RC 201 12 34 ',1' 7": a
// command RVX handed over that the driver did not carry out before it closed.
int FormatJournalDropped(char* pOut, size_t nSize, const JournalTime& sTime, const char* pText);

// "2026-12-08 14:03:07.415   sent 2124 to 101 | RC 101 5 20 ',---' 7":
// message number, target device, the level command's text. A command that
// RVX did not take (the take stopped there) reads "  not delivered 2124 to
// 101 | ..." instead.
int FormatJournalLevel(char* pOut, size_t nSize, const JournalTime& sTime, int iMessage, int iTarget,
                       const char* pText, bool bDelivered = true);

// "2026-12-08 14:03:07.415   InfoDriver 302 linked again": a note of the
// driver's own (the links the take depends on, a save that failed, an
// access list kept).
int FormatJournalNote(char* pOut, size_t nSize, const JournalTime& sTime, const char* pText);

// "2026-12-08 14:03:07.415   ** start | zur.exe 3.05.03, device 201, ...":
// a line of the driver's own life (start, registration, TX/RX, shut-down)
// or of a site tool that changed the device's files, with its kind and
// what a reader needs to know of it. The kinds are the words below.
int FormatJournalEvent(char* pOut, size_t nSize, const JournalTime& sTime, const char* pKind, const char* pText);

// The events' texts, for FormatJournalEvent:
// "start": "zur.exe 3.05.03, device 201, profile C:\...\DEV_201.INI,
// DatabaseSize_0=16, DatabaseSize_1=40".
std::string JournalStartText(const char* pVersion, int iDevice, const char* pProfile, int iSources, int iDests);
// "registration": "registered with RVX" (result 0), else "refused (N):
// <the box's text>".
std::string JournalRegistrationText(int iResult, const char* pRefusal);
// "txrx": "TX/RX" or "RX only", and why ("RVX network status").
std::string JournalTxRxText(bool bTxRx, const char* pWhy);
// "shut-down": its cause as the text ("message 2175 from a peer", ...).
// "import": "zurdb import of FILE: <changes>; now R routed, L locked;
// replaced files kept as ..." (bBackup: the files it replaced were kept).
std::string JournalImportText(const char* pFile, const char* pChanges, int nRouted, int nLocked,
                              const char* pBackup);

// JournalSize: the size in KB at which the journal moves to its one old
// file; 0 keeps no journal. Only a whole number of KB is taken: a value
// that is negative, or anything but digits, keeps no journal either.
enum JournalSizeText { kJournalSizeNumber, kJournalSizeNegative, kJournalSizeNotNumber };
JournalSizeText ParseJournalSize(const char* pText, int* piKb);
