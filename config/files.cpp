#include "config/files.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "config/filecodec.h"
#include "config/journal_file.h"
#include "config/profile.h"
#include "config/wholefile.h"
#include "core/log.h"

namespace {

RouteTables sRoutes;

// How long a file that exists but cannot be opened (a backup or another
// program holding it, say) is tried again before the driver gives up on it.
const DWORD kOpenRetryMs = 1000;

// The save timer's period: SaveDelay counts its ticks.
const UINT kSaveTickMs = 60000;

// Replaces the file as a whole: the new contents go to "<name>.new" in the
// same directory, are flushed to disc, and only then take the old file's
// place. A crash, a full disc or a write error at any point leaves the
// previous complete file.
bool ReplaceWholeFile(const char* pName, const unsigned char* pData, DWORD nSize)
{
    if (pName[0] == '\0') return false;
    char acTemp[MAX_PATH + 8];
    if (std::snprintf(acTemp, sizeof acTemp, "%s.new", pName) >= static_cast<int>(sizeof acTemp)) return false;
    DWORD dwError = 0;
    if (!WriteFlushedFile(acTemp, pData, nSize, &dwError)) return false;
    if (MoveIntoPlace(acTemp, pName)) return true;
    DeleteFileA(acTemp);
    return false;
}

// pFormat has two %s: the kind of file, then its name.
void LogFileProblem(const char* pFormat, const char* pWhat, const char* pName)
{
    char acLine[MAX_PATH + 64];
    std::snprintf(acLine, sizeof acLine, pFormat, pWhat, pName);
    DebugLog(acLine);
}

// The device's file name, or an empty text when it does not fit.
void FileName(char* pName, const char* pExtension)
{
    if (!DeviceFileName(pName, MAX_PATH, pExtension)) pName[0] = '\0';
}

// The two tables kept on disc. *pbDirty: the table has changed since it was
// loaded or last saved. bLoaded: this run has loaded it, so it holds the
// file's contents (or an empty table for a file that was missing or could
// not be read); a table never loaded is never written.
struct TableFile {
    const char* pExtension;
    const char* pWhat;   // for the log
    int* piTable;
    DWORD nSize;
    void (*pfnEncode)(const int*, unsigned char*);
    void (*pfnDecode)(const unsigned char*, size_t, int*);
    int* pbDirty;
    bool bLoaded;
    bool bSaveFailed;   // its last save failed: retried until one succeeds
};

SaveStateHook pfnSaveState = nullptr;

TableFile sIndexFile = {"DAT", "index", sRoutes.aiIndex, kIndexFileSize, EncodeIndex, DecodeIndex,
                        &sRoutes.bIndexDirty, false, false};
TableFile sLockFile = {"LCK", "lock", sRoutes.abLock, kLockFileSize, EncodeLocks, DecodeLocks,
                       &sRoutes.bLockDirty, false, false};

static_assert(kIndexFileSize >= kLockFileSize, "one buffer holds either file");

bool AnySaveFailed()
{
    return sIndexFile.bSaveFailed || sLockFile.bSaveFailed;
}

// A save that fails is never silent: a debug line whatever DebugMode says
// and a journal line each time, and the panel's mark while any table is
// unsaved. The first save that succeeds again says so too.
void NoteSaveResult(TableFile* pFile, bool bSaved, const char* pName)
{
    const bool bWasFailing = AnySaveFailed();
    char acLine[MAX_PATH + 96];
    if (!bSaved) {
        std::snprintf(acLine, sizeof acLine, "Couldn't write %s file - '%s' (kept in memory, tried again)",
                      pFile->pWhat, pName);
    } else if (pFile->bSaveFailed) {
        std::snprintf(acLine, sizeof acLine, "The %s file is written again - '%s'", pFile->pWhat, pName);
    } else {
        return;
    }
    pFile->bSaveFailed = !bSaved;
    DebugLogAlways(acLine);
    JournalNote(acLine);
    if (pfnSaveState != nullptr && bWasFailing != AnySaveFailed()) pfnSaveState(AnySaveFailed());
}

bool SaveTable(TableFile* pFile)
{
    char acName[MAX_PATH];
    FileName(acName, pFile->pExtension);
    unsigned char acData[kIndexFileSize];   // the larger of the two
    pFile->pfnEncode(pFile->piTable, acData);
    const bool bSaved = ReplaceWholeFile(acName, acData, pFile->nSize);
    if (bSaved) *pFile->pbDirty = 0;
    NoteSaveResult(pFile, bSaved, acName);
    return bSaved;
}

// Every change of a table retries the saves that failed.
void RetryFailedSaves(TableFile* pExcept)
{
    TableFile* apFile[] = {&sIndexFile, &sLockFile};
    for (TableFile* pFile : apFile) {
        if (pFile != pExcept && pFile->bSaveFailed && pFile->bLoaded) SaveTable(pFile);
    }
}

// A missing file starts the table empty and is written at once. A file that
// exists but cannot be read starts it empty too, but is not replaced by the
// empty table: the routes or locks in it are kept on disc until the driver
// changes the table.
void LoadTable(TableFile* pFile)
{
    char acName[MAX_PATH];
    FileName(acName, pFile->pExtension);
    std::vector<unsigned char> acData;
    unsigned long long nFileSize = 0;
    const WholeFileRead eResult = acName[0] == '\0'
                                      ? kWholeFileMissing
                                      : ReadWholeFileBytes(acName, FILE_SHARE_READ, kOpenRetryMs, pFile->nSize,
                                                           &acData, &nFileSize);
    pFile->bLoaded = true;
    *pFile->pbDirty = 0;
    if (eResult == kWholeFileRead) {
        // The driver writes only whole files: one of another size came from
        // elsewhere. It is read as it stands, and said whatever DebugMode is.
        if (nFileSize != pFile->nSize) {
            char acLine[MAX_PATH + 96];
            std::snprintf(acLine, sizeof acLine, "The %s file is %llu bytes, not %lu - '%s'", pFile->pWhat, nFileSize,
                          static_cast<unsigned long>(pFile->nSize), acName);
            DebugLogAlways(acLine);
        }
        pFile->pfnDecode(acData.data(), acData.size(), pFile->piTable);
        return;
    }
    for (int d = 1; d <= kPackageMax; ++d) pFile->piTable[d] = 0;
    if (eResult == kWholeFileUnreadable) {
        LogFileProblem("Couldn't read %s file - '%s' (left as it is)", pFile->pWhat, acName);
    } else {
        SaveTable(pFile);
    }
}

// At shut-down: the table is written when this run changed it, or when its
// file has gone since (so that the routes or locks it holds are not lost).
void SaveIfChanged(TableFile* pFile)
{
    if (!pFile->bLoaded) return;
    char acName[MAX_PATH];
    FileName(acName, pFile->pExtension);
    if (*pFile->pbDirty || GetFileAttributesA(acName) == INVALID_FILE_ATTRIBUTES) SaveTable(pFile);
}

}  // namespace

