#include "config/files.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "config/filecodec.h"
#include "config/journal_file.h"
#include "config/profile.h"
#include "core/log.h"

namespace {

RouteTables sRoutes;

// How long a file that exists but cannot be opened (a backup or another
// program holding it, say) is tried again before the driver gives up on it.
const DWORD kOpenRetryMs = 1000;
const DWORD kOpenRetryStep = 50;

enum ReadResult { kRead, kMissing, kUnreadable };

// Reads at most nSize bytes of the file; *pnFileSize gets its size on disc.
ReadResult ReadWholeFile(const char* pName, unsigned char* pData, DWORD nSize, DWORD* pnRead,
                         unsigned long long* pnFileSize)
{
    *pnRead = 0;
    *pnFileSize = 0;
    if (pName[0] == '\0') return kMissing;
    HANDLE hFile;
    for (DWORD dwWaited = 0;; dwWaited += kOpenRetryStep) {
        hFile = CreateFileA(pName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
        if (hFile != INVALID_HANDLE_VALUE) break;
        DWORD dwError = GetLastError();
        if (dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND) return kMissing;
        if (dwWaited >= kOpenRetryMs) return kUnreadable;
        Sleep(kOpenRetryStep);
    }
    LARGE_INTEGER liSize;
    if (GetFileSizeEx(hFile, &liSize)) *pnFileSize = static_cast<unsigned long long>(liSize.QuadPart);
    while (*pnRead < nSize) {
        DWORD nGot = 0;
        if (!ReadFile(hFile, pData + *pnRead, nSize - *pnRead, &nGot, nullptr) || nGot == 0) break;
        *pnRead += nGot;
    }
    CloseHandle(hFile);
    return kRead;
}

// Replaces the file as a whole: the new contents go to "<name>.new" in the
// same directory, are flushed to disc, and only then take the old file's
// place. A crash, a full disc or a write error at any point leaves the
// previous complete file.
bool ReplaceWholeFile(const char* pName, const unsigned char* pData, DWORD nSize)
{
    if (pName[0] == '\0') return false;
    char acTemp[MAX_PATH + 8];
    if (std::snprintf(acTemp, sizeof acTemp, "%s.new", pName) >= static_cast<int>(sizeof acTemp)) return false;

    HANDLE hFile = CreateFileA(acTemp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return false;
    DWORD nWritten = 0;
    bool bOk = WriteFile(hFile, pData, nSize, &nWritten, nullptr) && nWritten == nSize;
    bOk = bOk && FlushFileBuffers(hFile);
    CloseHandle(hFile);
    if (bOk) bOk = MoveFileExA(acTemp, pName, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!bOk) DeleteFileA(acTemp);
    return bOk;
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
    unsigned char acData[kIndexFileSize];   // the larger of the two
    DWORD nRead = 0;
    unsigned long long nFileSize = 0;
    ReadResult eResult = ReadWholeFile(acName, acData, pFile->nSize, &nRead, &nFileSize);
    pFile->bLoaded = true;
    *pFile->pbDirty = 0;
    if (eResult == kRead) {
        // The driver writes only whole files: one of another size came from
        // elsewhere. It is read as it stands, and said whatever DebugMode is.
        if (nFileSize != pFile->nSize) {
            char acLine[MAX_PATH + 96];
            std::snprintf(acLine, sizeof acLine, "The %s file is %llu bytes, not %lu - '%s'", pFile->pWhat, nFileSize,
                          static_cast<unsigned long>(pFile->nSize), acName);
            DebugLogAlways(acLine);
        }
        pFile->pfnDecode(acData, nRead, pFile->piTable);
        return;
    }
    for (int d = 1; d <= kPackageMax; ++d) pFile->piTable[d] = 0;
    if (eResult == kUnreadable) {
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

// One tick of the save timer. SaveDelay is compared as an unsigned number, so
// a negative delay never comes round and the index is saved only at
// shut-down. A failed save leaves the index dirty for the next period.
void OnSaveTimer()
{
    ++sRoutes.iSaveTicks;
    if (sRoutes.iSaveTicks < static_cast<unsigned int>(Profile().SaveDelay)) return;
    sRoutes.iSaveTicks = 0;
    if (sRoutes.bIndexDirty) SaveIndexFile();
}
