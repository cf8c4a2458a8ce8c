// The stand-in RVX and InfoDriver as processes: their answers, their record
// lines, their scripts and their handling of bad arguments and files. This
// test program plays the driver.
#include "ipc/transport.h"

#include "tests/support/support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

const UINT kAnswerRouterCommand = WM_APP + 1;

HWND hWndTest = nullptr;
HWND hWndRvxAnswer = nullptr;
HWND hWndInfoAnswer = nullptr;
HWND hWndPeer = nullptr;
std::vector<std::string> asSeen;   // what reached this window, one line each

void Seen(const std::string& s)
{
    asSeen.push_back(s);
}

LRESULT CALLBACK TestWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_COPYDATA:
        HandleCopyData(hWnd, wParam, lParam);
        return 1;
    case MSG_RVX_WINDOW:
        hWndRvxAnswer = reinterpret_cast<HWND>(wParam);
        return 0;
    case MSG_INFO_CONNECT_ANSWER:
        hWndInfoAnswer = reinterpret_cast<HWND>(wParam);
        return 0;
    case MSG_DRIVER_COMMAND:
        Seen(std::to_string(wParam) + " " + reinterpret_cast<const char*>(lParam));
        PostMessageA(hWnd, kAnswerRouterCommand, 0, 0);
        return 1;
    case kAnswerRouterCommand:
        SendCopyText(hWnd, hWndPeer, MSG_REVERTIVE, 0, "RR 201 034 012");
        return 0;
    case MSG_REVERTIVE_REFRESH:
    case MSG_CLOSE_REQUEST:
    case MSG_INFO_TXRX_QUERY:
        Seen(std::to_string(uMsg) + " " + std::to_string(wParam) + " " + std::to_string(lParam));
        return 9;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

class Peers : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = TestWndProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "PeersProcessTest";
        RegisterClassA(&wc);
        hWndTest = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    }
    static void TearDownTestSuite()
    {
        DestroyWindow(hWndTest);
    }
    void SetUp() override
    {
        asSeen.clear();
        sLog = TempFile("peer", "log");
        sOut = TempFile("peer", "out");
    }
    void TearDown() override
    {
        EndProcess(&peer);
        for (const std::string& s : asFiles) DeleteFileA(s.c_str());
        DeleteFileA(sLog.c_str());
        DeleteFileA(sOut.c_str());
    }
    std::string File(const std::string& sText)
    {
        std::string s = TempFile("input", "txt");
        WriteTextFile(s, sText);
        asFiles.push_back(s);
        return s;
    }
    HWND Start(const char* pExe, const char* pClass, const std::string& sArgs)
    {
        peer = StartProgram(pExe, "--quiet --log \"" + sLog + "\" " + sArgs);
        hWndPeer = WaitForWindow(pClass, nullptr, peer.dwPid, 20000);
        return hWndPeer;
    }
    // Runs a program to its end; returns its exit code and its output.
    DWORD RunToEnd(const char* pExe, const std::string& sArgs, std::string* psOut)
    {
        StartedProcess p = StartProgram(pExe, sArgs, {}, sOut);
        DWORD dwExit = 12345;
        EXPECT_TRUE(WaitForExit(p.hProcess, 20000, &dwExit));
        EndProcess(&p);
        psOut->clear();
        for (const std::string& s : ReadLines(sOut)) *psOut += s + "\n";
        return dwExit;
    }
    bool Logged(const std::string& sLine, DWORD dwMs = 5000)
    {
        return WaitForLine(sLog, {sLine}, dwMs) >= 0;
    }
    StartedProcess peer = {nullptr, 0};
    std::string sLog;
    std::string sOut;
    std::vector<std::string> asFiles;
};

}  // namespace

