// What the command layer tells whoever shows its work (the panel), through
// handlers handed in once. Without them nothing is told. Each handler may be
// null.
#pragma once

struct CommandEvents {
    // A take's router command, as it came (before it is split).
    void (*pfnCommandShown)(const char* pText);
    // A take begins: the level commands it lists follow.
    void (*pfnOutputCleared)();
    // One line of the take's list: a level command, or the RX-only note.
    void (*pfnOutputLine)(const char* pText);
    // A traffic counter (ipc/counters.h) has moved.
    void (*pfnCountersChanged)();
    // The route or lock of destinations iFirst..iLast may have changed.
    void (*pfnRoutesChanged)(int iFirst, int iLast);
};

void SetCommandEvents(const CommandEvents* pEvents);

// Tell the handler, when there is one.
void TellCommandShown(const char* pText);
void TellOutputCleared();
void TellOutputLine(const char* pText);
void TellCountersChanged();
void TellRoutesChanged(int iFirst, int iLast);
