// The debug log (platform-free): every diagnostic line of the driver goes
// through DebugLog. The program hands in the platform's debug output as the
// sink; without one, lines go nowhere.
#pragma once

typedef void (*DebugSink)(const char* pLine);

// Returns the sink it replaces.
DebugSink SetDebugSink(DebugSink pfnSink);

// The profile's DebugMode: DebugLog writes only while it is non-zero.
void SetDebugMode(int iMode);
int DebugMode();

// "<GR>-text\n" to the sink when DebugMode is set.
void DebugLog(const char* pText);
// The same line whatever DebugMode says, for what a site must hear of even
// with the debug log off.
void DebugLogAlways(const char* pText);

// Formats "<GR>-%s\n" into a 256-byte line, cutting a long text.
void FormatDebugLine(char* pLine256, const char* pText);
