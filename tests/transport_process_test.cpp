// The request/reply transport between real processes: this test program
// plays the driver's side against the stand-in InfoDriver and RVX.
#include "ipc/transport.h"

#include "tests/support/support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

HWND hWndTest = nullptr;
HWND hWndRvxAnswer = nullptr;
HWND hWndInfoAnswer = nullptr;
HWND hWndInner = nullptr;   // the InfoDriver asked from inside a handler

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
        // Answers a router command only after sending a revertive back to
        // the requester, who is still waiting for this answer.
        SendCopyText(hWnd, hWndRvxAnswer, MSG_REVERTIVE, 0, "RR 201 034 012");
        return 1;
    case MSG_NETWORK_STATUS: {
        // Answers after a request of its own to a third process.
        char acSlot[kTextBlockSize] = {};
        SendCopyText(hWnd, hWndInner, MSG_INFO_SLOT_READ, 1, "", acSlot, sizeof acSlot);
        std::string s = std::string("inner: ") + acSlot;
        std::strncpy(reinterpret_cast<char*>(lParam), s.c_str(), kTextBlockSize - 1);
        return 77;
    }
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

class TransportProcess : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = TestWndProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "TransportProcessTest";
        RegisterClassA(&wc);
        hWndTest = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
        sSlots = TempFile("slots", "txt");
        WriteTextFile(sSlots, "# two slots\n1 hello world\n7 1,2,3\n");
    }
    static void TearDownTestSuite()
    {
        DestroyWindow(hWndTest);
        DeleteFileA(sSlots.c_str());
    }
    void TearDown() override
    {
        EndProcess(&info);
        EndProcess(&rvx);
        for (const std::string& s : {sInfoLog, sRvxLog}) {
            if (!s.empty()) DeleteFileA(s.c_str());
        }
    }
    HWND StartInfo(int iDevice, const std::string& sMore = "")
    {
        sInfoLog = TempFile("info", "log");
        info = StartProgram("infosim.exe", std::to_string(iDevice) + " --quiet --slots \"" + sSlots + "\" --log \"" +
                                               sInfoLog + "\" " + sMore);
        return WaitForWindow("InfoSim", ("InfoDriver " + std::to_string(iDevice)).c_str(), info.dwPid, 20000);
    }
    HWND StartRvx(const std::string& sMore)
    {
        sRvxLog = TempFile("rvx", "log");
        rvx = StartProgram("rvxsim.exe", "--quiet --log \"" + sRvxLog + "\" " + sMore);
        return WaitForWindow("RvxSim", nullptr, rvx.dwPid, 20000);
    }
    static std::string sSlots;
    StartedProcess info = {nullptr, 0};
    StartedProcess rvx = {nullptr, 0};
    std::string sInfoLog;
    std::string sRvxLog;
};
std::string TransportProcess::sSlots;

}  // namespace

TEST_F(TransportProcess, TextRequestsReadAndWriteSlots)
{
    HWND hInfo = StartInfo(901);
    ASSERT_NE(hInfo, nullptr);
    char acReply[kTextBlockSize] = {};
    SendCopyText(hWndTest, hInfo, MSG_INFO_SLOT_READ, 1, "", acReply, sizeof acReply);
    EXPECT_STREQ(acReply, "hello world");

    SendCopyText(hWndTest, hInfo, MSG_INFO_SLOT_WRITE, 9, "new 'text'", acReply, sizeof acReply);
    EXPECT_STREQ(acReply, "new 'text'");   // a write is answered with its own text
    SendCopyText(hWndTest, hInfo, MSG_INFO_SLOT_READ, 9, "", acReply, sizeof acReply);
    EXPECT_STREQ(acReply, "new 'text'");
    EXPECT_GE(WaitForLine(sInfoLog, {"INFO901 <- 2726 slot write value=9 text=\"new 'text'\" result=0"}, 5000), 0);
    EXPECT_GE(WaitForLine(sInfoLog, {"INFO901 <- 2727 slot read value=9 text=\"\" reply=\"new 'text'\" result=0"},
                          5000), 0);
}