TEST_F(Peers, RvxAnswersAttachInterfaceRegistrationAndReports)
{
    HWND hRvx = Start("rvxsim.exe", "RvxSim", "--interface 5 --register-answer 2");
    ASSERT_NE(hRvx, nullptr);
    SendMessageA(hRvx, MSG_ATTACH, reinterpret_cast<WPARAM>(hWndTest), 0);
    EXPECT_EQ(hWndRvxAnswer, hRvx);
    EXPECT_EQ(SendMessageA(hRvx, MSG_INTERFACE_NUMBER, 0, 0), 5);
    EXPECT_EQ(SendMessageA(hRvx, MSG_REGISTER, reinterpret_cast<WPARAM>(hWndTest), 201 | 0x8000), 2);
    EXPECT_EQ(SendMessageA(hRvx, MSG_UNREGISTER, reinterpret_cast<WPARAM>(hWndTest), 0), 0);
    EXPECT_EQ(SendMessageA(hRvx, MSG_TXRX_REPORT, 3, 201), 0);

    std::string sTest = std::to_string(reinterpret_cast<uintptr_t>(hWndTest));
    std::string sRvx = std::to_string(reinterpret_cast<uintptr_t>(hRvx));
    EXPECT_TRUE(Logged("RVX <- 2031 attach wparam=" + sTest + " lparam=0 result=0"));
    EXPECT_TRUE(Logged("RVX -> 2032 RVX window wparam=" + sRvx + " lparam=0 result=0"));
    EXPECT_TRUE(Logged("RVX <- 2184 register wparam=" + sTest + " lparam=32969 result=2"));
    EXPECT_TRUE(Logged("RVX <- 2186 unregister wparam=" + sTest + " lparam=0 result=0"));
    EXPECT_TRUE(Logged("RVX <- 2215 TX/RX report wparam=3 lparam=201 result=0"));
    // The attach line comes before the answer it caused.
    EXPECT_LT(WaitForLine(sLog, {"<- 2031"}, 0), WaitForLine(sLog, {"-> 2032"}, 0));
}

TEST_F(Peers, RvxRecordsEveryTextRequestAsItCrossedTheWire)
{
    HWND hRvx = Start("rvxsim.exe", "RvxSim", "");
    ASSERT_NE(hRvx, nullptr);
    const int aiText[] = {MSG_NETWORK_ANSWER, MSG_ROUTE_COMMAND, MSG_SWITCH_COMMAND, MSG_INFO_WRITE_COMMAND,
                          MSG_REVERTIVE, MSG_REVERTIVE_SERIES};
    for (int iMessage : aiText) {
        char acReply[kTextBlockSize] = {};
        SendCopyText(hWndTest, hRvx, iMessage, 7, "IW 5 'a \"b\"\x01' 3 4", acReply, sizeof acReply);
        EXPECT_STREQ(acReply, "IW 5 'a \"b\"\x01' 3 4");   // answered with its own text
    }
    SendCopyText(hWndTest, hRvx, MSG_REVERTIVE_SERIES, 0x8000 | 3, "RR 201 001 000");
    EXPECT_TRUE(Logged("RVX <- 2144 InfoDriver write command value=7 text=\"IW 5 'a \\\"b\\\"\\x01' 3 4\" result=0"));
    EXPECT_TRUE(Logged("RVX <- 2188 revertive of a query series value=32771 text=\"RR 201 001 000\" result=0"));
    EXPECT_EQ(CountLines(sLog, {"RVX <- ", " value=7 text="}), 6);
}

