// Registration, network status, arbitration and the main window's dispatch,
// against a fake RVX on another thread (sends between threads nest exactly as
// between processes).
#include "ipc/rvx.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/driver.h"
#include "app/mainwnd.h"
#include "app/startup.h"
#include "command/dispatch.h"
#include "command/routes.h"
#include "config/profile.h"
#include "core/log.h"
#include "ipc/counters.h"
#include "ipc/infolink.h"
#include "ipc/intake.h"
#include "ipc/transport.h"
#include "ipc/work_state.h"
#include "tests/host/debug_capture.h"
#include "tests/host/test_host.h"
#include "tests/host/window.h"
#include "app/test_support.h"
#include "command/test_support.h"
#include "ipc/test_support.h"

namespace {

// Orders from the test thread to the fake RVX's thread.
const UINT WM_FAKE_SEND_TEXT = WM_APP + 1;   // wParam: message, lParam: text; sends it to hWndMain
const UINT WM_FAKE_BURST = WM_APP + 2;       // wParam: message, lParam: count of texts to send

HWND hFakeRvx = nullptr;

// What the fake RVX saw and how it answers.
struct RvxRecord {
    std::mutex mutex;
    int iRegisterResult = 0;
    std::vector<LPARAM> alRegister;       // lparam of each 2184
    int nUnregister = 0;                  // 2186
    std::vector<std::pair<WPARAM, LPARAM>> aReport;   // 2215
    std::vector<std::string> asAnswer;    // 2123 texts
};
RvxRecord sRvx;

LRESULT CALLBACK FakeRvxProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_COPYDATA:
        HandleCopyData(hWnd, wParam, lParam);
        return 1;
    case MSG_INTERFACE_NUMBER:
        return 1;
    case MSG_REGISTER: {
        std::lock_guard<std::mutex> lock(sRvx.mutex);
        sRvx.alRegister.push_back(lParam);
        return sRvx.iRegisterResult;
    }
    case MSG_UNREGISTER: {
        std::lock_guard<std::mutex> lock(sRvx.mutex);
        ++sRvx.nUnregister;
        return 0;
    }
    case MSG_TXRX_REPORT: {
        std::lock_guard<std::mutex> lock(sRvx.mutex);
        sRvx.aReport.emplace_back(wParam, lParam);
        return 0;
    }
    case MSG_NETWORK_ANSWER: {
        std::lock_guard<std::mutex> lock(sRvx.mutex);
        sRvx.asAnswer.emplace_back(reinterpret_cast<const char*>(lParam));
        return 0;
    }
    case WM_FAKE_SEND_TEXT:
        return SendCopyText(hWnd, hWndMain, static_cast<int>(wParam), 0, reinterpret_cast<const char*>(lParam));
    case WM_FAKE_BURST: {
        char acText[64];
        for (LPARAM i = 0; i < lParam; ++i) {
            std::snprintf(acText, sizeof acText, "XW 201 'burst' %05d", static_cast<int>(i));
            if (SendCopyText(hWnd, hWndMain, static_cast<int>(wParam), 0, acText) != 1) return 0;
        }
        return 1;
    }
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

// Handles what is waiting for this thread. The quit request that shut-down
// posts is taken out too, so that it cannot end a later message box at once.
void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        DispatchMessageA(&msg);
    }
}

// A "! Error !" box of this process (drivers of other tests may show theirs).
HWND OwnErrorBox()
{
    HWND hBox = nullptr;
    while ((hBox = FindWindowExA(nullptr, hBox, "#32770", "! Error !")) != nullptr) {
        DWORD dwPid = 0;
        GetWindowThreadProcessId(hBox, &dwPid);
        if (dwPid == GetCurrentProcessId()) return hBox;
    }
    return nullptr;
}

// Presses OK on each "! Error !" box that appears (from another thread, as an
// operator would) and keeps its text.
class BoxWatcher {
public:
    BoxWatcher()
        : m_thread([this] {
              while (!m_bStop) {
                  HWND hBox = OwnErrorBox();
                  if (hBox != nullptr && hBox != m_hLast) {
                      char acText[256] = {};
                      GetWindowTextA(GetDlgItem(hBox, 0xFFFF), acText, sizeof acText);
                      {
                          std::lock_guard<std::mutex> lock(m_mutex);
                          m_asText.emplace_back(acText);
                      }
                      m_hLast = hBox;
                      PostMessageA(hBox, WM_COMMAND, IDOK, 0);
                  }
                  Sleep(10);
              }
          })
    {
    }
    ~BoxWatcher()
    {
        m_bStop = true;
        m_thread.join();
    }
    std::vector<std::string> Texts()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_asText;
    }

