// The debug log: the line format, DebugMode and the sink.
#include "core/log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> asLine;
void Keep(const char* pLine) { asLine.push_back(pLine); }

}  // namespace

TEST(DebugLog, DebugLinesAreCutAndKeepTheirNewline)
{
    char acLine[256];
    FormatDebugLine(acLine, "Parsing - [RF 201 7]");
    EXPECT_STREQ(acLine, "<GR>-Parsing - [RF 201 7]\n");
    std::string text249(249, 'a');
    FormatDebugLine(acLine, text249.c_str());
    EXPECT_EQ(std::string(acLine), "<GR>-" + text249 + "\n");
    FormatDebugLine(acLine, (text249 + "bbbbbbbb").c_str());
    EXPECT_EQ(std::string(acLine), "<GR>-" + text249 + "\n");
}

TEST(DebugLog, WritesToTheSinkOnlyInDebugModeUnlessAlways)
{
    DebugSink pfnOld = SetDebugSink(Keep);
    asLine.clear();
    SetDebugMode(0);
    DebugLog("quiet");
    DebugLogAlways("said");
    SetDebugMode(1);
    EXPECT_EQ(DebugMode(), 1);
    DebugLog("loud");
    DebugLog(nullptr);
    EXPECT_EQ(asLine, (std::vector<std::string>{"<GR>-said\n", "<GR>-loud\n", "<GR>-\n"}));

    // Without a sink the lines go nowhere.
    SetDebugSink(nullptr);
    DebugLog("lost");
    DebugLogAlways("lost");
    EXPECT_EQ(asLine.size(), 3u);
    SetDebugMode(0);
    SetDebugSink(pfnOld);
}