TEST_F(Peers, RvxScriptDrivesTheDriverAndWaitsForItsAnswers)
{
    HWND hRvx = Start("rvxsim.exe", "RvxSim",
                      "-e \"wait-attach 20\" -e \"send 2189 \\\"RC 201 12 34 ',1,2' 7\\\" 3\" "
                      "-e \"expect 2187 \\\"RR 201 034\\\" 10\" -e \"mark got-it\" "
                      "-e \"plain 2177 201 2\" -e \"number 2732 42 3\" -e \"post 2175 self 0\" "
                      "-e \"expect-none 2188 300ms\" -e \"set register-answer 3\" -e \"quit 7\"");
    ASSERT_NE(hRvx, nullptr);
    SendMessageA(hRvx, MSG_ATTACH, reinterpret_cast<WPARAM>(hWndTest), 0);
    DWORD dwExit = 0;
    ASSERT_TRUE(WaitForExit(peer.hProcess, 20000, &dwExit));
    PumpFor(100);   // the posted close request
    EXPECT_EQ(dwExit, 7u);

    std::string sRvx = std::to_string(reinterpret_cast<uintptr_t>(hRvx));
    ASSERT_EQ(asSeen.size(), 4u);
    EXPECT_EQ(asSeen[0], "3 RC 201 12 34 ',1,2' 7");
    EXPECT_EQ(asSeen[1], "2177 201 2");
    EXPECT_EQ(asSeen[2], "2732 3 42");
    EXPECT_EQ(asSeen[3], "2175 " + sRvx + " 0");

    EXPECT_TRUE(Logged("RVX -> 2189 driver command value=3 text=\"RC 201 12 34 ',1,2' 7\" result=1", 0));
    int iMark = WaitForLine(sLog, {"RVX == got-it"}, 0);
    EXPECT_GT(iMark, WaitForLine(sLog, {"RVX <- 2187 revertive value=0 text=\"RR 201 034 012\""}, 0));
    EXPECT_TRUE(Logged("RVX -> 2177 revertive refresh wparam=201 lparam=2 result=9", 0));
    EXPECT_TRUE(Logged("RVX -> 2732 InfoDriver TX/RX query value=3 number=42 result=9", 0));
    EXPECT_TRUE(Logged("RVX ** exit code=7", 0));
}

TEST_F(Peers, RvxScriptThatWaitsInVainEndsWithCode3)
{
    HWND hRvx = Start("rvxsim.exe", "RvxSim", "-e \"wait-attach 20\" -e \"expect 2187 \\\"RR 9\\\" 300ms\" "
                                              "-e \"mark never\"");
    ASSERT_NE(hRvx, nullptr);
    SendMessageA(hRvx, MSG_ATTACH, reinterpret_cast<WPARAM>(hWndTest), 0);
    SendCopyText(hWndTest, hRvx, MSG_REVERTIVE, 0, "RR 201 001 002");   // not the one it waits for
    DWORD dwExit = 0;
    ASSERT_TRUE(WaitForExit(peer.hProcess, 20000, &dwExit));
    EXPECT_EQ(dwExit, 3u);
    EXPECT_TRUE(Logged("RVX !! script line 2: expect 2187 \"RR 9\" 300ms: not seen in time", 0));
    EXPECT_EQ(CountLines(sLog, {"never"}), 0);

    // A line that was already recorded is found; one seen where none may be
    // fails the script.
    EndProcess(&peer);
    hRvx = Start("rvxsim.exe", "RvxSim", "-e \"wait-attach 20\" -e \"sleep 300\" -e \"expect 2187 1s\" "
                                         "-e \"expect-none 2187 \\\"RR\\\" 200\"");
    ASSERT_NE(hRvx, nullptr);
    SendMessageA(hRvx, MSG_ATTACH, reinterpret_cast<WPARAM>(hWndTest), 0);
    SendCopyText(hWndTest, hRvx, MSG_REVERTIVE, 0, "RR 201 001 002");
    SendCopyText(hWndTest, hRvx, MSG_REVERTIVE, 0, "RR 201 001 003");
    ASSERT_TRUE(WaitForExit(peer.hProcess, 20000, &dwExit));
    EXPECT_EQ(dwExit, 3u);
    EXPECT_TRUE(Logged("RVX !! script line 4: expect-none 2187 \"RR\" 200: seen: RVX <- 2187 revertive value=0 "
                       "text=\"RR 201 001 003\" result=0", 0));
}