private:
    std::atomic<bool> m_bStop{false};
    HWND m_hLast = nullptr;
    std::mutex m_mutex;
    std::vector<std::string> m_asText;
    std::thread m_thread;
};

class DriverIpc : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        HANDLE hReady = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        rvx = std::thread([hReady] {
            hFakeRvx = MakeWindow("FakeRvx", FakeRvxProc);
            SetEvent(hReady);
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        });
        WaitForSingleObject(hReady, 10000);
        CloseHandle(hReady);
        SetMainWindow(MakeWindow("Q7CMBINE", MainWndProc));
    }
    static void TearDownTestSuite()
    {
        PostMessageA(hFakeRvx, WM_CLOSE, 0, 0);
        rvx.join();
        DestroyWindow(hWndMain);
        SetMainWindow(nullptr);
    }
    void SetUp() override
    {
        Pump();
        std::lock_guard<std::mutex> lock(sRvx.mutex);
        sRvx.iRegisterResult = 0;
        sRvx.alRegister.clear();
        sRvx.nUnregister = 0;
        sRvx.aReport.clear();
        sRvx.asAnswer.clear();
        UseRvx(hFakeRvx);   // its interface number is 1
        SetDeviceNumber(201);
        SetTxRx(kTxRxNone);
        ResetDriverForTest();
    }
    void TearDown() override
    {
        Pump();
        ResetDriverForTest();
    }
    // A text request from the fake RVX to the driver, as RVX would send it.
    static int SendFromRvx(int iMessage, const char* pText)
    {
        return static_cast<int>(SendMessageA(hFakeRvx, WM_FAKE_SEND_TEXT, iMessage, reinterpret_cast<LPARAM>(pText)));
    }
    static std::thread rvx;
};
std::thread DriverIpc::rvx;

// Registration --------------------------------------------------------------

TEST_F(DriverIpc, RegistrationAcceptedMakesTheDriverTxRx)
{
    BoxWatcher boxes;
    sRvx.iRegisterResult = 0;
    EXPECT_EQ(RegisterDevice(), 0);
    EXPECT_TRUE(ReportRegistration(0));
    EXPECT_EQ(Rvx().iTxRx, 2);
    EXPECT_FALSE(IsClosing());
    ASSERT_EQ(sRvx.alRegister.size(), 1u);
    EXPECT_EQ(sRvx.alRegister[0], 201 | 0x8000);
    EXPECT_EQ(sRvx.nUnregister, 0);
    EXPECT_TRUE(boxes.Texts().empty());
}

struct Refusal {
    int iCode;
    const char* pBox;
};

class DriverIpcRefusal : public DriverIpc, public ::testing::WithParamInterface<Refusal> {};

TEST_P(DriverIpcRefusal, RegistrationRefusalsShowTheirBoxAndShutDown)
{
    const Refusal& c = GetParam();
    BoxWatcher boxes;
    sRvx.iRegisterResult = c.iCode;
    int iResult = RegisterDevice();
    EXPECT_EQ(iResult, c.iCode);
    EXPECT_FALSE(ReportRegistration(iResult)) << c.iCode;   // the start-up's box and shut-down
    EXPECT_EQ(Rvx().iTxRx, 0) << c.iCode;
    EXPECT_TRUE(IsClosing()) << c.iCode;
    EXPECT_EQ(sRvx.alRegister.size(), 1u) << c.iCode;
    // Shut-down tells RVX, whose window is known, that the driver goes.
    EXPECT_EQ(sRvx.nUnregister, 1) << c.iCode;
    std::vector<std::string> asBox = boxes.Texts();
    ASSERT_EQ(asBox.size(), 1u) << c.iCode;
    EXPECT_EQ(asBox[0], c.pBox);
}

