// Queue of received texts waiting to be processed from the message loop
// (platform-free). Texts are kept whole and in arrival order, and each is
// handed out once; a full queue refuses a text rather than overwrite a
// pending one.
#pragma once
#include "ipc/wire.h"

const int kRingTextMax = kTextBlockSize - 1;  // the longest text a request block carries
const int kRingTextSize = kRingTextMax + 1;   // a text handed out, with its NUL
const int kRingCapacity = 16384;              // texts pending at most

// The texts lie end to end in one store, each with its NUL, never across the
// store's end. It holds kRingCapacity texts of up to 127 characters, plus the
// room that wrapping round the end can leave unused (less than the longest
// text); longer texts take more of it, so fewer of them fit.
const int kRingStoreSize = kRingCapacity * 128 + kRingTextMax;

// RingPush's refusals.
const int kRingFull = -1;
const int kRingTooLong = -2;

struct TextRing {
    char acStore[kRingStoreSize];
    int aiStart[kRingCapacity];   // where each entry's text begins in acStore
    int iRead;      // oldest pending entry
    int iWrite;     // next free entry
    int iPending;   // entries waiting
    int iFree;      // where the text after the newest one would begin
    long lDropped;  // texts refused because the ring was full
};

// Stores the whole text. Returns the entry index; kRingTooLong (not stored,
// not counted) for a text longer than kRingTextMax; kRingFull (counted in
// lDropped) when kRingCapacity texts are pending or the store has no room.
int RingPush(TextRing* pRing, const char* pText);
// Copies the oldest pending text into pOut (kRingTextSize bytes). Returns 0
// when empty.
int RingPop(TextRing* pRing, char* pOut);
// The text of a pending entry, where it lies in the store.
const char* RingText(const TextRing* pRing, int iEntry);
