// The decisions of the router commands, from explicit limits: the checks,
// the orders a command gives when it is taken, its revertives, and the
// take's reading and recording rules.
#include "core/commands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/command_text.h"
#include "core/messages.h"

namespace {

class Commands : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::memset(abAccess, 0, sizeof abAccess);
        std::memset(abLock, 0, sizeof abLock);
        abAccess[0] = 1;
        abAccess[7] = 1;
        abAccess[1000] = 1;
    }
    int abAccess[kWorkstationMax + 1];
    int abLock[kPackageMax + 1];
    CommandLimits sLimits = {201, 10, 20, abAccess};
};

// Each Accept function works on a copy of the text, as the handlers do on
// theirs.
struct Text {
    explicit Text(const char* p) : s(p) {}
    char* operator()() { return &s[0]; }
    std::string s;
};

}  // namespace

TEST_F(Commands, RangeDeviceAndAccessChecks)
{
    for (int n : {1, 10}) EXPECT_EQ(IsSourceValid(sLimits, n), 1) << n;
    for (int n : {-1, 0, 11}) EXPECT_EQ(IsSourceValid(sLimits, n), 0) << n;
    for (int n : {1, 20}) EXPECT_EQ(IsDestValid(sLimits, n), 1) << n;
    for (int n : {0, 21}) EXPECT_EQ(IsDestValid(sLimits, n), 0) << n;
    EXPECT_EQ(IsOurDevice(sLimits, 201), 1);
    EXPECT_EQ(IsOurDevice(sLimits, 202), 0);
    // Workstations outside the table are refused, never looked up.
    abAccess[7] = 0;
    for (int n : {0, 1000}) EXPECT_EQ(HasAccess(sLimits, n), 1) << n;
    for (int n : {-1, 7, 1001}) EXPECT_EQ(HasAccess(sLimits, n), 0) << n;
    // Routes and locks need the workstation written as a number.
    EXPECT_EQ(HasNumericAccess(sLimits, "1000", 1000), 1);
    EXPECT_EQ(HasNumericAccess(sLimits, "+0", 0), 1);
    for (const char* p : {"", " ", "7x", "abc"}) EXPECT_EQ(HasNumericAccess(sLimits, p, 0), 0) << p;
}

TEST_F(Commands, TakeIsAcceptedWithItsFieldsOrRefused)
{
    Text t("RC 201 3 12 ',1,2' 7");
    TakeOrder sOrder = {};
    ASSERT_EQ(AcceptTake(t(), sLimits, abLock, &sOrder), 1);
    EXPECT_EQ(sOrder.iSource, 3);
    EXPECT_EQ(sOrder.iDest, 12);
    EXPECT_STREQ(sOrder.pMask, ",1,2");
    EXPECT_EQ(sOrder.iWorkstation, 7);

    // Each refusal names the first check that failed (for the journal).
    abLock[13] = 1;
    const struct {
        const char* pText;
        Refusal eWhy;
    } aRefused[] = {{"RC 201 3 13 ',1' 7", kRefusedLock},   {"RC 202 3 12 ',1' 7", kRefusedDevice},
                    {"RC 201 3 12 ',1' 5", kRefusedAccess}, {"RC 201 0 12 ',1' 7", kRefusedRange},
                    {"RC 201 11 12 ',1' 7", kRefusedRange}, {"RC 201 3 21 ',1' 7", kRefusedRange},
                    {"RC 201 3 12 ',1'", kRefusedFields},   {"RC 201 3 12 ',1' x", kRefusedAccess},
                    {"RC 201 3 12 ',1' ''", kRefusedAccess}, {"RC", kRefusedFields},
                    {"RC 202 0 13 ',1' 5", kRefusedDevice}};
    for (const auto& c : aRefused) {
        Text r(c.pText);
        Refusal eWhy = kNotRefused;
        EXPECT_EQ(AcceptTake(r(), sLimits, abLock, &sOrder, &eWhy), 0) << c.pText;
        EXPECT_EQ(eWhy, c.eWhy) << c.pText;
    }
    Refusal eWhy = kRefusedLock;
    Text t2("RC 201 3 12 ',1,2' 7");
    EXPECT_EQ(AcceptTake(t2(), sLimits, abLock, &sOrder, &eWhy), 1);
    EXPECT_EQ(eWhy, kNotRefused);
}

