// Queue of received texts waiting to be processed from the message loop
// (platform-free). Texts are kept in arrival order and each is handed out
// once; a full queue refuses the text rather than overwrite a pending one.
#pragma once

const int kRingTextSize = 128;     // an entry: up to 127 characters and NUL
const int kRingCapacity = 16384;

struct TextRing {
    char aacEntry[kRingCapacity][kRingTextSize];
    int iRead;      // oldest pending entry
    int iWrite;     // next free entry
    int iPending;   // entries waiting
    long lDropped;  // texts refused because the ring was full
};

// Stores the text cut to 127 characters. Returns the entry index, or -1 when
// the ring is full.
int RingPush(TextRing* pRing, const char* pText);
// Copies the oldest pending text into pOut (128 bytes). Returns 0 when empty.
int RingPop(TextRing* pRing, char* pOut);
