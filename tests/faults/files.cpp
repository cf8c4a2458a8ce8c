// Saves that fail. Each round starts the driver (DebugMode 0) on the files
// the round before left and sends it a burst of takes, locks with their
// confirming "RP" and polls (the kill campaign's model). At a random command
// of the burst, while the driver works, something unwritable is planted in
// the configuration folder: a folder named DEV_201.LCK.new, DEV_201.DAT.new
// or both (where a save writes its new file), or the lock or index file
// itself replaced by a folder. At a later random command (after an "RP" has
// shown that everything before it was processed) it is removed again; in one
// round in four it stays until the driver has closed. Then:
// - every lock command processed while the lock file could not be written
//   is reported: the debug line "Couldn't write lock file" (DebugMode is 0),
//   the same line in the journal, and " - NOT SAVED" in the window title;
// - once the plant has gone, the next change (a take) retries the failed
//   save: "The lock file is written again", the title loses its mark, and
//   the lock file holds every lock RVX saw confirmed;
// - after the close both files hold the model (routes and locks), and the
//   driver ends within 30 s with code 0; a plant left in place over the
//   close is reported by the shut-down for each table the round changed,
//   and the other file still holds the model;
// - every failure line of the debug output has its line in the journal.
// nCount is the number of rounds.
#include <cstdio>
#include <string>
#include <vector>

#include "core/messages.h"
#include "tests/faults/burst.h"
#include "tests/faults/campaigns.h"
#include "tests/faults/site.h"