TEST_F(Commands, RefreshLockAndRangeOrders)
{
    int iWorkstation = -1;
    Text rf("RF 201 7");
    EXPECT_EQ(AcceptRefresh(rf(), sLimits, &iWorkstation), 1);
    EXPECT_EQ(iWorkstation, 7);
    for (const char* p : {"RF 201 5", "RF 202 7", "RF 201"}) {
        Text r(p);
        EXPECT_EQ(AcceptRefresh(r(), sLimits, &iWorkstation), 0) << p;
    }

    LockOrder sLock = {};
    Text rl("RL 201 2 4 256 7");
    ASSERT_EQ(AcceptLock(rl(), sLimits, &sLock), 1);
    EXPECT_EQ(sLock.iFirst, 2);
    EXPECT_EQ(sLock.iLast, 4);
    EXPECT_EQ(sLock.iValue, 256);
    Text rlBackwards("RL 201 10 5 1 0");   // taken; covers nothing
    ASSERT_EQ(AcceptLock(rlBackwards(), sLimits, &sLock), 1);
    EXPECT_GT(sLock.iFirst, sLock.iLast);
    for (const char* p : {"RL 201 6 21 1 7", "RL 202 6 6 1 7", "RL 201 7 7 1 5", "RL 201 7 7 1", "RL 201 7 7 1 ",
                          "RL 201 7 7 1 abc", "RL 201 7 7 1 7x"}) {
        Text r(p);
        EXPECT_EQ(AcceptLock(r(), sLimits, &sLock), 0) << p;
    }

    RangeOrder sRange = {};
    Text rq("RQ 201 19 4000 7");
    ASSERT_EQ(AcceptRange(rq(), sLimits, &sRange), 1);
    EXPECT_EQ(sRange.iFirst, 19);
    EXPECT_EQ(sRange.iLast, 20);   // cut to the destinations
    EXPECT_EQ(sRange.iWorkstation, 7);
    for (const char* p : {"RP 201 21 22 7", "RP 201 0 2 7", "RP 202 1 2 7", "RP 201 1 2 5", "RP 201 1 2",
                          "RP 201 1 2 1001"}) {
        Text r(p);
        EXPECT_EQ(AcceptRange(r(), sLimits, &sRange), 0) << p;
    }
}

TEST_F(Commands, RevertivesStayInTheTablesAndMarkTheLastOfASeries)
{
    RevertiveRun sRun = PlanRevertives(0, 5000, kRevertiveEach);
    EXPECT_EQ(sRun.iFrom, 1);
    EXPECT_EQ(sRun.iTo, kPackageMax);
    EXPECT_EQ(sRun.iMessage, MSG_REVERTIVE);
    EXPECT_EQ(RevertiveValue(sRun, kPackageMax, 7), 7);

    sRun = PlanRevertives(1, 3, kRevertiveSeries);
    EXPECT_EQ(sRun.iMessage, MSG_REVERTIVE_SERIES);
    EXPECT_EQ(RevertiveValue(sRun, 2, 12), 12);
    EXPECT_EQ(RevertiveValue(sRun, 3, 12), 32780);

    sRun = PlanRevertives(5, 3, kRevertiveSeries);   // empty: nothing to mark
    EXPECT_GT(sRun.iFrom, sRun.iTo);
}

TEST_F(Commands, RefreshRequestScope)
{
    EXPECT_EQ(RevertiveRefreshScope(sLimits, 201, 2, 7), kRefreshChanged);
    EXPECT_EQ(RevertiveRefreshScope(sLimits, 201, 2, 0), kRefreshNothing);
    EXPECT_EQ(RevertiveRefreshScope(sLimits, 201, 0, 0), kRefreshAll);
    EXPECT_EQ(RevertiveRefreshScope(sLimits, 201, 1, 7), kRefreshAll);
    EXPECT_EQ(RevertiveRefreshScope(sLimits, 202, 0, 7), kRefreshNothing);
    EXPECT_EQ(RevertiveRefreshScope(sLimits, 202, 2, 7), kRefreshNothing);
}

TEST_F(Commands, TakeReadsThePreviousSourceOfTheTablesAndRecordsByTheRevertiveLevel)
{
    for (int n : {1, 4096}) EXPECT_EQ(ReadsPreviousSource(n), 1) << n;
    for (int n : {-1, 0, 4097}) EXPECT_EQ(ReadsPreviousSource(n), 0) << n;

    LevelEntry asLevel[kLevelCount + 1] = {};
    for (int L = 1; L <= kLevelCount; ++L) asLevel[L].iMask = L == 2 ? 1 : -1;
    for (int iLevel : {0, -1, 33, 2}) EXPECT_EQ(TakeRecordsRoute(asLevel, iLevel), 1) << iLevel;
    for (int iLevel : {1, 3, 32}) EXPECT_EQ(TakeRecordsRoute(asLevel, iLevel), 0) << iLevel;
}