INSTANTIATE_TEST_SUITE_P(Codes, DriverIpcRefusal,
                         ::testing::Values(Refusal{1, "Request refused - ID supplied is invalid"},
                                           Refusal{2, "Request refused - A driver has already registered this Id"},
                                           Refusal{3, "Request refused - RVX has not been enabled in Driver Mode"},
                                           Refusal{5, "Request refused - RVX answered 5"}),
                         [](const ::testing::TestParamInfo<Refusal>& info) {
                             return "Code" + std::to_string(info.param.iCode);
                         });

class DriverIpcBadDevice : public DriverIpc, public ::testing::WithParamInterface<int> {};

TEST_P(DriverIpcBadDevice, DeviceNumberOutsideTheRangeIsNeverSentToRvx)
{
    const int iBad = GetParam();
    BoxWatcher boxes;
    SetDeviceNumber(iBad);
    int iResult = RegisterDevice();
    EXPECT_EQ(iResult, kRegisterInvalidId);
    EXPECT_FALSE(ReportRegistration(iResult));
    EXPECT_TRUE(sRvx.alRegister.empty()) << iBad;
    EXPECT_TRUE(IsClosing());
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "The supplied driver Id is invalid");
}

INSTANTIATE_TEST_SUITE_P(Devices, DriverIpcBadDevice, ::testing::Values(0, 1000, -3),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param < 0 ? "Minus" + std::to_string(-info.param)
                                                   : std::to_string(info.param);
                         });

TEST_F(DriverIpc, DeviceNumber999IsSentToRvx)
{
    SetDeviceNumber(999);
    EXPECT_EQ(RegisterDevice(), 0);
    ASSERT_EQ(sRvx.alRegister.size(), 1u);
    EXPECT_EQ(sRvx.alRegister[0], 33767);
}

// Network status ------------------------------------------------------------

TEST_F(DriverIpc, NetworkStatusChangesStateReportsAndAnswers)
{
    SetTxRx(1);
    long lBefore = Counters().lRevertivesSent;
    EXPECT_EQ(SendFromRvx(MSG_NETWORK_STATUS, "NS 5 1 'TXRX=2' a b c"), 1);
    EXPECT_EQ(Rvx().iTxRx, 2);
    ASSERT_EQ(sRvx.aReport.size(), 1u);
    EXPECT_EQ(sRvx.aReport[0].first, 3u);
    EXPECT_EQ(sRvx.aReport[0].second, 201);
    ASSERT_EQ(sRvx.asAnswer.size(), 1u);
    EXPECT_EQ(sRvx.asAnswer[0], "NS 005 001 'TXRX=2' a b c");
    EXPECT_EQ(Counters().lRevertivesSent, lBefore + 1);

    // Back to RX only by a lower-case key with a value of 1.
    EXPECT_EQ(SendFromRvx(MSG_NETWORK_STATUS, "NS 6 1 'txrx=1' 'x y' z"), 1);
    EXPECT_EQ(Rvx().iTxRx, 1);
    ASSERT_EQ(sRvx.aReport.size(), 2u);
    EXPECT_EQ(sRvx.aReport[1].first, 1u);
    EXPECT_EQ(sRvx.asAnswer.back(), "NS 006 001 'TXRX=1' x y z ");
    EXPECT_EQ(Counters().lRevertivesSent, lBefore + 2);
}

TEST_F(DriverIpc, NetworkStatusTxRx3InRxOnlyMakesTxRx)
{
    SetTxRx(1);
    EXPECT_EQ(SendFromRvx(MSG_NETWORK_STATUS, "NS 1 1 'txrx=3'"), 1);
    EXPECT_EQ(Rvx().iTxRx, 2);
    ASSERT_EQ(sRvx.aReport.size(), 1u);
    EXPECT_EQ(sRvx.aReport[0].first, 3u);
    ASSERT_EQ(sRvx.asAnswer.size(), 1u);
    EXPECT_EQ(sRvx.asAnswer[0], "NS 001 001 'TXRX=2'   ");
}

