// Malformed messages: WM_COPYDATA envelopes of every awkward size, a null
// payload, text without a terminator, unknown message numbers, and router,
// network-status and InfoDriver texts of random bytes (lengths 0 to 1000),
// sent straight to the driver's window (class "Q7CMBINE"). After each, the
// driver must still run, and a valid "RP" sent next must come back with its
// own revertive. nCount is the number of random texts and messages.
#include <cstdio>
#include <string>
#include <vector>

#include "core/messages.h"
#include "ipc/wire.h"
#include "tests/faults/campaigns.h"
#include "tests/faults/site.h"

namespace {

const int aiKnown[] = {MSG_ATTACH, MSG_RVX_WINDOW, MSG_COMMAND_QUEUED, MSG_INFO_QUEUED, MSG_INTERFACE_NUMBER,
                       MSG_NETWORK_STATUS, MSG_NETWORK_ANSWER, MSG_ROUTE_COMMAND, MSG_SWITCH_COMMAND,
                       MSG_INFO_WRITE_COMMAND, MSG_NAME_REQUEST, MSG_NAME_CHANGED, MSG_CLOSE_REQUEST,
                       MSG_REVERTIVE_REFRESH, MSG_ARBITRATION_QUERY, MSG_TXRX_ORDER, MSG_OWNERSHIP_QUERY,
                       MSG_REGISTER, MSG_UNREGISTER, MSG_REVERTIVE, MSG_REVERTIVE_SERIES, MSG_DRIVER_COMMAND,
                       MSG_RX_ONLY_ORDER, MSG_TXRX_REPORT, MSG_INFO_CONNECT, MSG_INFO_DISCONNECT,
                       MSG_INFO_SLOT_WRITE, MSG_INFO_SLOT_READ, MSG_INFO_NOTICE, MSG_INFO_CONNECT_ANSWER,
                       MSG_INFO_MESSAGE, MSG_LEVELMAP_DEFAULT, MSG_INFO_TXRX_QUERY, MSG_INFO_TXRX_SET,
                       MSG_TRANSPORT_REPLY};

bool IsKnown(int iMessage)
{
    for (int i : aiKnown) {
        if (i == iMessage) return true;
    }
    return false;
}

// Sends one raw WM_COPYDATA; pData may be null whatever cbData says.
void SendRaw(Site* pSite, int iMessage, int iValue, const void* pData, DWORD cbData)
{
    COPYDATASTRUCT cds;
    cds.dwData = PackEnvelope(iMessage, iValue);
    cds.cbData = cbData;
    cds.lpData = const_cast<void*>(pData);
    DWORD_PTR dwResult = 0;
    SendMessageTimeoutA(pSite->hDriver, WM_COPYDATA, reinterpret_cast<WPARAM>(pSite->hPeer),
                        reinterpret_cast<LPARAM>(&cds), SMTO_NORMAL, 20000, &dwResult);
}

std::string RandomBytes(int n)
{
    std::string s(static_cast<size_t>(n), '\0');
    for (char& c : s) c = static_cast<char>(RandomBelow(256));
    return s;
}

// The driver still runs and answers a valid command with its own revertive.
void CheckServing(Site* pSite, Figures* pFig, const std::string& sAfter)
{
    static int iWorkstation = 0;
    iWorkstation = iWorkstation % 900 + 1;
    ++pFig->nChecks;
    if (WaitForSingleObject(pSite->driver.hProcess, 0) == WAIT_OBJECT_0) {
        Fail(pFig, &pFig->nCrashes, "malformed: the driver ended after " + sAfter);
        EndProcess(&pSite->driver);
        StartDriver(pSite);
        WaitDriverServing(pSite, 60000);
        return;
    }
    if (PollRoute(pSite, 3, iWorkstation, 10000) < 0) {
        Fail(pFig, &pFig->nLost, "malformed: no revertive for the valid command after " + sAfter);
    }
}

}  // namespace

