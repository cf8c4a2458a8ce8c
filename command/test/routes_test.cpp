// Router commands "RF", "RL", "RP", "RQ" and message 2177 against a stand-in
// RVX: the revertives that reach it, their message numbers and values.
#include "command/routes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "config/filecodec.h"
#include "config/files.h"
#include "config/profile.h"
#include "core/messages.h"
#include "ipc/counters.h"
#include "ipc/intake.h"
#include "ipc/rvx.h"
#include "tests/host/test_host.h"

namespace {

const int kDevice = 201;
const int kDests = 20;

std::unique_ptr<FakeRvx> pRvx;
std::string sConfigDir;

int RunCommand(int (*pHandler)(char*), const char* pText)
{
    char acText[128];
    std::strncpy(acText, pText, sizeof acText - 1);
    acText[sizeof acText - 1] = '\0';
    return pHandler(acText);
}

std::string Revertive(int iDest, int iSource)
{
    char acText[32];
    std::snprintf(acText, sizeof acText, "RR %03d %03d %03d", kDevice, iDest, iSource);
    return acText;
}

// Expects exactly these (message, value, destination) revertives, in order.
struct Expected {
    int iMessage;
    int iValue;
    int iDest;
};

void ExpectRevertives(const std::vector<Expected>& asExpected)
{
    std::vector<Received> asGot = pRvx->Take();
    ASSERT_EQ(asGot.size(), asExpected.size());
    for (size_t i = 0; i < asGot.size(); ++i) {
        EXPECT_EQ(asGot[i].iMessage, asExpected[i].iMessage) << i;
        EXPECT_EQ(asGot[i].iValue, asExpected[i].iValue) << i;
        EXPECT_EQ(asGot[i].sText, Revertive(asExpected[i].iDest, Routes().aiIndex[asExpected[i].iDest])) << i;
    }
}

class RouteCommands : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CreateHostWindow();
        pRvx.reset(new FakeRvx());
        sConfigDir = UseTempConfigDir(kDevice);
    }
    static void TearDownTestSuite()
    {
        pRvx.reset();
        DestroyWindow(hWndMain);
    }
    // Twenty packages on each side, workstations 7 and 12 with access (and
    // the panel's 0), destination d routed from d % 5, nothing locked, the
    // files as the tables stand.
    void SetUp() override
    {
        LoadTestProfile(sConfigDir, "[Database]\nDatabaseSize_0=20\nDatabaseSize_1=20\n[Security]\nAccess=7,12\n");
        SetTxRx(kTxRx);
        UseRvx(pRvx->Window());
        for (int d = 1; d <= kPackageMax; ++d) SetRoute(d, d % 5);
        SetLocks(1, kPackageMax, 0);
        ASSERT_TRUE(SaveIndexFile());
        ASSERT_TRUE(SaveLockFile());
        pRvx->Take();
    }
};

}  // namespace

TEST_F(RouteCommands, RevertiveTextOfOneDestination)
{
    SetRoute(12, 3);
    long lBefore = Counters().lRevertivesSent;
    EXPECT_EQ(RunCommand(CommandRP, "RP 201 12 12 7"), 1);
    std::vector<Received> asGot = pRvx->Take();
    ASSERT_EQ(asGot.size(), 1u);
    EXPECT_EQ(asGot[0].iMessage, MSG_REVERTIVE);
    EXPECT_EQ(asGot[0].iValue, 7);
    EXPECT_EQ(asGot[0].sText, "RR 201 012 003");
    EXPECT_EQ(Counters().lRevertivesSent, lBefore + 1);
}