TEST_F(TransportProcess, ValueIsCutTo16BitsAndNeverMixesWithTheNumber)
{
    HWND hInfo = StartInfo(902);
    ASSERT_NE(hInfo, nullptr);
    // 70000 arrives as 4464, a slot beyond 4096: the write stores nothing.
    SendCopyText(hWndTest, hInfo, MSG_INFO_SLOT_WRITE, 70000, "cut");
    EXPECT_GE(WaitForLine(sInfoLog, {"<- 2726 slot write value=4464 text=\"cut\""}, 5000), 0);
    // 65541 arrives as 5.
    SendCopyText(hWndTest, hInfo, MSG_INFO_SLOT_WRITE, 65541, "five");
    char acReply[kTextBlockSize] = {};
    SendCopyText(hWndTest, hInfo, MSG_INFO_SLOT_READ, 5, "", acReply, sizeof acReply);
    EXPECT_STREQ(acReply, "five");
    SendCopyText(hWndTest, hInfo, MSG_INFO_SLOT_READ, 4464, "", acReply, sizeof acReply);
    EXPECT_STREQ(acReply, "");
}

TEST_F(TransportProcess, NumericRequestsCarryTheNumberAndTheResult)
{
    HWND hInfo = StartInfo(903);
    ASSERT_NE(hInfo, nullptr);
    EXPECT_EQ(SendCopyNumber(hWndTest, hInfo, MSG_INFO_TXRX_QUERY, 0, 0), 1);   // starts RX only
    SendMessageA(hInfo, MSG_INFO_TXRX_SET, 3, 0);
    EXPECT_EQ(SendCopyNumber(hWndTest, hInfo, MSG_INFO_TXRX_QUERY, 5, 0x2a), 2);
    EXPECT_GE(WaitForLine(sInfoLog, {"<- 2732 InfoDriver TX/RX query value=5 number=42 result=2"}, 5000), 0);

    HWND hRvx = StartRvx("--interface 7");
    ASSERT_NE(hRvx, nullptr);
    EXPECT_EQ(SendCopyNumber(hWndTest, hRvx, MSG_INTERFACE_NUMBER, 0, 0), 7);
    // A result outside 16 bits arrives cut.
    EndProcess(&rvx);
    hRvx = StartRvx("--interface 65543");
    ASSERT_NE(hRvx, nullptr);
    EXPECT_EQ(SendCopyNumber(hWndTest, hRvx, MSG_INTERFACE_NUMBER, 0, 0), 7);
}

TEST_F(TransportProcess, NameCopyBackStopsAt64BytesWithoutTerminator)
{
    std::string sNames = TempFile("names", "txt");
    std::string sLong(100, 'N');
    ASSERT_TRUE(WriteTextFile(sNames, "dst 3 " + sLong + "\nsrc 2 Camera 2\n"));
    HWND hRvx = StartRvx("--names \"" + sNames + "\"");
    ASSERT_NE(hRvx, nullptr);

    char acBlock[kTextBlockSize];
    std::memset(acBlock, '#', sizeof acBlock);
    const unsigned char abRequest[6] = {201, 0, 1, 0, 3, 0};   // device 201, destinations, package 3
    std::memcpy(acBlock, abRequest, sizeof abRequest);
    SendCopyData(hWndTest, hRvx, MSG_NAME_REQUEST, 0, acBlock, 64);
    EXPECT_EQ(std::string(acBlock, 64), sLong.substr(0, 64));
    EXPECT_EQ(acBlock[64], '#');

    const unsigned char abSource[6] = {201, 0, 0, 0, 2, 0};
    std::memcpy(acBlock, abSource, sizeof abSource);
    SendCopyData(hWndTest, hRvx, MSG_NAME_REQUEST, 0, acBlock, 64);
    EXPECT_STREQ(acBlock, "Camera 2");
    const unsigned char abDefault[6] = {201, 0, 0, 0, 0x10, 0x01};   // package 272, not in the file
    std::memcpy(acBlock, abDefault, sizeof abDefault);
    SendCopyData(hWndTest, hRvx, MSG_NAME_REQUEST, 0, acBlock, 64);
    EXPECT_STREQ(acBlock, "SRC 0272");
    EXPECT_GE(WaitForLine(sRvxLog, {"RVX <- 2164 name request value=0 device=201 database=0 index=272 "
                                    "reply=\"SRC 0272\" result=0"}, 5000), 0);
    DeleteFileA(sNames.c_str());
}

