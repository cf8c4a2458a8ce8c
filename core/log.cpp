#include "core/log.h"

#include <cstdio>

namespace {

struct DebugLogState {
    DebugSink pfnSink;
    int iDebugMode;
};
DebugLogState sLog = {nullptr, 0};

}  // namespace

DebugSink SetDebugSink(DebugSink pfnSink)
{
    DebugSink pfnOld = sLog.pfnSink;
    sLog.pfnSink = pfnSink;
    return pfnOld;
}

void SetDebugMode(int iMode)
{
    sLog.iDebugMode = iMode;
}

int DebugMode()
{
    return sLog.iDebugMode;
}

void DebugLog(const char* pText)
{
    if (sLog.iDebugMode != 0) DebugLogAlways(pText);
}

void DebugLogAlways(const char* pText)
{
    if (sLog.pfnSink == nullptr) return;
    char acLine[256];
    FormatDebugLine(acLine, pText);
    sLog.pfnSink(acLine);
}

void FormatDebugLine(char* pLine256, const char* pText)
{
    // "<GR>-", at most 249 characters of text, "\n" and the terminator: a cut
    // line still ends with its newline.
    std::snprintf(pLine256, 256, "<GR>-%.249s\n", pText != nullptr ? pText : "");
}