const RouteTables& Routes()
{
    return sRoutes;
}

// A re-take of the source already routed, or a lock command that sets what
// is set, changes nothing and marks nothing changed.
void SetRoute(int iDest, int iSource)
{
    if (iDest < 1 || iDest > kPackageMax) return;
    if (sRoutes.aiIndex[iDest] != iSource) {
        sRoutes.aiIndex[iDest] = iSource;
        sRoutes.bIndexDirty = 1;
    }
    RetryFailedSaves(nullptr);
}

void SetLocks(int iFirst, int iLast, int iValue)
{
    int iFrom = iFirst < 1 ? 1 : iFirst;
    int iTo = iLast > kPackageMax ? kPackageMax : iLast;
    bool bChanged = false;
    for (int d = iFrom; d <= iTo; ++d) {
        if (sRoutes.abLock[d] != iValue) bChanged = true;
        sRoutes.abLock[d] = iValue;
    }
    // The lock table is written at every lock command (so an unlock after a
    // lock file that could not be read reaches the disc); the route index
    // only when a lock changed.
    sRoutes.bLockDirty = 1;
    if (bChanged) sRoutes.bIndexDirty = 1;
    // The lock command writes the lock file itself.
    RetryFailedSaves(&sLockFile);
}

void LoadIndexFile()
{
    sRoutes.iSaveTicks = 0;
    LoadTable(&sIndexFile);
}

bool SaveIndexFile()
{
    return SaveTable(&sIndexFile);
}

void LoadLockFile()
{
    LoadTable(&sLockFile);
}

bool SaveLockFile()
{
    return SaveTable(&sLockFile);
}

bool SaveFailing()
{
    return AnySaveFailed();
}

void SetSaveStateHook(SaveStateHook pfnHook)
{
    pfnSaveState = pfnHook;
}

void SaveChangedTables()
{
    SaveIfChanged(&sIndexFile);
    SaveIfChanged(&sLockFile);
}

void StartSaveTimer(HWND hWnd, UINT_PTR uTimerId)
{
    SetTimer(hWnd, uTimerId, kSaveTickMs, nullptr);
}

// One tick of the save timer. A save that failed is tried again at every
// tick, so that a lock is on disc once saving works again, also when no
// command comes. SaveDelay is compared as an unsigned number, so a negative
// delay never comes round and the index is saved only at shut-down. A
// failed save leaves the index dirty for the next period.
void OnSaveTimer()
{
    RetryFailedSaves(nullptr);
    ++sRoutes.iSaveTicks;
    if (sRoutes.iSaveTicks < static_cast<unsigned int>(Profile().SaveDelay)) return;
    sRoutes.iSaveTicks = 0;
    if (sRoutes.bIndexDirty) SaveIndexFile();
}