TEST_F(TransportProcess, NestedRequestsInsideHandlersAcrossThreeProcesses)
{
    hWndInner = StartInfo(904);
    ASSERT_NE(hWndInner, nullptr);
    HWND hRvx = StartRvx("-e \"wait-attach 20\" -e \"send 2189 \\\"RC 201 12 34 ',1,2' 7\\\"\" "
                         "-e \"send 2121 \\\"NS 5 1 'TXRX=2' a b c\\\"\" -e \"mark done\"");
    ASSERT_NE(hRvx, nullptr);
    SendMessageA(hRvx, MSG_ATTACH, reinterpret_cast<WPARAM>(hWndTest), 0);
    EXPECT_EQ(hWndRvxAnswer, hRvx);   // answered inside the attach message
    ASSERT_GE(WaitForLine(sRvxLog, {"RVX == done"}, 20000), 0);

    // The revertive sent inside the handler of 2189 reached RVX while RVX
    // waited, and RVX still got its own answer to 2189.
    int iRevertive = WaitForLine(sRvxLog, {"RVX <- 2187 revertive value=0 text=\"RR 201 034 012\" result=0"}, 0);
    int iCommand = WaitForLine(sRvxLog, {"RVX -> 2189 driver command value=0 text=\"RC 201 12 34 ',1,2' 7\" "
                                         "result=1"}, 0);
    EXPECT_GE(iRevertive, 0);
    EXPECT_GT(iCommand, iRevertive);
    // The answer to 2121 carries the reply of a request made while answering.
    EXPECT_GE(WaitForLine(sRvxLog, {"RVX -> 2121 network status value=0 text=\"NS 5 1 'TXRX=2' a b c\" "
                                    "reply=\"inner: hello world\" result=77"}, 0), 0);
    EXPECT_GE(WaitForLine(sInfoLog, {"INFO904 <- 2727 slot read value=1"}, 0), 0);
}

TEST_F(TransportProcess, RequestToAProcessThatHasEndedGetsNothing)
{
    HWND hInfo = StartInfo(905, "--txrx");
    ASSERT_NE(hInfo, nullptr);
    char acReply[kTextBlockSize] = {};
    SendCopyText(hWndTest, hInfo, MSG_INFO_SLOT_READ, 1, "", acReply, sizeof acReply);
    ASSERT_STREQ(acReply, "hello world");
    ASSERT_EQ(SendCopyNumber(hWndTest, hInfo, MSG_INFO_TXRX_QUERY, 0, 0), 2);

    EndProcess(&info);
    std::strcpy(acReply, "stale");
    EXPECT_EQ(SendCopyText(hWndTest, hInfo, MSG_INFO_SLOT_READ, 1, "", acReply, sizeof acReply), 0);
    EXPECT_STREQ(acReply, "");
    EXPECT_EQ(SendCopyNumber(hWndTest, hInfo, MSG_INFO_TXRX_QUERY, 0, 0), 0);
}

TEST_F(TransportProcess, ConnectIsAnsweredOnlyByTheInfoDriverOfThatNumber)
{
    HWND hInfo = StartInfo(906);
    ASSERT_NE(hInfo, nullptr);
    hWndInfoAnswer = nullptr;
    SendMessageA(hInfo, MSG_INFO_CONNECT, reinterpret_cast<WPARAM>(hWndTest), 907 | 0x8000);
    EXPECT_EQ(hWndInfoAnswer, nullptr);
    SendMessageA(hInfo, MSG_INFO_CONNECT, reinterpret_cast<WPARAM>(hWndTest), 906 | 0x8000);
    EXPECT_EQ(hWndInfoAnswer, hInfo);
}
