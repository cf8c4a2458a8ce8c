// What the module tests reach in ipc/ beyond its own headers; no product
// file includes this header.
#pragma once
#include <windows.h>

#include "ipc/intake.h"

// Links made without the broadcast: a test's InfoDrivers of its own process,
// which the broadcast passes over.
void UseInfoLinks(HWND hWndSource, HWND hWndDest, HWND hWndLevelMap);

// The texts a queue holds.
const TextRing& QueuedTexts(TextQueue eQueue);
