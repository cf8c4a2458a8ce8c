#include "command/dispatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command/routes.h"
#include "command/take.h"
#include "core/log.h"
#include "core/messages.h"
#include "ipc/counters.h"
#include "ipc/intake.h"
#include "ipc/rvx.h"
#include "tests/host/debug_capture.h"
#include "tests/host/test_host.h"
#include "ipc/test_support.h"

namespace {

class Dispatch : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        LoadTestProfile(UseTempConfigDir(201), "[Database]\nDatabaseSize_0=10\nDatabaseSize_1=20\n");
    }
    void SetUp() override
    {
        SetDebugMode(1);
        SetTxRx(kTxRx);
        char acText[kRingTextSize];
        while (TakeQueuedText(kCommandQueue, acText)) {}
        DebugCapture::Take();
    }
    void TearDown() override { SetDebugMode(0); }

    DebugCapture capture;
};

}  // namespace

TEST_F(Dispatch, WritesTheDiagnosticLinesOnlyInDebugMode)
{
    char acText[] = "XY 999 1 2";
    DispatchCommand(acText);
    EXPECT_EQ(DebugCapture::Take(),
              (std::vector<std::string>{"<GR>-!\n", "<GR>-P TXRX is 2\n", "<GR>-Parsing - [XY 999 1 2]\n"}));

    SetDebugMode(0);
    DispatchCommand(acText);
    EXPECT_TRUE(DebugCapture::Take().empty());
}

TEST_F(Dispatch, ChoosesTheHandlerByTheFirstTwoLetters)
{
    EXPECT_EQ(HandlerOf("RC 201 1 2 ',1' 0"), &CommandRC);
    EXPECT_EQ(HandlerOf("RCX201 1 2 ',1' 0"), &CommandRC);
    EXPECT_EQ(HandlerOf("RF 201 7"), &CommandRF);
    EXPECT_EQ(HandlerOf("RL 201 1 2 1 0"), &CommandRL);
    EXPECT_EQ(HandlerOf("RP 201 1 2 0"), &CommandRP);
    EXPECT_EQ(HandlerOf("RQ 201 1 2 0"), &CommandRQ);
    EXPECT_EQ(HandlerOf("Rc 201 1 2 ',1' 0"), nullptr);
    EXPECT_EQ(HandlerOf("RR 201 1 2"), nullptr);
    EXPECT_EQ(HandlerOf("R"), nullptr);
    EXPECT_EQ(HandlerOf(""), nullptr);
}

TEST_F(Dispatch, QueuedCommandsAreTakenOldestFirstAndCounted)
{
    const long lBefore = Counters().lCommandsReceived;
    OnCommandQueued(0);   // nothing pending: nothing happens
    EXPECT_EQ(Counters().lCommandsReceived, lBefore);
    EXPECT_TRUE(DebugCapture::Take().empty());

    // Commands for another device: the handlers refuse them; each still counts.
    for (const char* pText : {"RP 999 1 5 0", "hello", "RQ 999 1 5 0"}) ASSERT_EQ(QueueText(kCommandQueue, pText), 1);
    ASSERT_EQ(QueuedTexts(kCommandQueue).iPending, 3);
    for (int i = 0; i < 4; ++i) OnCommandQueued(63);
    EXPECT_EQ(Counters().lCommandsReceived, lBefore + 3);

    std::vector<std::string> parsed;
    for (const std::string& line : DebugCapture::Take()) {
        if (line.rfind("<GR>-Parsing", 0) == 0) parsed.push_back(line);
    }
    EXPECT_EQ(parsed, (std::vector<std::string>{"<GR>-Parsing - [RP 999 1 5 0]\n", "<GR>-Parsing - [hello]\n",
                                                "<GR>-Parsing - [RQ 999 1 5 0]\n"}));
}