int CampaignMalformed(int nCount, Figures* pFig)
{
    Site site;
    bool bUp = CreateSite(&site) && WriteCampaignProfile(&site, "DatabaseSize_0=16\nDatabaseSize_1=16\n") &&
               StartRvx(&site);
    for (int i = 0; bUp && i < 3; ++i) bUp = StartInfoDriver(&site, i);
    bUp = bUp && StartDriver(&site) && WaitDriverServing(&site, 60000);
    if (!bUp) {
        Fail(pFig, &pFig->nOther, "malformed: the site did not come up");
        RemoveSite(&site);
        return 1;
    }
    // Finds the driver as any peer would: by its class.
    site.hDriver = FindWindowA("Q7CMBINE", nullptr);

    // The fixed cases, for each message that carries a payload and for one
    // number the driver does not know.
    std::vector<char> acBig(65536);
    for (int iMessage : {static_cast<int>(MSG_DRIVER_COMMAND), static_cast<int>(MSG_NETWORK_STATUS),
                         static_cast<int>(MSG_INFO_MESSAGE), static_cast<int>(MSG_TRANSPORT_REPLY), 3333}) {
        for (DWORD cb : {0u, 1u, 15u, 16u, 17u, 512u, 514u, 65536u}) {
            // Hexadecimal-free bytes that also read as a command when cut.
            for (DWORD j = 0; j < cb; ++j) acBig[j] = "RP 201 3 3 7 zz"[j % 15];
            SendRaw(&site, iMessage, 1, acBig.data(), cb);
            ++pFig->nInputs;
            CheckServing(&site, pFig, "message " + std::to_string(iMessage) + " cbData " + std::to_string(cb));
        }
        SendRaw(&site, iMessage, 1, nullptr, 513);   // a null payload that claims a size
        ++pFig->nInputs;
        CheckServing(&site, pFig, "message " + std::to_string(iMessage) + " null payload");
        std::string sNoEnd = "RP 201 3 3 7" + std::string(501, 'x');   // 513 bytes, no terminator
        SendRaw(&site, iMessage, 1, sNoEnd.data(), static_cast<DWORD>(sNoEnd.size()));
        ++pFig->nInputs;
        CheckServing(&site, pFig, "message " + std::to_string(iMessage) + " text without terminator");
    }

    // Random texts and unknown plain messages.
    for (int i = 0; i < nCount; ++i) {
        int iKind = RandomBelow(5);
        std::string sWhat;
        if (iKind < 4) {
            static const int aiText[] = {MSG_DRIVER_COMMAND, MSG_NETWORK_STATUS, MSG_INFO_MESSAGE, 0};
            int iMessage = aiText[iKind];
            while (iMessage == 0 || (iKind == 3 && IsKnown(iMessage))) iMessage = 0x400 + RandomBelow(0xFC00);
            int n = RandomBelow(1001);
            std::string s = RandomBytes(n);
            // Half of them start like a real command or status, so the parsers go deeper.
            if (RandomBelow(2) == 0 && n >= 7) {
                static const char* apHead[] = {"RC 201 ", "RL 201 ", "RP 201 ", "RQ 201 ", "RF 201 ", "NS 1 1 '"};
                const char* p = apHead[RandomBelow(6)];
                s.replace(0, std::string(p).size() <= s.size() ? std::string(p).size() : s.size(), p);
                // Keep the workstation field out of the way of a real lock or take.
            }
            SendRaw(&site, iMessage, RandomBelow(65536), s.data(), static_cast<DWORD>(s.size()));
            sWhat = "random text " + std::to_string(i) + " message " + std::to_string(iMessage) + " length " +
                    std::to_string(n);
        } else {
            int iMessage;
            do {
                iMessage = 0x400 + RandomBelow(0xC000 - 0x400);
            } while (IsKnown(iMessage));
            DWORD_PTR dwResult = 0;
            SendMessageTimeoutA(site.hDriver, static_cast<UINT>(iMessage), static_cast<WPARAM>(RandomNumber()),
                                static_cast<LPARAM>(RandomNumber()), SMTO_NORMAL, 20000, &dwResult);
            sWhat = "unknown message " + std::to_string(iMessage);
        }
        ++pFig->nInputs;
        CheckServing(&site, pFig, sWhat);
    }
    ++pFig->nCases;
    DWORD dwExit = 99;
    ++pFig->nChecks;
    if (!CloseDriver(&site, &dwExit)) {
        Fail(pFig, &pFig->nCrashes, "malformed: the driver did not close cleanly, exit " + std::to_string(dwExit));
    }
    RemoveSite(&site);
    return 0;
}