TEST_F(RouteCommands, RpSendsRangeCutToDatabaseAndRefusesBadCommands)
{
    EXPECT_EQ(RunCommand(CommandRP, "RP 201 18 30 7"), 1);
    ExpectRevertives({{2187, 7, 18}, {2187, 7, 19}, {2187, 7, 20}});

    long lBefore = Counters().lRevertivesSent;
    // Empty range, first out of range, other device, no access, missing field.
    for (const char* pText : {"RP 201 5 3 7", "RP 201 21 22 7", "RP 201 0 2 7", "RP 202 1 2 7",
                              "RP 201 1 2 5", "RP 201 1 2", "RP 201 1 2 1001"}) {
        EXPECT_EQ(RunCommand(CommandRP, pText), 1) << pText;
        EXPECT_TRUE(pRvx->Take().empty()) << pText;
    }
    EXPECT_EQ(Counters().lRevertivesSent, lBefore);
}

TEST_F(RouteCommands, RqSeriesMarksItsLastRevertive)
{
    EXPECT_EQ(RunCommand(CommandRQ, "RQ 201 1 3 12"), 1);
    ExpectRevertives({{2188, 12, 1}, {2188, 12, 2}, {2188, 32780, 3}});

    EXPECT_EQ(RunCommand(CommandRQ, "RQ 201 4 4 0"), 1);
    ExpectRevertives({{2188, 0x8000, 4}});

    EXPECT_EQ(RunCommand(CommandRQ, "RQ 201 19 4000 0"), 1);   // cut to 20: the mark moves with it
    ExpectRevertives({{2188, 0, 19}, {2188, 0x8000, 20}});

    EXPECT_EQ(RunCommand(CommandRQ, "RQ 201 5 3 12"), 1);      // empty: no revertive, so no mark
    ExpectRevertives({});
}

TEST_F(RouteCommands, RfChecksAccessBeforeReloadingTheList)
{
    std::string sProfile = sConfigDir + "\\DEV_201.INI";
    WritePrivateProfileStringA("Security", "Access", "3", sProfile.c_str());

    EXPECT_EQ(RunCommand(CommandRF, "RF 201 7"), 1);
    std::vector<Expected> asAll;
    for (int d = 1; d <= kDests; ++d) asAll.push_back({2187, 7, d});
    ExpectRevertives(asAll);
    EXPECT_EQ(Profile().abAccess[7], 0);   // reloaded: "3" no longer lets 7 in
    EXPECT_EQ(Profile().abAccess[3], 1);

    EXPECT_EQ(RunCommand(CommandRF, "RF 201 7"), 0);
    EXPECT_EQ(RunCommand(CommandRF, "RF 202 3"), 0);
    EXPECT_EQ(RunCommand(CommandRF, "RF 201"), 0);
    ExpectRevertives({});
}