TEST_F(DriverIpc, NetworkStatusWithoutChangeStillAnswers)
{
    SetTxRx(2);
    EXPECT_EQ(SendFromRvx(MSG_NETWORK_STATUS, "NS 9 1 'TXRX=0' p q r"), 1);
    EXPECT_EQ(SendFromRvx(MSG_NETWORK_STATUS, "NS 9 1 'TXRX=3' p q r"), 1);
    EXPECT_EQ(Rvx().iTxRx, 2);
    EXPECT_TRUE(sRvx.aReport.empty());
    ASSERT_EQ(sRvx.asAnswer.size(), 2u);
    EXPECT_EQ(sRvx.asAnswer[0], "NS 009 001 'TXRX=2' p q r");
}

TEST_F(DriverIpc, NetworkStatusForOthersIsIgnored)
{
    SetTxRx(1);
    long lBefore = Counters().lRevertivesSent;
    EXPECT_EQ(SendFromRvx(MSG_NETWORK_STATUS, "NS 5 1 'MODE=1' a b c"), 0);
    EXPECT_EQ(SendFromRvx(MSG_NETWORK_STATUS, "NS 5 2 'TXRX=2' a b c"), 0);
    EXPECT_EQ(Rvx().iTxRx, 1);
    EXPECT_TRUE(sRvx.aReport.empty());
    EXPECT_TRUE(sRvx.asAnswer.empty());
    EXPECT_EQ(Counters().lRevertivesSent, lBefore);
}

TEST_F(DriverIpc, NetworkStatusWithHugeFieldsIsAnsweredCut)
{
    SetTxRx(2);
    std::string sText = "NS 1 1 'TXRX=2' " + std::string(300, 'a') + " " + std::string(300, 'b');
    EXPECT_EQ(SendFromRvx(MSG_NETWORK_STATUS, sText.c_str()), 1);
    ASSERT_EQ(sRvx.asAnswer.size(), 1u);
    EXPECT_EQ(sRvx.asAnswer[0].size(), 512u);
    EXPECT_EQ(sRvx.asAnswer[0].substr(0, 21), "NS 001 001 'TXRX=2' a");
}

// Arbitration ---------------------------------------------------------------

TEST_F(DriverIpc, ArbitrationTable)
{
    auto Send = [](UINT uMsg, LPARAM lDevice) { return SendMessageA(hWndMain, uMsg, 0, lDevice); };
    for (int iState : {1, 2}) {
        SetTxRx(iState);
        EXPECT_EQ(Send(MSG_ARBITRATION_QUERY, 201), 0);
        EXPECT_EQ(Send(MSG_ARBITRATION_QUERY, 202), iState == 2 ? 0 : 1);
        EXPECT_EQ(Send(MSG_OWNERSHIP_QUERY, 201), 1);
        EXPECT_EQ(Send(MSG_OWNERSHIP_QUERY, 202), 0);
        EXPECT_EQ(Send(MSG_TXRX_ORDER, 202), iState == 2 ? 1 : 0);
        EXPECT_EQ(Send(MSG_RX_ONLY_ORDER, 202), 0);
        EXPECT_EQ(Rvx().iTxRx, iState);
    }
    SetTxRx(1);
    EXPECT_EQ(Send(MSG_TXRX_ORDER, 201), 1);
    EXPECT_EQ(Rvx().iTxRx, 2);
    EXPECT_EQ(Send(MSG_TXRX_ORDER, 201), 1);   // already TX/RX: ordered again
    EXPECT_EQ(Rvx().iTxRx, 2);
    EXPECT_EQ(Send(MSG_RX_ONLY_ORDER, 201), 0);
    EXPECT_EQ(Rvx().iTxRx, 1);
    // A device number that only matches in its low bits is not ours.
    EXPECT_EQ(Send(MSG_OWNERSHIP_QUERY, 201 + 0x10000), 0);
    // Arbitration never tells RVX.
    EXPECT_TRUE(sRvx.aReport.empty());
}

// Main window dispatch ------------------------------------------------------