TEST_F(Peers, BadArgumentsAndFilesAreReportedWithExitCodes)
{
    std::string sOutput;
    EXPECT_EQ(RunToEnd("rvxsim.exe", "--bogus", &sOutput), 1u);
    EXPECT_NE(sOutput.find("rvxsim: unknown argument \"--bogus\""), std::string::npos);
    EXPECT_EQ(RunToEnd("rvxsim.exe", "--interface x", &sOutput), 1u);
    EXPECT_EQ(RunToEnd("rvxsim.exe", "--help", &sOutput), 0u);
    EXPECT_NE(sOutput.find("usage: rvxsim"), std::string::npos);

    std::string sScript = File("wait-attach 1\nsned 2189 \"RC\"\n");
    EXPECT_EQ(RunToEnd("rvxsim.exe", "--script \"" + sScript + "\"", &sOutput), 2u);
    EXPECT_NE(sOutput.find(sScript + ":2: unknown step"), std::string::npos);
    std::string sNames = File("src 1 Camera\nboth 2 Mic\n");
    EXPECT_EQ(RunToEnd("rvxsim.exe", "--names \"" + sNames + "\"", &sOutput), 2u);
    EXPECT_NE(sOutput.find(sNames + ":2: expected src or dst first"), std::string::npos);
    EXPECT_EQ(RunToEnd("rvxsim.exe", "--names Z:\\no\\such\\file", &sOutput), 2u);
    EXPECT_NE(sOutput.find("cannot read the names file"), std::string::npos);

    EXPECT_EQ(RunToEnd("infosim.exe", "", &sOutput), 1u);
    EXPECT_NE(sOutput.find("the device number is missing"), std::string::npos);
    EXPECT_EQ(RunToEnd("infosim.exe", "0", &sOutput), 1u);
    std::string sSlots = File("1 one\n\n# fine so far\n5000 too far\n");
    EXPECT_EQ(RunToEnd("infosim.exe", "201 --slots \"" + sSlots + "\"", &sOutput), 2u);
    EXPECT_NE(sOutput.find(sSlots + ":4: slot number outside 1..4096"), std::string::npos);
    sSlots = File("one 1\n");
    EXPECT_EQ(RunToEnd("infosim.exe", "201 --slots \"" + sSlots + "\"", &sOutput), 2u);
    EXPECT_NE(sOutput.find(":1: expected a slot number first"), std::string::npos);
    // Every bad line is named, the first 20 of them, then how many more.
    std::string sMany = "1 good\n";
    for (int i = 0; i < 25; ++i) sMany += "9999 bad\n";
    sSlots = File(sMany);
    EXPECT_EQ(RunToEnd("infosim.exe", "201 --slots \"" + sSlots + "\"", &sOutput), 2u);
    EXPECT_NE(sOutput.find(sSlots + ":2: slot number outside 1..4096"), std::string::npos);
    EXPECT_NE(sOutput.find(sSlots + ":21: slot number outside 1..4096"), std::string::npos);
    EXPECT_EQ(sOutput.find(sSlots + ":22:"), std::string::npos) << sOutput;
    EXPECT_NE(sOutput.find("infosim: and 5 more"), std::string::npos) << sOutput;
    EXPECT_NE(sOutput.find("infosim: 25 errors, not started"), std::string::npos) << sOutput;
}

