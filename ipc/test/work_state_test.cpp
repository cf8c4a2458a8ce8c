#include "ipc/work_state.h"

#include <gtest/gtest.h>

namespace {

struct WorkStateTest : ::testing::Test {
    void SetUp() override { ResetWorkState(); }
    void TearDown() override { ResetWorkState(); }
};

// A close waits until the outermost send has returned, not merely the
// innermost, and until start-up has ended.
TEST_F(WorkStateTest, CloseWaitsForOutermostSendAndStartup)
{
    EXPECT_TRUE(CloseMayTakeEffectNow());
    EnterSend();
    EnterSend();
    EXPECT_TRUE(NoteWaitingClose("WM_CLOSE"));
    EXPECT_TRUE(StopRequested());
    LeaveSend();
    EXPECT_FALSE(WaitingCloseDue());
    LeaveSend();
    EXPECT_TRUE(WaitingCloseDue());

    ResetWorkState();
    BeginStartup();
    EXPECT_FALSE(CloseMayTakeEffectNow());
    EndStartup();
    EXPECT_TRUE(CloseMayTakeEffectNow());
}

// The first waiting request's cause is the one journaled; the shut-down
// begins once; a new start-up leaves the old close behind.
TEST_F(WorkStateTest, FirstCauseKeptAndOneShutdown)
{
    EnterSend();
    EXPECT_TRUE(NoteWaitingClose("message 2175 from a peer"));
    EXPECT_FALSE(NoteWaitingClose("File / Exit"));
    EXPECT_STREQ(WaitingCloseCause(), "message 2175 from a peer");
    LeaveSend();
    EXPECT_TRUE(BeginClosing());
    EXPECT_FALSE(BeginClosing());
    EXPECT_TRUE(IsClosing());
    BeginStartup();
    EXPECT_FALSE(IsClosing());
    EXPECT_TRUE(IsStarting());
}

}  // namespace
