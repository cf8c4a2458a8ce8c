// Peers that are late rather than dead. Each round draws for each
// InfoDriver one behaviour (healthy, slow 0-11 s per answer, stalled before
// taking a message for 5-15 s, duplicated by a second InfoDriver with the
// same number and packages that answers late, restarted and announcing itself, killed,
// or answering out of order: late, from inside its handler, after the
// requests sent once the driver gave up) and for RVX healthy or slow (0-3 s per level command), flips the
// driver's TX/RX state at random moments, and streams takes and polls.
// Checked against a model of the commands:
// - every level command carries the slot values of its own take;
// - no take is partly sent: a take has all three level commands or none;
// - every destination's route afterwards is the one it had before the
//   stream or the source of a take onto it that went out whole (or ran
//   while the driver was receive-only);
// - with every InfoDriver answering within the limit, every take that
//   arrived while the driver transmitted goes out whole (no answered read
//   is lost);
// - the driver ends in the state of the last flip, and the last 2215 to RVX
//   and the last 2733 to each InfoDriver say so.
// nCount is the number of rounds.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "core/messages.h"
#include "tests/faults/campaigns.h"
#include "tests/faults/site.h"

namespace {

const int kPackages = 16;
const int kTakes = 5;
enum Behaviour { kHealthy, kSlow, kStalled, kDuplicated, kRestarted, kKilled, kOutOfOrder, kBehaviours };
const char* const apBehaviour[kBehaviours] = {"healthy", "slow",   "stalled",     "duplicated",
                                              "restarted", "killed", "out-of-order"};

// The workstation (last field) of a received level command "RC t s d 'm' ws", 0 if none.
int LevelCommandWs(const std::string& sLine)
{
    size_t i = sLine.find("text=\"");
    int iTarget = 0, iSrc = 0, iDest = 0, iWs = 0;
    char acMask[16] = "";
    if (i == std::string::npos ||
        std::sscanf(sLine.c_str() + i + 6, "RC %d %d %d %15s %d", &iTarget, &iSrc, &iDest, acMask, &iWs) != 5) {
        return 0;
    }
    return iWs;
}

// The driver's last debug lines, after a failed round.
void PrintLastDebugLines(DWORD dwPid)
{
    std::vector<std::string> asLine = DebugLines(dwPid);
    size_t i = asLine.size() > 12 ? asLine.size() - 12 : 0;
    for (; i < asLine.size(); ++i) std::printf("    debug: %s\n", asLine[i].c_str());
}

// The wparam of the last line of a record that holds sPart, 0 when none.
int LastWparam(const std::string& sLog, const char* pPart)
{
    int iLast = 0;
    for (const std::string& sLine : ReadLines(sLog)) {
        if (sLine.find(pPart) == std::string::npos) continue;
        size_t i = sLine.find("wparam=");
        if (i != std::string::npos) iLast = std::atoi(sLine.c_str() + i + 7);
    }
    return iLast;
}

void Round(Site* pSite, int iRound, Figures* pFig)
{
    const std::string sRound = "late: round " + std::to_string(iRound);
    int aiBehaviour[3];
    std::string sDraw;
    for (int i = 0; i < 3; ++i) {
        aiBehaviour[i] = RandomBelow(kBehaviours);
        sDraw += std::string(" ") + std::to_string(301 + i) + "=" + apBehaviour[aiBehaviour[i]];
    }
    int iRvxDelay = RandomBelow(2) == 0 ? 0 : RandomBelow(3000);
    if (iRvxDelay > 0) sDraw += " rvx=slow " + std::to_string(iRvxDelay) + " ms";
    bool bUp = StartRvx(pSite, iRvxDelay > 0 ? "--answer-delay " + std::to_string(iRvxDelay) : "");
    std::vector<StartedProcess> aExtra;
    for (int i = 0; bUp && i < 3; ++i) {
        std::string sMore;
        // Slow and stalled from the end of start-up on (its TX/RX query):
        // the start-up reads the whole level map, and a missing InfoDriver
        // at start-up is fatal by design. The script waits for that query
        // as long as the round waits for start-up: with a slow RVX the
        // panel's name requests alone take minutes.
        if (aiBehaviour[i] == kSlow) {
            sMore = "-e \"expect 2732 300\" -e \"set answer-delay " + std::to_string(RandomBelow(11001)) + "\"";
        }
        if (aiBehaviour[i] == kStalled) {
            sMore = "-e \"expect 2732 300\" -e \"sleep " + std::to_string(RandomBelow(3000)) + "\" -e \"stall " +
                    std::to_string(5000 + RandomBelow(10001)) + "\"";
        }
        if (aiBehaviour[i] == kOutOfOrder) {
            sMore = "-e \"expect 2732 300\" -e \"set late-answer " + std::to_string(1 + RandomBelow(3)) + "\"";
        }
        if (aiBehaviour[i] == kDuplicated) {
            // The duplicate holds the same packages: when it answers first
            // it is the one linked, and takes are right either way; linked
            // as another InfoDriver, its values show in the level commands.
            std::string sSlots;
            if (i < 2) {
                std::string sFile = TempFile("faultslots", "txt");
                pSite->asTemp.push_back(sFile);
                WriteTextFile(sFile, InfoKillSlots(i == 0));
                sSlots = " --slots \"" + sFile + "\"";
            }
            aExtra.push_back(StartProgram("infosim.exe", std::to_string(301 + i) + " --quiet --attach-delay " +
                                                             std::to_string(RandomBelow(6000)) + sSlots));
        }
        bUp = StartInfoDriver(pSite, i, i < 2 ? InfoKillSlots(i == 0) : "", InfoDriverLog(pSite, i) + " " + sMore);
    }
    // A slow RVX answers each of the panel's name requests at start-up late.
    ClearDebugLines();
    bUp = bUp && StartDriver(pSite) && WaitDriverServing(pSite, 240000);
    if (!bUp) {
        Fail(pFig, &pFig->nOther, sRound + " did not come up:" + sDraw);
        PrintLastDebugLines(pSite->driver.dwPid);
        for (int i = 0; i < 3; ++i) {
            std::vector<std::string> asLine = ReadLines(pSite->asInfoLog[i]);
            size_t j = asLine.size() > 4 ? asLine.size() - 4 : 0;
            for (; j < asLine.size(); ++j) std::printf("    %s\n", asLine[j].c_str());
        }
        EndProcess(&pSite->driver);
        for (StartedProcess& p : aExtra) EndProcess(&p);
        return;
    }
    ++pFig->nCases;
    const size_t nFailedBefore = pFig->asFailure.size();
    const DWORD dwServing = GetTickCount();

    // The route of every destination before the stream: afterwards each
    // holds it still or the source of a take onto it that went out whole
    // (its three level commands) or that ran while receive-only (none).
    std::map<int, int> aiRouteBefore;
    for (int d = 1; d <= kPackages; ++d) aiRouteBefore[d] = PollRoute(pSite, d, 0, 60000);
    int iFinalTx = 1;
    std::vector<std::pair<int, int>> aTake;
    std::vector<int> aiTakeTx;
    int iEventAt = RandomBelow(kTakes);
    for (int k = 1; k <= kTakes; ++k) {
        if (k - 1 == iEventAt) {
            for (int i = 0; i < 3; ++i) {
                if (aiBehaviour[i] != kKilled && aiBehaviour[i] != kRestarted) continue;
                EndProcess(&pSite->info[i]);
                ++pFig->nKills;
                if (aiBehaviour[i] == kRestarted) {
                    StartInfoDriver(pSite, i, i < 2 ? InfoKillSlots(i == 0) : "",
                                    InfoDriverLog(pSite, i) + " -e \"find-driver 10\" -e \"plain 2729 self 0\"");
                }
            }
        }
        if (RandomBelow(3) == 0) {
            iFinalTx = RandomBelow(2);
            DWORD_PTR dwIgnored = 0;
            SendMessageTimeoutA(pSite->hDriver, iFinalTx ? MSG_TXRX_ORDER : MSG_RX_ONLY_ORDER, 0, 201, SMTO_NORMAL,
                                30000, &dwIgnored);
            ++pFig->nInputs;
        }
        int s = 1 + RandomBelow(kPackages);
        int d = 1 + RandomBelow(kPackages);
        aTake.push_back({s, d});
        aiTakeTx.push_back(iFinalTx);
        SendToDriver(pSite, MSG_DRIVER_COMMAND,
                     "RC 201 " + std::to_string(s) + " " + std::to_string(d) + " ',1,2,3' " + std::to_string(k));
        ++pFig->nInputs;
        PumpFor(static_cast<DWORD>(RandomBelow(500)));
    }
    // A stalled InfoDriver missed the state changes of its stall; once it
    // takes messages again (at most 18 s after start-up), the next command
    // brings it to the driver's state.
    bool bStalled = false;
    for (int i = 0; i < 3; ++i) bStalled = bStalled || aiBehaviour[i] == kStalled;
    DWORD dwSince = GetTickCount() - dwServing;
    if (bStalled && dwSince < 20000) PumpFor(20000 - dwSince);
    // Still serving: an "RP" after the stream is answered (a receive-only
    // driver answers none, so it transmits for the poll and is then made
    // receive-only again).
    DWORD_PTR dwIgnored = 0;
    if (!iFinalTx) SendMessageTimeoutA(pSite->hDriver, MSG_TXRX_ORDER, 0, 201, SMTO_NORMAL, 30000, &dwIgnored);
    ++pFig->nChecks;
    if (PollRoute(pSite, 1, 999, 240000) < 0) {
        Fail(pFig, &pFig->nLost, sRound + ": no answer after the stream:" + sDraw);
    }
    for (int d = 1; d <= kPackages; ++d) {
        int iRoute = PollRoute(pSite, d, 0, 60000);
        ++pFig->nChecks;
        bool bSound = iRoute == aiRouteBefore[d];
        for (size_t k = 0; k < aTake.size() && !bSound; ++k) {
            if (aTake[k].second != d || aTake[k].first != iRoute) continue;
            int nSent = 0;
            for (const std::string& sLine : ReadLines(pSite->sRvxLog)) {
                nSent += sLine.find("RVX <- 2124") != std::string::npos &&
                         LevelCommandWs(sLine) == static_cast<int>(k) + 1;
            }
            // A take runs under the state it arrived in, also when it
            // waited in the queue behind a slow one while an order came.
            bSound = nSent == 3 || (nSent == 0 && !aiTakeTx[k]);
        }
        if (!bSound) {
            std::string sTakes;
            for (size_t k = 0; k < aTake.size(); ++k) {
                if (aTake[k].second != d) continue;
                int nSent = 0;
                for (const std::string& sLine : ReadLines(pSite->sRvxLog)) {
                    nSent += sLine.find("RVX <- 2124") != std::string::npos &&
                             LevelCommandWs(sLine) == static_cast<int>(k) + 1;
                }
                sTakes += " [ws " + std::to_string(k + 1) + ": source " + std::to_string(aTake[k].first) + ", " +
                          std::to_string(nSent) + " level commands, " + (aiTakeTx[k] ? "TX" : "RX") + "]";
            }
            Fail(pFig, &pFig->nWrong, sRound + ": destination " + std::to_string(d) + " routed to " +
                                          std::to_string(iRoute) + " (before: " + std::to_string(aiRouteBefore[d]) +
                                          "), which no take sent whole:" + sDraw + sTakes);
            std::vector<std::string> asJournal = ReadLines(SiteFile(pSite, "LOG"));
            size_t j = asJournal.size() > 40 ? asJournal.size() - 40 : 0;
            for (; j < asJournal.size(); ++j) std::printf("    journal: %s\n", asJournal[j].c_str());
        }
    }
    if (!iFinalTx) SendMessageTimeoutA(pSite->hDriver, MSG_RX_ONLY_ORDER, 0, 201, SMTO_NORMAL, 30000, &dwIgnored);

    CheckLevelCommands(pSite->sRvxLog, aTake, false, pFig, "late", -1);
    std::map<int, int> anPerTake;
    for (const std::string& sLine : ReadLines(pSite->sRvxLog)) {
        if (sLine.find("RVX <- 2124") != std::string::npos) ++anPerTake[LevelCommandWs(sLine)];
    }
    for (const auto& e : anPerTake) {
        ++pFig->nChecks;
        if (e.second != 3) {
            Fail(pFig, &pFig->nWrong, sRound + ": take ws " + std::to_string(e.first) + " partly sent (" +
                                          std::to_string(e.second) + " of 3):" + sDraw);
        }
    }
    // No answered read lost: when every InfoDriver answers within the limit
    // (healthy, slow up to 11 s, or duplicated), every take that arrived
    // while the driver transmitted goes out whole.
    bool bAllAnswer = true;
    for (int i = 0; i < 3; ++i) {
        bAllAnswer = bAllAnswer && (aiBehaviour[i] == kHealthy || aiBehaviour[i] == kSlow ||
                                    aiBehaviour[i] == kDuplicated);
    }
    for (size_t k = 0; bAllAnswer && k < aTake.size(); ++k) {
        if (!aiTakeTx[k]) continue;
        ++pFig->nChecks;
        if (anPerTake[static_cast<int>(k) + 1] != 3) {
            Fail(pFig, &pFig->nLost, sRound + ": take ws " + std::to_string(k + 1) +
                                         " not sent though every InfoDriver answered:" + sDraw);
        }
    }

    // The driver's state: a query for another device answers 1 when it is
    // not transmitting.
    DWORD_PTR dwNotTx = 99;
    SendMessageTimeoutA(pSite->hDriver, MSG_ARBITRATION_QUERY, 0, 202, SMTO_NORMAL, 30000, &dwNotTx);
    const int iWant = iFinalTx ? 3 : 1;
    ++pFig->nChecks;
    if ((dwNotTx == 0) != (iFinalTx == 1)) Fail(pFig, &pFig->nWrong, sRound + ": not in the last state ordered");
    int iReport = LastWparam(pSite->sRvxLog, "RVX <- 2215");
    ++pFig->nChecks;
    if (iReport != 0 && iReport != iWant) Fail(pFig, &pFig->nWrong, sRound + ": last 2215 stands wrong");
    for (int i = 0; i < 3; ++i) {
        if (aiBehaviour[i] == kKilled) continue;
        int iSet = LastWparam(pSite->asInfoLog[i], "<- 2733");
        ++pFig->nChecks;
        if (iSet != 0 && iSet != iWant) {
            Fail(pFig, &pFig->nWrong, sRound + ": last 2733 to " + std::to_string(301 + i) + " stands wrong:" + sDraw);
        }
    }

    if (pFig->asFailure.size() > nFailedBefore) PrintLastDebugLines(pSite->driver.dwPid);
    DWORD dwExit = 99;
    if (!CloseDriver(pSite, &dwExit)) {
        Fail(pFig, &pFig->nCrashes, sRound + ": no clean close, exit " + std::to_string(dwExit) + ":" + sDraw);
        EndProcess(&pSite->driver);
    }
    for (StartedProcess& p : aExtra) EndProcess(&p);
}

}  // namespace

int CampaignLate(int nCount, Figures* pFig)
{
    Site site;
    const std::string sLevels = "[Levels]\nLevel_01=F,R,101\nLevel_02=F,R,102\nLevel_03=F,R,103\n";
    // DebugMode 1: a round that fails shows what the driver said last.
    if (!CreateSite(&site) ||
        !WriteSiteProfile(&site, "DatabaseSize_0=16\nDatabaseSize_1=16\n", 1, "ExternalDLL=NONE\n", sLevels, 1)) {
        Fail(pFig, &pFig->nOther, "late: site not created");
        RemoveSite(&site);
        return 1;
    }
    if (!StartDebugCapture()) {
        Fail(pFig, &pFig->nOther, "late: the debug output is held by another program");
        RemoveSite(&site);
        return 1;
    }
    for (int iRound = 0; iRound < nCount; ++iRound) {
        EndProcess(&site.rvx);
        for (int i = 0; i < 3; ++i) EndProcess(&site.info[i]);
        Round(&site, iRound, pFig);
    }
    StopDebugCapture();
    RemoveSite(&site);
    return 0;
}