TEST_F(Peers, InfoDriverSlotsStateAndLink)
{
    // Saved by a Windows editor: a byte-order mark and CRLF line ends.
    std::string sSlots = File("\xEF\xBB\xBF# levels\r\n3 1,2,3\r\n4 'quoted text'  \r\n");
    HWND hInfo = Start("infosim.exe", "InfoSim", "77 --slots \"" + sSlots + "\"");
    ASSERT_NE(hInfo, nullptr);
    EXPECT_TRUE(Logged("INFO77 ** infosim window=" + std::to_string(reinterpret_cast<uintptr_t>(hInfo)) +
                       " pid=" + std::to_string(peer.dwPid) + " device=77 state=1 slots=2"));
    char acReply[kTextBlockSize] = {};
    SendCopyText(hWndTest, hInfo, MSG_INFO_SLOT_READ, 4, "", acReply, sizeof acReply);
    EXPECT_STREQ(acReply, "'quoted text'  ");
    SendCopyText(hWndTest, hInfo, MSG_LEVELMAP_DEFAULT, 5, "1,2,3,4", acReply, sizeof acReply);
    EXPECT_STREQ(acReply, "1,2,3,4");   // the default comes back unchanged
    SendCopyText(hWndTest, hInfo, MSG_INFO_SLOT_READ, 5, "", acReply, sizeof acReply);
    EXPECT_STREQ(acReply, "1,2,3,4");
    SendCopyText(hWndTest, hInfo, MSG_INFO_SLOT_READ, 0, "junk", acReply, sizeof acReply);
    EXPECT_STREQ(acReply, "");

    EXPECT_EQ(SendMessageA(hInfo, MSG_INFO_TXRX_QUERY, 0, 0), 1);
    SendMessageA(hInfo, MSG_INFO_TXRX_SET, 3, 0);
    EXPECT_EQ(SendMessageA(hInfo, MSG_INFO_TXRX_QUERY, 0, 0), 2);
    SendMessageA(hInfo, MSG_INFO_TXRX_SET, 7, 0);   // neither 3 nor 1: no change
    EXPECT_EQ(SendMessageA(hInfo, MSG_INFO_TXRX_QUERY, 0, 0), 2);
    SendMessageA(hInfo, MSG_INFO_TXRX_SET, 1, 0);
    EXPECT_EQ(SendMessageA(hInfo, MSG_INFO_TXRX_QUERY, 0, 0), 1);
    EXPECT_EQ(SendMessageA(hInfo, MSG_INFO_NOTICE, 0, 0), 1);

    hWndInfoAnswer = nullptr;
    SendMessageA(hInfo, MSG_INFO_CONNECT, reinterpret_cast<WPARAM>(hWndTest), 77);   // without the flag: too
    EXPECT_EQ(hWndInfoAnswer, hInfo);
    SendMessageA(hInfo, MSG_INFO_DISCONNECT, reinterpret_cast<WPARAM>(hInfo), 77);
    EXPECT_TRUE(Logged("INFO77 <- 2725 InfoDriver disconnect wparam=" +
                       std::to_string(reinterpret_cast<uintptr_t>(hInfo)) + " lparam=77 result=0"));
    EXPECT_TRUE(Logged("INFO77 <- 2731 level map default write value=5 text=\"1,2,3,4\" result=0"));
    EXPECT_TRUE(Logged("INFO77 <- 2733 InfoDriver TX/RX set wparam=3 lparam=0 result=0"));
}

TEST_F(Peers, InfoDriverStartsTxRxWhenAsked)
{
    HWND hInfo = Start("infosim.exe", "InfoSim", "78 --txrx");
    ASSERT_NE(hInfo, nullptr);
    EXPECT_EQ(SendMessageA(hInfo, MSG_INFO_TXRX_QUERY, 0, 0), 2);
}

TEST_F(Peers, HiddenNumbersStayOffTheScreenButNotOutOfTheLog)
{
    peer = StartProgram("infosim.exe", "79 --hide 2732,2728 --log \"" + sLog + "\"", {}, sOut);
    HWND hInfo = WaitForWindow("InfoSim", nullptr, peer.dwPid, 20000);
    ASSERT_NE(hInfo, nullptr);
    SendMessageA(hInfo, MSG_INFO_TXRX_QUERY, 0, 0);
    SendMessageA(hInfo, MSG_INFO_TXRX_SET, 3, 0);
    ASSERT_TRUE(Logged("INFO79 <- 2733"));
    EndProcess(&peer);
    EXPECT_EQ(CountLines(sOut, {"INFO79 <- 2733 InfoDriver TX/RX set wparam=3"}), 1);
    EXPECT_EQ(CountLines(sOut, {"2732"}), 0);
    EXPECT_EQ(CountLines(sLog, {"INFO79 <- 2732 InfoDriver TX/RX query wparam=0 lparam=0 result=1"}), 1);
}