namespace {

enum Plant { kLockNew, kIndexNew, kBothNew, kLockFolder, kIndexFolder, kPlants };
const char* const apPlant[kPlants] = {"folder DEV_201.LCK.new", "folder DEV_201.DAT.new", "both .new folders",
                                      "DEV_201.LCK replaced by a folder", "DEV_201.DAT replaced by a folder"};

bool PlantsLock(int iPlant)
{
    return iPlant == kLockNew || iPlant == kBothNew || iPlant == kLockFolder;
}

bool PlantsIndex(int iPlant)
{
    return iPlant == kIndexNew || iPlant == kBothNew || iPlant == kIndexFolder;
}

// The folders of a plant.
std::vector<std::string> PlantFolders(const Site* pSite, int iPlant)
{
    switch (iPlant) {
    case kLockNew: return {SiteFile(pSite, "LCK.new")};
    case kIndexNew: return {SiteFile(pSite, "DAT.new")};
    case kBothNew: return {SiteFile(pSite, "LCK.new"), SiteFile(pSite, "DAT.new")};
    case kLockFolder: return {SiteFile(pSite, "LCK")};
    default: return {SiteFile(pSite, "DAT")};
    }
}

// Creates the folders, each in place of the file of its name. The driver may
// be saving that very moment (its new file exists for an instant, or its
// move has just put the file back), so each is tried a few times.
bool PlantIt(const Site* pSite, int iPlant)
{
    for (const std::string& s : PlantFolders(pSite, iPlant)) {
        bool bMade = false;
        for (int i = 0; i < 50 && !bMade; ++i) {
            DeleteFileA(s.c_str());
            bMade = CreateDirectoryA(s.c_str(), nullptr) != 0;
            if (!bMade) Sleep(2);
        }
        if (!bMade) return false;
    }
    return true;
}

void RemovePlant(const Site* pSite, int iPlant)
{
    for (const std::string& s : PlantFolders(pSite, iPlant)) RemoveDirectoryA(s.c_str());
}

std::string Title(HWND hWnd)
{
    char ac[160] = "";
    GetWindowTextA(hWnd, ac, sizeof ac);
    return ac;
}

int CountDebug(DWORD dwPid, const char* pPart)
{
    int n = 0;
    for (const std::string& s : DebugLines(dwPid)) n += s.find(pPart) != std::string::npos;
    return n;
}

struct Totals {
    int anPlant[kPlants] = {0, 0, 0, 0, 0};
    int nKept = 0;             // rounds whose plant stayed over the close
    long nFailedSaves = 0;     // "Couldn't write" debug lines
    long nWrittenAgain = 0;    // "is written again" debug lines
    long nMarked = 0;          // titles seen with the mark
    long nLockCommands = 0;    // "RL" sent while a lock plant stood
};

// The report of a failed save of that table: a debug line, a journal line
// beyond those the journal held at the round's start, and (bTitle) the mark.
void CheckReported(Site* pSite, DWORD dwPid, const char* pWhat, int nJournalBefore, bool bTitle,
                   const std::string& sWhen, Totals* pTotals, Figures* pFig)
{
    const std::string sLine = std::string("Couldn't write ") + pWhat + " file";
    pFig->nChecks += bTitle ? 3 : 2;
    if (CountDebug(dwPid, sLine.c_str()) == 0) {
        Fail(pFig, &pFig->nLost, sWhen + ": no debug line \"" + sLine + "\"");
    }
    if (CountLines(SiteFile(pSite, "LOG"), {sLine}) <= nJournalBefore) {
        Fail(pFig, &pFig->nLost, sWhen + ": no journal line \"" + sLine + "\"");
    }
    if (!bTitle) return;
    std::string sTitle = Title(pSite->hDriver);
    const std::string sMark = " - NOT SAVED";
    if (sTitle.size() >= sMark.size() && sTitle.compare(sTitle.size() - sMark.size(), sMark.size(), sMark) == 0) {
        ++pTotals->nMarked;
    } else {
        Fail(pFig, &pFig->nWrong, sWhen + ": the title is \"" + sTitle + "\" with a save failing");
    }
}

void Round(Site* pSite, int iRound, RouteState* pModel, Totals* pTotals, Figures* pFig)
{
    int iPlant = RandomBelow(kPlants);
    bool bKeep = RandomBelow(4) == 0;
    const std::string sRound = "files: round " + std::to_string(iRound) + " (" + apPlant[iPlant] +
                               (bKeep ? ", kept over the close" : "") + ")";
    ++pTotals->anPlant[iPlant];
    pTotals->nKept += bKeep;
    const std::string sJournal = SiteFile(pSite, "LOG");
    const int nLockJournal = CountLines(sJournal, {"Couldn't write lock file"});
    const int nIndexJournal = CountLines(sJournal, {"Couldn't write index file"});
    ClearDebugLines();
    if (!StartRvx(pSite) || !StartDriver(pSite) || !WaitDriverServing(pSite, 60000)) {
        Fail(pFig, &pFig->nOther, sRound + ": the driver did not come up");
        EndProcess(&pSite->driver);
        EndProcess(&pSite->rvx);
        return;
    }
    ++pFig->nCases;
    const DWORD dwPid = pSite->driver.dwPid;
    // The files the round starts on: what the last round left, or what the
    // driver made of missing ones.
    CheckSiteFiles(pSite, *pModel, true, true, sRound + ": at the start", pFig);

    std::vector<BurstCommand> aCommand;
    std::vector<RouteState> aState;
    MakeBurst(*pModel, &aCommand, &aState);
    const int n = static_cast<int>(aCommand.size());
    const int iPlantAt = RandomBelow(n);
    const int iRemoveAt = iPlantAt + 1 + RandomBelow(n - iPlantAt);   // n: after the burst
    bool bPlanted = false;
    bool bLockFailing = false;   // a lock command processed with the lock plant standing
    bool bLockAfter = false;     // a lock command sent once the plant had gone
    auto Fence = [&](int iWs) {
        ++pFig->nChecks;
        if (PollRoute(pSite, 1, iWs, 30000) < 0) Fail(pFig, &pFig->nLost, sRound + ": the burst was not processed");
    };
    auto Remove = [&]() {
        Fence(990);
        if (bLockFailing) {
            CheckReported(pSite, dwPid, "lock", nLockJournal, true, sRound + ": with the plant", pTotals, pFig);
        }
        RemovePlant(pSite, iPlant);
        bPlanted = false;
    };
    for (int k = 0; k < n; ++k) {
        if (k == iPlantAt) {
            PumpFor(static_cast<DWORD>(RandomBelow(20)));
            bPlanted = PlantIt(pSite, iPlant);
            if (!bPlanted) Fail(pFig, &pFig->nOther, sRound + ": could not plant");
        }
        if (k == iRemoveAt && !bKeep) Remove();
        const std::string& sText = aCommand[static_cast<size_t>(k)].sText;
        if (bPlanted && PlantsLock(iPlant) && sText.compare(0, 3, "RL ") == 0) {
            bLockFailing = true;
            ++pTotals->nLockCommands;
        }
        if (k > iPlantAt && !bPlanted && sText.compare(0, 3, "RL ") == 0) bLockAfter = true;
        if (SendToDriver(pSite, MSG_DRIVER_COMMAND, sText) != 1) {
            Fail(pFig, &pFig->nOther, sRound + ": command not accepted: " + sText);
        }
        ++pFig->nInputs;
        PumpFor(static_cast<DWORD>(RandomBelow(3)));
    }
    *pModel = aState.back();
    const RouteState& sStart = aState.front();
    const bool bChanged = pModel->aiIndex != sStart.aiIndex || pModel->aiLock != sStart.aiLock;

    if (!bKeep) {
        if (bPlanted) Remove();
        // A change once saving works again, which must retry every failed
        // save: a take on an unlocked destination (a lock command would
        // write the lock file itself).
        int d = 1;
        while (d < kBurstPackages && pModel->aiLock[static_cast<size_t>(d)] != 0) ++d;
        if (pModel->aiLock[static_cast<size_t>(d)] == 0) {
            int iSource = pModel->aiIndex[static_cast<size_t>(d)] != 0 ? pModel->aiIndex[static_cast<size_t>(d)] : 1;
            pModel->aiIndex[static_cast<size_t>(d)] = iSource;
            SendToDriver(pSite, MSG_DRIVER_COMMAND,
                         "RC 201 " + std::to_string(iSource) + " " + std::to_string(d) + " ',1' 998");
        } else {
            SendToDriver(pSite, MSG_DRIVER_COMMAND, "RL 201 1 1 " + std::to_string(pModel->aiLock[1]) + " 998");
        }
        Fence(991);
        pFig->nChecks += 2;
        std::string sTitle = Title(pSite->hDriver);
        if (sTitle.find("NOT SAVED") != std::string::npos) {
            Fail(pFig, &pFig->nWrong, sRound + ": the title is \"" + sTitle + "\" once saving works again");
        }
        if (bLockFailing && CountDebug(dwPid, "The lock file is written again") == 0) {
            Fail(pFig, &pFig->nLost, sRound + ": the failed lock save was not retried");
        }
        // A lock file replaced by a folder while no lock command came is
        // missing until the next lock command or the close: the driver saw
        // no failed save, and writes a table whose file has gone at its close.
        bool bLockFileBack = iPlant != kLockFolder || bLockFailing || bLockAfter;
        CheckSiteFiles(pSite, *pModel, bLockFileBack, false, sRound + ": once saving works again", pFig);
    } else {
        Fence(990);
        if (bLockFailing) {
            CheckReported(pSite, dwPid, "lock", nLockJournal, true, sRound + ": with the plant", pTotals, pFig);
        }
    }

    DWORD dwRequest = GetTickCount();
    DWORD dwExit = 99;
    ++pFig->nChecks;
    if (!CloseDriver(pSite, &dwExit) || GetTickCount() - dwRequest > 30000) {
        Fail(pFig, &pFig->nCrashes, sRound + ": no clean close within 30 s, exit " + std::to_string(dwExit));
    }
    EndProcess(&pSite->driver);
    EndProcess(&pSite->rvx);
    PumpFor(100);   // the last debug texts
    pTotals->nFailedSaves += CountDebug(dwPid, "Couldn't write");
    pTotals->nWrittenAgain += CountDebug(dwPid, "is written again");

    // Every failure line of the debug output has its journal line.
    const int nLockDebug = CountDebug(dwPid, "Couldn't write lock file");
    const int nIndexDebug = CountDebug(dwPid, "Couldn't write index file");
    pFig->nChecks += 2;
    if (CountLines(sJournal, {"Couldn't write lock file"}) - nLockJournal != nLockDebug ||
        CountLines(sJournal, {"Couldn't write index file"}) - nIndexJournal != nIndexDebug) {
        Fail(pFig, &pFig->nWrong, sRound + ": the journal's failure lines differ from the debug output's");
    }
    if (!bKeep) {
        CheckSiteFiles(pSite, *pModel, true, true, sRound + ": after the close", pFig);
        return;
    }
    // Kept over the close: the shut-down reports what it could not save;
    // the other file holds the model. The next round starts on what is left.
    if (bPlanted && PlantsIndex(iPlant) && bChanged) {
        CheckReported(pSite, dwPid, "index", nIndexJournal, false, sRound + ": at the close", pTotals, pFig);
    }
    if (bLockFailing) {
        CheckReported(pSite, dwPid, "lock", nLockJournal, false, sRound + ": at the close", pTotals, pFig);
    }
    CheckSiteFiles(pSite, *pModel, !PlantsLock(iPlant), !PlantsIndex(iPlant), sRound + ": after the close", pFig);
    RemovePlant(pSite, iPlant);
    std::string sIndex;
    std::string sLock;
    RouteState sLeft;
    std::string sWhy;
    ReadWholeFile(SiteFile(pSite, "DAT"), &sIndex);
    ReadWholeFile(SiteFile(pSite, "LCK"), &sLock);
    // A file replaced by a folder is missing now; the driver starts that
    // table empty.
    if (sIndex.empty()) sIndex.assign(8192, '\0');
    if (sLock.empty()) sLock.assign(4096, '\0');
    ++pFig->nChecks;
    if (!DecodeFiles(sIndex, sLock, &sLeft, &sWhy)) {
        Fail(pFig, &pFig->nTorn, sRound + ": after the plant was removed: " + sWhy);
        return;
    }
    *pModel = sLeft;
}

}  // namespace

