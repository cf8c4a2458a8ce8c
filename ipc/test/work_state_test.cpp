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

// Long work gives way to the first close request: a take within its grace,
// a sweep at once; the close's own drain lets its sweeps run within its
// limit. The tick may wrap between the request and the check.
TEST_F(WorkStateTest, LongWorkGivesWayToTheFirstCloseRequest)
{
    const std::uint32_t dwAt = 0xFFFFF000u;  // 4096 ms before the tick wraps
    EXPECT_FALSE(TakeCut(dwAt + 100000));
    EXPECT_FALSE(SweepCut(dwAt));

    NoteCloseRequested(dwAt);
    NoteCloseRequested(dwAt + 2000);  // a later request moves nothing
    EXPECT_TRUE(SweepCut(dwAt));
    EXPECT_FALSE(TakeCut(dwAt + kTakeGraceMs - 1));
    EXPECT_TRUE(TakeCut(dwAt + kTakeGraceMs));
    EXPECT_TRUE(TakeCut(dwAt + 5000));  // past the wrap

    BeginCloseDrain(dwAt + 5000, 1000);
    EXPECT_FALSE(SweepCut(dwAt + 5999));
    EXPECT_TRUE(SweepCut(dwAt + 6000));
    EndCloseDrain();
    EXPECT_TRUE(SweepCut(dwAt + 5001));

    ResetWorkState();
    EXPECT_FALSE(SweepCut(dwAt));
    EXPECT_FALSE(TakeCut(dwAt + 100000));
}

}  // namespace