TEST_F(DriverIpc, PlainMessagesOfTheDispatchTable)
{
    EXPECT_EQ(SendMessageA(hWndMain, MSG_INFO_NOTICE, 5, 6), 1);

    OnInfoConnectAnswer(hFakeRvx);
    EXPECT_EQ(SendMessageA(hWndMain, MSG_INFO_CONNECT_ANSWER, 0, 0), 0);
    EXPECT_EQ(Links().hWndInfoAnswer, nullptr);

    UseRvx(nullptr);
    EXPECT_EQ(SendMessageA(hWndMain, MSG_RVX_WINDOW, reinterpret_cast<WPARAM>(hFakeRvx), 0), 0);
    EXPECT_EQ(Rvx().hWndRvx, hFakeRvx);

    EXPECT_EQ(SendMessageA(hWndMain, MSG_NAME_CHANGED, 0, MAKELPARAM(7, 2)), 0);
    EXPECT_EQ(LastChanged(), 7);
    EXPECT_EQ(SendMessageA(hWndMain, MSG_NAME_CHANGED, 0, MAKELPARAM(9, 0)), 0);
    EXPECT_EQ(LastChanged(), 9);
    EXPECT_EQ(SendMessageA(hWndMain, MSG_NAME_CHANGED, 0, MAKELPARAM(7, 1)), 0);
    EXPECT_EQ(LastChanged(), 0);

    EXPECT_EQ(SendMessageA(hWndMain, WM_COMMAND, 910, 0), 0);
    EXPECT_EQ(SendMessageA(hWndMain, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("title")), TRUE);
    char acTitle[16] = {};
    GetWindowTextA(hWndMain, acTitle, sizeof acTitle);
    EXPECT_STREQ(acTitle, "title");
}

class DriverIpcClose : public DriverIpc, public ::testing::WithParamInterface<UINT> {};

TEST_P(DriverIpcClose, CloseRequestsShutDownWithoutDestroyingTheWindow)
{
    const UINT uMsg = GetParam();
    // The end of the session is not held up: it is answered TRUE.
    EXPECT_EQ(SendMessageA(hWndMain, uMsg, 0, 0), uMsg == WM_QUERYENDSESSION ? 1 : 0) << uMsg;
    EXPECT_TRUE(IsClosing()) << uMsg;
    EXPECT_EQ(sRvx.nUnregister, 1) << uMsg;
    EXPECT_TRUE(IsWindow(hWndMain)) << uMsg;
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << uMsg;
    EXPECT_EQ(msg.wParam, 0u);
}

INSTANTIATE_TEST_SUITE_P(Requests, DriverIpcClose,
                         ::testing::Values(static_cast<UINT>(WM_CLOSE), static_cast<UINT>(WM_QUERYENDSESSION),
                                           static_cast<UINT>(MSG_CLOSE_REQUEST)));

// The rings -----------------------------------------------------------------

// Counts the drain messages waiting in the queue, then handles everything
// until the ring is empty. Returns how many drain messages were handled.
int DrainAll(UINT uDrain, const TextRing& ring, int* pnQueued)
{
    std::vector<MSG> aQueued;
    MSG msg;
    while (PeekMessageA(&msg, hWndMain, uDrain, uDrain, PM_REMOVE)) aQueued.push_back(msg);
    *pnQueued = static_cast<int>(aQueued.size());
    int nHandled = 0;
    for (MSG& m : aQueued) {
        DispatchMessageA(&m);
        ++nHandled;
    }
    auto tEnd = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < tEnd) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (ring.iPending == 0) break;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            continue;
        }
        if (msg.message == WM_QUIT) continue;
        if (msg.hwnd == hWndMain && msg.message == uDrain) ++nHandled;
        DispatchMessageA(&msg);
    }
    return nHandled;
}

TEST_F(DriverIpc, RingKeepsTextsWhole)
{
    std::string s512(512, 'q');
    std::string s127(127, 'r');
    int iFirst = QueuedTexts(kInfoQueue).iWrite;
    EXPECT_EQ(SendFromRvx(MSG_INFO_MESSAGE, s512.c_str()), 1);
    EXPECT_EQ(SendFromRvx(MSG_INFO_MESSAGE, s127.c_str()), 1);
    EXPECT_EQ(QueuedTexts(kInfoQueue).iPending, 2);
    EXPECT_EQ(std::string(RingText(&QueuedTexts(kInfoQueue), iFirst)), s512);
    EXPECT_EQ(std::string(RingText(&QueuedTexts(kInfoQueue), (iFirst + 1) % kRingCapacity)), s127);
    int nQueued = 0;
    EXPECT_EQ(DrainAll(MSG_INFO_QUEUED, QueuedTexts(kInfoQueue), &nQueued), 2);
    EXPECT_EQ(nQueued, 1);
    EXPECT_EQ(QueuedTexts(kInfoQueue).iPending, 0);
}

