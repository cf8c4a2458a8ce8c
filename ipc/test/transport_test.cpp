// The transport between two windows on two threads: the same synchronous,
// nested delivery as between two processes.
#include "ipc/transport.h"
#include "tests/host/window.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

HWND hPeer = nullptr;
HWND hSelf = nullptr;
HANDLE hPeerReady = nullptr;

LRESULT CALLBACK PeerProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_COPYDATA:
        HandleCopyData(hWnd, wParam, lParam);
        return 1;
    case MSG_INFO_SLOT_READ: {   // reply text "slot N", result 5
        char* pBlock = reinterpret_cast<char*>(lParam);
        std::snprintf(pBlock, kTextBlockSize, "slot %d", static_cast<int>(wParam));
        return 5;
    }
    case MSG_NAME_REQUEST: {     // a 100-character answer
        char* pBlock = reinterpret_cast<char*>(lParam);
        std::memset(pBlock, 'n', 100);
        pBlock[100] = '\0';
        return 0;
    }
    case MSG_INFO_TXRX_QUERY:    // numeric request: echo the number + 1 as result
        return static_cast<LRESULT>(lParam) + 1;
    case MSG_NETWORK_STATUS: {   // answers only after asking the requester something
        char acReply[64] = {};
        SendCopyText(hWnd, hSelf, MSG_INFO_SLOT_READ, 9, "", acReply, sizeof acReply);
        char* pBlock = reinterpret_cast<char*>(lParam);
        std::snprintf(pBlock, kTextBlockSize, "inner said %s", acReply);
        return 77;
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

LRESULT CALLBACK SelfProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_COPYDATA) {
        HandleCopyData(hWnd, wParam, lParam);
        return 1;
    }
    if (uMsg == MSG_INFO_SLOT_READ) {
        std::snprintf(reinterpret_cast<char*>(lParam), kTextBlockSize, "own %d", static_cast<int>(wParam));
        return 1;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

class Transport : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        hPeerReady = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        peer = std::thread([] {
            hPeer = MakeWindow("TransportPeer", PeerProc);
            SetEvent(hPeerReady);
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        });
        WaitForSingleObject(hPeerReady, 10000);
        hSelf = MakeWindow("TransportSelf", SelfProc);
    }
    static void TearDownTestSuite()
    {
        PostMessageA(hPeer, WM_CLOSE, 0, 0);
        peer.join();
        DestroyWindow(hSelf);
    }
    static std::thread peer;
};
std::thread Transport::peer;

}  // namespace

TEST_F(Transport, TextRequestCarriesValueAndReturnsReplyAndResult)
{
    char acBlock[kTextBlockSize] = {};
    EXPECT_EQ(SendCopyData(hSelf, hPeer, MSG_INFO_SLOT_READ, 70000, acBlock, 256), 5);
    EXPECT_STREQ(acBlock, "slot 4464");
}

TEST_F(Transport, CopyBackLengthIsHonoured)
{
    char acBlock[kTextBlockSize];
    std::memset(acBlock, '#', sizeof acBlock);
    SendCopyData(hSelf, hPeer, MSG_NAME_REQUEST, 0, acBlock, 64);
    EXPECT_EQ(std::string(acBlock, 64), std::string(64, 'n'));
    EXPECT_EQ(acBlock[64], '#');

    std::memset(acBlock, '#', sizeof acBlock);
    acBlock[kTextBlockSize - 1] = '\0';
    SendCopyData(hSelf, hPeer, MSG_INFO_SLOT_READ, 1, acBlock, 0);
    EXPECT_EQ(acBlock[0], '#');   // no copy-back
}

TEST_F(Transport, NumericRequestDeliversTheNumber)
{
    EXPECT_EQ(SendCopyNumber(hSelf, hPeer, MSG_INFO_TXRX_QUERY, 0, 42), 43);
}

TEST_F(Transport, NestedRequestInsideAHandler)
{
    char acReply[kTextBlockSize] = {};
    EXPECT_EQ(SendCopyText(hSelf, hPeer, MSG_NETWORK_STATUS, 0, "NS", acReply, sizeof acReply), 77);
    EXPECT_STREQ(acReply, "inner said own 9");
}

TEST_F(Transport, RequestToNoWindowGetsNothingNotThePreviousReply)
{
    char acBlock[kTextBlockSize] = {};
    ASSERT_EQ(SendCopyData(hSelf, hPeer, MSG_INFO_SLOT_READ, 3, acBlock, 256), 5);
    std::strcpy(acBlock, "stale");
    EXPECT_EQ(SendCopyData(hSelf, nullptr, MSG_INFO_SLOT_READ, 4, acBlock, 256), 0);
    EXPECT_STREQ(acBlock, "");

    HWND hGone = MakeWindow("TransportGone", DefWindowProcA);
    DestroyWindow(hGone);
    std::strcpy(acBlock, "stale");
    EXPECT_EQ(SendCopyData(hSelf, hGone, MSG_INFO_SLOT_READ, 4, acBlock, 256), 0);
    EXPECT_STREQ(acBlock, "");
}
