// The route index and lock flags as DEV_nnn.DAT and DEV_nnn.LCK hold them,
// their CSV form, a table for reading and the differences between two
// states (platform-free).
#pragma once
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "config/filecodec.h"

struct RouteState {
    int aiSource[kPackageMax + 1];   // destination 1..4096: the source package routed to it (0..65535), 0 none
    int aiLock[kPackageMax + 1];     // destination 1..4096: its lock value (0..255), 0 unlocked
};

// The state as the driver loads the two files and would write them back:
// pIndex or pLock null for a missing file (unrouted, unlocked), a short file
// read as the driver reads it.
void RouteStateFromFiles(const unsigned char* pIndex, size_t nIndex, const unsigned char* pLock, size_t nLock,
                         RouteState* pState);
// pIndex: kIndexFileSize bytes; pLock: kLockFileSize bytes.
void RouteStateToFiles(const RouteState& state, unsigned char* pIndex, unsigned char* pLock);

// "destination,source,locked", then one line per destination that is routed
// or locked, in ascending order ("34,12,1"); the lock column holds the lock
// value, 0 for unlocked.
std::string FormatRouteCsv(const RouteState& state);

// Reads a CSV made by FormatRouteCsv or saved again by a Windows tool (a
// byte-order mark skipped, CRLF or LF, the header in any case and with
// blanks anywhere). Every line is checked: a destination
// 1..iDestMax listed once, a source 0..iSourceMax, a lock value 0..255.
// Destinations not listed are unrouted and unlocked. Returns false with
// one message per bad line ("FILE:LINE: reason") and *pState unspecified.
bool ParseRouteCsv(const std::string& sText, const std::string& sFile, int iSourceMax, int iDestMax,
                   RouteState* pState, std::vector<std::string>* pasError);

// Destinations 1..iDestCount, one line each: number and name of the
// destination, of its source ("-" when unrouted) and "locked" or nothing.
// bRouted / bLocked keep only the routed / locked ones (both: routed and
// locked). Names come from the maps when given there.
std::string FormatRouteTable(const RouteState& state, int iDestCount, const std::map<int, std::string>& mapSource,
                             const std::map<int, std::string>& mapDest, bool bRouted, bool bLocked);

struct RouteChange {
    int iDest;
    int iSourceA, iSourceB;
    int iLockA, iLockB;
};

std::vector<RouteChange> DiffRouteStates(const RouteState& a, const RouteState& b);

// "destination 34: source 12 -> 13, lock 0 -> 1" (only what changed).
std::string FormatRouteChange(const RouteChange& change);

// What a list of changes does, counted: "3 destinations change: 1 route
// gained, 1 lost, 1 moved; 0 locks gained, 2 lost". A route is gained from
// source 0, lost to 0, moved from one source to another; a lock is gained
// from 0 and lost to 0 (a lock value that only changes counts as neither).
std::string SummarizeRouteChanges(const std::vector<RouteChange>& aChange);