TEST_F(Peers, RvxRefusesADeviceNumberThatAnotherLiveDriverHolds)
{
    HWND hRvx = Start("rvxsim.exe", "RvxSim", "");
    ASSERT_NE(hRvx, nullptr);
    HWND hOther = CreateWindowA("PeersProcessTest", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND hThird = CreateWindowA("PeersProcessTest", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    WPARAM wTest = reinterpret_cast<WPARAM>(hWndTest);
    WPARAM wOther = reinterpret_cast<WPARAM>(hOther);
    EXPECT_EQ(SendMessageA(hRvx, MSG_REGISTER, wTest, 201 | 0x8000), 0);
    EXPECT_EQ(SendMessageA(hRvx, MSG_REGISTER, wTest, 201 | 0x8000), 0);    // the holder again
    EXPECT_EQ(SendMessageA(hRvx, MSG_REGISTER, wOther, 201 | 0x8000), 2);
    EXPECT_EQ(SendMessageA(hRvx, MSG_REGISTER, wOther, 202 | 0x8000), 0);   // another number
    SendMessageA(hRvx, MSG_UNREGISTER, wTest, 0);
    EXPECT_EQ(SendMessageA(hRvx, MSG_REGISTER, wOther, 201 | 0x8000), 0);
    DestroyWindow(hOther);   // a driver that has gone holds nothing
    EXPECT_EQ(SendMessageA(hRvx, MSG_REGISTER, reinterpret_cast<WPARAM>(hThird), 202 | 0x8000), 0);
    DestroyWindow(hThird);
}

TEST_F(Peers, RepeatSendsABurstInOrder)
{
    HWND hRvx = Start("rvxsim.exe", "RvxSim",
                      "-e \"wait-attach 20\" -e \"repeat 300\" -e \"send 2189 \\\"RC 201 {n} {n} '' 0\\\"\" "
                      "-e end -e \"elapsed \\\"burst\\\"\" -e \"quit\"");
    ASSERT_NE(hRvx, nullptr);
    SendMessageA(hRvx, MSG_ATTACH, reinterpret_cast<WPARAM>(hWndTest), 0);
    ASSERT_TRUE(WaitForExit(peer.hProcess, 60000));
    PumpFor(50);
    ASSERT_EQ(asSeen.size(), 300u);
    EXPECT_EQ(asSeen[0], "0 RC 201 1 1 '' 0");
    EXPECT_EQ(asSeen[299], "0 RC 201 300 300 '' 0");
    EXPECT_TRUE(Logged("RVX == burst elapsed=", 0));

    std::string sOutput;
    EXPECT_EQ(RunToEnd("rvxsim.exe", "-e \"repeat 2\" -e \"mark x\"", &sOutput), 2u);
    EXPECT_NE(sOutput.find("rvxsim: script: repeat without end"), std::string::npos);
    EXPECT_EQ(RunToEnd("rvxsim.exe", "-e \"repeat 2\" -e \"repeat 3\"", &sOutput), 1u);
    EXPECT_EQ(RunToEnd("rvxsim.exe", "-e \"repeat 2\" -e \"sned 1\" -e end", &sOutput), 1u);
    EXPECT_NE(sOutput.find("unknown step (line 2, in the repeat)"), std::string::npos);
}

TEST_F(Peers, AnswerDelayHoldsTheRequester)
{
    HWND hInfo = Start("infosim.exe", "InfoSim", "80 --answer-delay 300");
    ASSERT_NE(hInfo, nullptr);
    DWORD dwStart = GetTickCount();
    char acReply[kTextBlockSize] = {};
    SendCopyText(hWndTest, hInfo, MSG_INFO_SLOT_WRITE, 1, "slow", acReply, sizeof acReply);
    EXPECT_GE(GetTickCount() - dwStart, 250u);
    EXPECT_STREQ(acReply, "slow");
}

TEST_F(Peers, ABroadcasterThatNeverTakesTheAnswerDoesNotHoldRvx)
{
    HWND hRvx = Start("rvxsim.exe", "RvxSim", "");
    ASSERT_NE(hRvx, nullptr);
    HANDLE hRelease = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HWND hStuck = nullptr;
    HANDLE hMade = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread stuck([&] {
        hStuck = CreateWindowA("PeersProcessTest", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        SetEvent(hMade);
        WaitForSingleObject(hRelease, 60000);   // takes no messages meanwhile
        DestroyWindow(hStuck);
    });
    WaitForSingleObject(hMade, 10000);
    PostMessageA(hRvx, MSG_ATTACH, reinterpret_cast<WPARAM>(hStuck), 0);
    EXPECT_TRUE(Logged("RVX -> 2032 RVX window wparam=" + std::to_string(reinterpret_cast<uintptr_t>(hRvx)) +
                       " lparam=0 result=-1", 30000));
    EXPECT_EQ(SendMessageA(hRvx, MSG_INTERFACE_NUMBER, 0, 0), 1);
    SetEvent(hRelease);
    stuck.join();
    CloseHandle(hRelease);
    CloseHandle(hMade);
}