int CampaignFiles(int nCount, Figures* pFig)
{
    Site site;
    bool bUp = CreateSite(&site) && WriteCampaignProfile(&site, "DatabaseSize_0=64\nDatabaseSize_1=64\n") &&
               StartInfoDriver(&site, 0, PackageSlots()) && StartInfoDriver(&site, 1, PackageSlots()) &&
               StartInfoDriver(&site, 2, LevelMapSlots());
    if (!bUp || !StartDebugCapture()) {
        Fail(pFig, &pFig->nOther, "files: the site did not come up");
        RemoveSite(&site);
        return 1;
    }
    RouteState sModel;
    Totals totals;
    for (int iRound = 0; iRound < nCount; ++iRound) Round(&site, iRound, &sModel, &totals, pFig);
    StopDebugCapture();
    std::printf("files: plants:");
    for (int i = 0; i < kPlants; ++i) std::printf("%s %d %s", i > 0 ? "," : "", totals.anPlant[i], apPlant[i]);
    std::printf("; %d kept over the close\n", totals.nKept);
    std::printf("files: %ld commands, %ld lock commands with a lock plant standing; %ld failed saves reported, "
                "%ld titles marked, %ld saves written again\n",
                pFig->nInputs, totals.nLockCommands, totals.nFailedSaves, totals.nMarked, totals.nWrittenAgain);
    RemoveSite(&site);
    return 0;
}
