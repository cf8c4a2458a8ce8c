// RVX's window gone between attach and registration: this program answers
// the driver's attach broadcast as RVX would, but names a window that it
// destroys at once. The driver's registration then reaches nobody and must
// be taken as a refusal (its box, shut-down), never as "registered": a driver
// that believes itself registered goes on to look for its InfoDrivers.
#include <string>
#include <vector>

#include "core/messages.h"
#include "tests/faults/campaigns.h"
#include "tests/faults/site.h"

namespace {

int nInfoConnects = 0;
int nAttaches = 0;

LRESULT CALLBACK FakeRvxProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == MSG_ATTACH) {
        ++nAttaches;
        HWND hGone = CreateWindowA("STATIC", "gone", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
        SendMessageA(reinterpret_cast<HWND>(wParam), MSG_RVX_WINDOW, reinterpret_cast<WPARAM>(hGone), 0);
        DestroyWindow(hGone);
        return 0;
    }
    if (uMsg == MSG_INFO_CONNECT) {
        ++nInfoConnects;
        return 0;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

}  // namespace

int CampaignRvxGone(int nCount, Figures* pFig)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FakeRvxProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ZurFaultsGoneRvx";
    RegisterClassA(&wc);
    HWND hFake = CreateWindowA(wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
    for (int iRound = 0; iRound < nCount; ++iRound) {
        Site site;
        if (!CreateSite(&site) || !WriteCampaignProfile(&site, "DatabaseSize_0=16\nDatabaseSize_1=16\n")) {
            Fail(pFig, &pFig->nOther, "rvxgone: site not created");
            RemoveSite(&site);
            break;
        }
        nInfoConnects = 0;
        nAttaches = 0;
        StartDriver(&site);
        ++pFig->nCases;
        std::vector<std::string> asBox;
        DWORD dwExit = 99;
        bool bEnded = BoxesUntilExit(&site, &asBox, &dwExit);
        pFig->nChecks += 4;
        if (!bEnded || dwExit != 0) {
            Fail(pFig, &pFig->nCrashes, "rvxgone: the driver did not end with code 0, exit " + std::to_string(dwExit));
        }
        if (nAttaches != 1) Fail(pFig, &pFig->nOther, "rvxgone: attach seen " + std::to_string(nAttaches) + " times");
        if (asBox.size() != 1 || asBox[0] != "Request refused - RVX did not answer the registration") {
            Fail(pFig, &pFig->nWrong, "rvxgone: not the one box of an unanswered registration: " +
                                          (asBox.empty() ? std::string("none") : asBox[0]));
        }
        if (nInfoConnects != 0) {
            Fail(pFig, &pFig->nWrong, "rvxgone: a registration that reached nobody was taken as registered "
                                      "(InfoDrivers looked for)");
        }
        RemoveSite(&site);
    }
    DestroyWindow(hFake);
    return 0;
}