// A block of more than 512 characters without a terminator reaches the
// intake as a 513-character text: it is refused whole, never cut into a
// shorter command, and the log says so.
TEST_F(DriverIpc, RingRefusesATextLongerThan512Characters)
{
    DebugCapture capture;
    SetDebugMode(1);
    std::string sBlock = "RL 201 1 1 1 7" + std::string(600, ' ');
    COPYDATASTRUCT cds = {PackEnvelope(MSG_DRIVER_COMMAND, 0), static_cast<DWORD>(sBlock.size()), &sBlock[0]};
    int iPending = QueuedTexts(kCommandQueue).iPending;
    long lDropped = QueuedTexts(kCommandQueue).lDropped;
    DebugCapture::Take();
    SendMessageA(hWndMain, WM_COPYDATA, reinterpret_cast<WPARAM>(hFakeRvx), reinterpret_cast<LPARAM>(&cds));
    SetDebugMode(0);
    EXPECT_EQ(QueuedTexts(kCommandQueue).iPending, iPending);
    EXPECT_EQ(QueuedTexts(kCommandQueue).lDropped, lDropped);
    // The fake RVX of this process shares the transport: the driver's reply
    // to it is named as one no request of this thread waits for.
    std::vector<std::string> asLines = DebugCapture::Take();
    ASSERT_GE(asLines.size(), 2u);
    EXPECT_EQ(asLines[1].rfind("<GR>-Text longer than 512 characters refused: RL 201 1 1 1 7   ", 0), 0u) << asLines[1];
}

// 10,000 InfoDriver messages arrive while the driver waits inside one long
// synchronous exchange: each is kept, one drain message stands for them all,
// and every text is then processed exactly once, oldest first.
TEST_F(DriverIpc, BurstOfInfoMessagesDuringALongExchangeIsProcessedCompletely)
{
    const int kBurst = 10000;
    int iFirst = QueuedTexts(kInfoQueue).iWrite;
    ASSERT_EQ(SendMessageA(hFakeRvx, WM_FAKE_BURST, MSG_INFO_MESSAGE, kBurst), 1);
    ASSERT_EQ(QueuedTexts(kInfoQueue).iPending, kBurst);
    EXPECT_EQ(QueuedTexts(kInfoQueue).lDropped, 0);
    for (int i = 0; i < kBurst; i += 997) {
        char acExpected[64];
        std::snprintf(acExpected, sizeof acExpected, "XW 201 'burst' %05d", i);
        ASSERT_STREQ(RingText(&QueuedTexts(kInfoQueue), (iFirst + i) % kRingCapacity), acExpected);
    }
    int nQueued = 0;
    EXPECT_EQ(DrainAll(MSG_INFO_QUEUED, QueuedTexts(kInfoQueue), &nQueued), kBurst);
    EXPECT_EQ(nQueued, 1);
    EXPECT_EQ(QueuedTexts(kInfoQueue).iPending, 0);
}

TEST_F(DriverIpc, BurstOfRouterCommandsDuringALongExchangeIsProcessedCompletely)
{
    const int kBurst = 10000;
    long lBefore = Counters().lCommandsReceived;
    ASSERT_EQ(SendMessageA(hFakeRvx, WM_FAKE_BURST, MSG_DRIVER_COMMAND, kBurst), 1);
    ASSERT_EQ(QueuedTexts(kCommandQueue).iPending, kBurst);
    int nQueued = 0;
    EXPECT_EQ(DrainAll(MSG_COMMAND_QUEUED, QueuedTexts(kCommandQueue), &nQueued), kBurst);
    EXPECT_EQ(nQueued, 1);
    EXPECT_EQ(QueuedTexts(kCommandQueue).iPending, 0);
    EXPECT_EQ(Counters().lCommandsReceived, lBefore + kBurst);
}