TEST_F(RouteCommands, RlSetsLocksAndWritesTheLockFileWithoutRevertives)
{
    std::string sLock = sConfigDir + "\\DEV_201.LCK";
    EXPECT_EQ(RunCommand(CommandRL, "RL 201 2 4 1 7"), 1);
    EXPECT_EQ(RunCommand(CommandRL, "RL 201 6 6 256 7"), 1);
    EXPECT_EQ(RunCommand(CommandRL, "RL 201 8 8 2 0"), 1);
    EXPECT_EQ(Routes().abLock[1], 0);
    EXPECT_EQ(Routes().abLock[2], 1);
    EXPECT_EQ(Routes().abLock[4], 1);
    EXPECT_EQ(Routes().abLock[5], 0);
    EXPECT_EQ(Routes().abLock[6], 256);
    EXPECT_EQ(Routes().abLock[8], 2);
    EXPECT_EQ(Routes().bIndexDirty, 1);
    ExpectRevertives({});

    std::vector<unsigned char> acFile;
    ASSERT_TRUE(ReadFileBytes(sLock, &acFile));
    ASSERT_EQ(acFile.size(), kLockFileSize);
    const unsigned char acExpected[] = {0, 1, 1, 1, 0, 1, 0, 2, 0};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(acFile[i], acExpected[i]) << i;

    // First above last: nothing changes and nothing is marked changed, yet
    // the file is written again; so does a lock that is already set.
    ASSERT_TRUE(SaveIndexFile());
    ASSERT_TRUE(DeleteFileA(sLock.c_str()));
    EXPECT_EQ(RunCommand(CommandRL, "RL 201 10 5 1 7"), 1);
    EXPECT_EQ(RunCommand(CommandRL, "RL 201 2 4 1 7"), 1);
    EXPECT_EQ(Routes().bIndexDirty, 0);
    EXPECT_EQ(Routes().abLock[5], 0);
    EXPECT_EQ(Routes().abLock[10], 0);
    ASSERT_TRUE(ReadFileBytes(sLock, &acFile));
    EXPECT_EQ(acFile.size(), kLockFileSize);

    // Refused: last out of range, other device, no access, missing field,
    // a workstation field that is empty or not a number (not the panel's 0).
    ASSERT_TRUE(SaveIndexFile());
    for (const char* pText : {"RL 201 6 21 1 7", "RL 202 6 6 1 7", "RL 201 7 7 1 5", "RL 201 7 7 1", "RL 201 7 7 1 ",
                              "RL 201 7 7 1 abc", "RL 201 7 7 1 7x"}) {
        EXPECT_EQ(RunCommand(CommandRL, pText), 0) << pText;
    }
    EXPECT_EQ(Routes().abLock[7], 0);
    EXPECT_EQ(Routes().bIndexDirty, 0);

    EXPECT_EQ(RunCommand(CommandRL, "RL 201 2 4 0 7"), 1);
    EXPECT_EQ(Routes().abLock[3], 0);
}

TEST_F(RouteCommands, RefreshRequestByLastChangedSourceOrAll)
{
    for (int d = 1; d <= kPackageMax; ++d) SetRoute(d, 1);
    SetRoute(3, 7);
    SetRoute(9, 7);
    SetRoute(20, 7);    // the last destination counts
    SetRoute(21, 7);    // beyond the database: not sent
    NoteNameChange(7, 0);
    OnRevertiveRequest(kDevice, 2);
    ExpectRevertives({{2187, 0, 3}, {2187, 0, 9}, {2187, 0, 20}});

    NoteNameChange(7, 1);   // a destination name: no source package
    OnRevertiveRequest(kDevice, 2);
    ExpectRevertives({});

    NoteNameChange(7, 2);
    OnRevertiveRequest(kDevice + 1, 0);
    OnRevertiveRequest(kDevice + 1, 2);
    ExpectRevertives({});

    OnRevertiveRequest(kDevice, 0);
    std::vector<Expected> asAll;
    for (int d = 1; d <= kDests; ++d) asAll.push_back({2187, 0, d});
    ExpectRevertives(asAll);
    OnRevertiveRequest(kDevice, 1);
    ExpectRevertives(asAll);
}

TEST_F(RouteCommands, NothingIsSentOrCountedWhileNotTransmitting)
{
    for (int iState : {0, 1}) {
        SetTxRx(iState);
        long lBefore = Counters().lRevertivesSent;
        EXPECT_EQ(RunCommand(CommandRP, "RP 201 1 3 7"), 1);
        EXPECT_EQ(RunCommand(CommandRQ, "RQ 201 1 3 7"), 1);
        EXPECT_EQ(RunCommand(CommandRF, "RF 201 0"), 1);
        NoteNameChange(1, 0);
        OnRevertiveRequest(kDevice, 2);
        OnRevertiveRequest(kDevice, 0);
        SendRevertives(1, 1, 1, 0);
        EXPECT_TRUE(pRvx->Take().empty());
        EXPECT_EQ(Counters().lRevertivesSent, lBefore);
    }
    // Locks still change while only receiving.
    EXPECT_EQ(RunCommand(CommandRL, "RL 201 1 1 1 0"), 1);
    EXPECT_EQ(Routes().abLock[1], 1);
}
