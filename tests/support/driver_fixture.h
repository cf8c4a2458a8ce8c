// A gtest fixture for end-to-end tests of zur.exe 201 with the stand-in
// peers: a site, the driver started on it, and a peer window of this test
// that sends router commands and control messages as RVX does.
#pragma once
#include "tests/support/site.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/messages.h"
#include "ipc/transport.h"

// The text requests that RVX receives from the driver.
inline const std::vector<int> kRvxTexts = {MSG_ROUTE_COMMAND, MSG_SWITCH_COMMAND, MSG_INFO_WRITE_COMMAND,
                                           MSG_REVERTIVE, MSG_REVERTIVE_SERIES};

inline std::string Revertive(int iDest, int iSource, int iValue = 0)
{
    char ac[64];
    std::snprintf(ac, sizeof ac, "%d %d RR 201 %03d %03d", MSG_REVERTIVE, iValue, iDest, iSource);
    return ac;
}

inline std::string Joined(const std::vector<std::string>& as)
{
    std::string s;
    for (const std::string& x : as) s += "  " + x + "\n";
    return s;
}

class DriverFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(CreateSite(&site)); }
    void TearDown() override
    {
        StopDebugCapture();
        ClearDebugLines();
        if (hPeer != nullptr) DestroyWindow(hPeer);
        RemoveSite(&site);
    }
    // Starts the peers (slot files as given), then the driver, and waits
    // for the end of its start-up.
    void StartAll(const std::string& aSlots0, const std::string& aSlots1, const std::string& aSlots2,
                  const std::vector<std::string>& asEnv = {})
    {
        ASSERT_TRUE(StartSiteRvx(&site, sRvxMore));
        ASSERT_TRUE(StartSiteInfoDriver(&site, 0, aSlots0, asInfoMore[0]));
        ASSERT_TRUE(StartSiteInfoDriver(&site, 1, aSlots1, asInfoMore[1]));
        ASSERT_TRUE(StartSiteInfoDriver(&site, 2, aSlots2, asInfoMore[2]));
        ASSERT_TRUE(StartDebugCapture());
        ASSERT_TRUE(StartSiteDriver(&site, "201", asEnv));
        hDriver = SiteDriverWindow(&site);
        ASSERT_NE(hDriver, nullptr);
        ASSERT_TRUE(SiteStartedUp(&site));
        hPeer = CreateTextPeerWindow();
        ASSERT_NE(hPeer, nullptr);
    }
    // Starts the driver again on the same site and peers, after it ended.
    void RestartDriver()
    {
        int iRvxFrom = LineCount(site.sRvxLog);
        int iInfoFrom = LineCount(site.asInfoLog[2]);
        EndProcess(&site.driver);
        ASSERT_TRUE(StartSiteDriver(&site));
        hDriver = SiteDriverWindow(&site);
        ASSERT_NE(hDriver, nullptr);
        ASSERT_TRUE(SiteRegistered(&site, iRvxFrom));
        // The InfoDrivers kept their TX/RX state: the driver only asks.
        ASSERT_GE(WaitForLine(site.asInfoLog[2], {"INFO303 <- 2732"}, 60000, iInfoFrom), 0);
    }
    // A router command as RVX delivers it (message 2189).
    void Command(const std::string& sText)
    {
        EXPECT_EQ(SendCopyText(hPeer, hDriver, MSG_DRIVER_COMMAND, 0, sText.c_str()), 1) << sText;
    }
    // Sends a command and waits for the revertive line sPart; returns the
    // texts RVX received from before the command up to that line.
    std::vector<std::string> CommandUntil(const std::string& sText, const std::string& sPart)
    {
        int iFrom = LineCount(site.sRvxLog);
        Command(sText);
        int iLine = WaitForLine(site.sRvxLog, {sPart}, 10000, iFrom);
        EXPECT_GE(iLine, 0) << sText << ": no " << sPart;
        return ReceivedTexts(site.sRvxLog, iFrom, kRvxTexts);
    }
    // "RP 201 1 1 N" with a fresh N: every command sent before it has been
    // processed once its revertive is back.
    void Fence()
    {
        ++iFence;
        Command("RP 201 1 1 " + std::to_string(iFence));
        EXPECT_GE(WaitForLine(site.sRvxLog, {"value=" + std::to_string(iFence) + " text=\"RR 201 001"}, 10000), 0);
    }
    DWORD_PTR Plain(UINT uMessage, WPARAM wParam, LPARAM lParam)
    {
        DWORD_PTR dwResult = 0;
        EXPECT_NE(SendMessageTimeoutA(hDriver, uMessage, wParam, lParam, SMTO_NORMAL, 20000, &dwResult), 0);
        return dwResult;
    }

    DriverSite site;
    std::string asInfoMore[3];   // further options of each InfoDriver, set before StartAll
    std::string sRvxMore;        // further options of RVX, set before StartAll
    HWND hDriver = nullptr;
    HWND hPeer = nullptr;
    int iFence = 900;
};