TEST_F(DriverIpc, FullRingRefusesAndCountsTheTextAndKeepsDraining)
{
    long lDropped = QueuedTexts(kInfoQueue).lDropped;
    ASSERT_EQ(SendMessageA(hFakeRvx, WM_FAKE_BURST, MSG_INFO_MESSAGE, kRingCapacity + 1), 1);
    EXPECT_EQ(QueuedTexts(kInfoQueue).lDropped, lDropped + 1);
    int nQueued = 0;
    EXPECT_EQ(DrainAll(MSG_INFO_QUEUED, QueuedTexts(kInfoQueue), &nQueued), kRingCapacity);
    EXPECT_EQ(nQueued, 1);
    EXPECT_EQ(QueuedTexts(kInfoQueue).iPending, 0);
}

// Commands still queued when shut-down begins are not processed: the files
// have been written and the InfoDrivers unlinked by then.
TEST_F(DriverIpc, CommandsQueuedWhenShutDownBeginsAreDropped)
{
    long lBefore = Counters().lCommandsReceived;
    ASSERT_EQ(SendMessageA(hFakeRvx, WM_FAKE_BURST, MSG_DRIVER_COMMAND, 5), 1);
    ASSERT_EQ(SendMessageA(hFakeRvx, WM_FAKE_BURST, MSG_INFO_MESSAGE, 5), 1);
    ShutdownDriver();   // shut-down has begun
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);   // its quit request, not a drain
    int nQueued = 0;
    // One drain handled; it pumps the InfoDriver drain too.
    EXPECT_EQ(DrainAll(MSG_COMMAND_QUEUED, QueuedTexts(kCommandQueue), &nQueued), 1);
    ResetDriverForTest();
    EXPECT_EQ(QueuedTexts(kCommandQueue).iPending, 0);
    EXPECT_EQ(QueuedTexts(kInfoQueue).iPending, 0);
    EXPECT_EQ(Counters().lCommandsReceived, lBefore);
    // The driver still takes and processes texts that arrive afterwards.
    ASSERT_EQ(SendMessageA(hFakeRvx, WM_FAKE_BURST, MSG_DRIVER_COMMAND, 2), 1);
    EXPECT_EQ(DrainAll(MSG_COMMAND_QUEUED, QueuedTexts(kCommandQueue), &nQueued), 2);
    EXPECT_EQ(Counters().lCommandsReceived, lBefore + 2);
}

// Text messages carry a text only through the transport: the same numbers
// sent as plain messages are refused without touching their lparam.
TEST_F(DriverIpc, TextMessagesSentPlainAreRefused)
{
    SetTxRx(1);
    int iPending = QueuedTexts(kCommandQueue).iPending + QueuedTexts(kInfoQueue).iPending;
    for (UINT uMsg : {static_cast<UINT>(MSG_NETWORK_STATUS), static_cast<UINT>(MSG_DRIVER_COMMAND),
                      static_cast<UINT>(MSG_INFO_MESSAGE)}) {
        EXPECT_EQ(SendMessageA(hWndMain, uMsg, 0, 0x1234), 0) << uMsg;
        EXPECT_EQ(SendMessageA(hWndMain, uMsg, 0, 0), 0) << uMsg;
    }
    EXPECT_EQ(QueuedTexts(kCommandQueue).iPending + QueuedTexts(kInfoQueue).iPending, iPending);
    EXPECT_EQ(Rvx().iTxRx, 1);
    EXPECT_TRUE(sRvx.asAnswer.empty());
    // Through the transport the same message is taken.
    EXPECT_EQ(SendFromRvx(MSG_NETWORK_STATUS, "NS 1 1 'TXRX=1'"), 1);
}

// Shut-down may be asked for twice (a close request before the loop ends):
// it runs once, and each library handle is released once only.
TEST_F(DriverIpc, RepeatedShutDownRunsOnceAndReleasesEachLibraryOnce)
{
    HMODULE hFirst = LoadLibraryA("zurfilter.dll");
    ASSERT_NE(hFirst, nullptr);
    // The driver holds a second reference: its external library.
    LoadTestProfile(UseTempConfigDir(201), "[Combiner]\nExternalDLL=zurfilter.dll\n");
    LoadExternalLibrary();
    ASSERT_NE(Driver().hExternalDll, nullptr);
    ShutdownDriver();
    ShutdownDriver();
    EXPECT_EQ(Driver().hExternalDll, nullptr);
    EXPECT_EQ(sRvx.nUnregister, 1);
    EXPECT_NE(GetModuleHandleA("zurfilter.dll"), nullptr);
    FreeLibrary(hFirst);
}

}  // namespace
