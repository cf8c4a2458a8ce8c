#include "config/journal_file.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "config/profile.h"
#include "core/device_names.h"
#include "core/log.h"

namespace {

// Room for the lines of a take, so that one take is one write.
const size_t kJournalBuffer = 16384;

struct JournalFile {
    FILE* pFile;
    char acName[MAX_PATH];
    unsigned long long nBytes;      // the file's size with what has been appended
    unsigned long long nRotateAt;   // the size at which it moves to its .1 file
    bool bStopped;
    bool bHeldTold;   // a move refused because another program holds the file, said once
};
JournalFile sJournal = {nullptr, "", 0, 0, false, false};

unsigned long long JournalBytes()
{
    return static_cast<unsigned long long>(Profile().JournalSize) * 1024;
}

// The file is closed and nothing more is written in this run (until the
// profile is loaded again); the one line says so whatever DebugMode is,
// since a site that relies on the journal must hear of it.
void StopJournal(const char* pWhy)
{
    if (sJournal.pFile != nullptr) std::fclose(sJournal.pFile);
    sJournal.pFile = nullptr;
    sJournal.bStopped = true;
    char acLine[MAX_PATH + 96];
    std::snprintf(acLine, sizeof acLine, "Take journal stopped - %s '%s': takes go on without it", pWhy,
                  sJournal.acName);
    DebugLogAlways(acLine);
}

bool OpenJournal()
{
    if (!DeviceFileName(sJournal.acName, sizeof sJournal.acName, "LOG")) {
        FormatDeviceFileName(sJournal.acName, sizeof sJournal.acName, nullptr, Profile().iDevice, "LOG");
        StopJournal("the configuration directory is too long for");
        return false;
    }
    sJournal.nBytes = 0;
    WIN32_FILE_ATTRIBUTE_DATA sData;
    if (GetFileAttributesExA(sJournal.acName, GetFileExInfoStandard, &sData)) {
        sJournal.nBytes = (static_cast<unsigned long long>(sData.nFileSizeHigh) << 32) | sData.nFileSizeLow;
    }
    sJournal.pFile = std::fopen(sJournal.acName, "ab");
    if (sJournal.pFile == nullptr) {
        StopJournal("cannot open");
        return false;
    }
    std::setvbuf(sJournal.pFile, nullptr, _IOFBF, kJournalBuffer);
    sJournal.nRotateAt = JournalBytes();
    return true;
}

// The full file becomes the old one, replacing the one before; the next
// line starts a new file.
void RotateJournal()
{
    std::fclose(sJournal.pFile);
    sJournal.pFile = nullptr;
    char acOld[MAX_PATH + 4];
    std::snprintf(acOld, sizeof acOld, "%s.1", sJournal.acName);
    if (!MoveFileExA(sJournal.acName, acOld, MOVEFILE_REPLACE_EXISTING)) {
        // Most often a viewer that follows the file holds it open: the
        // journal goes on in the same file and tries again once it has
        // grown by another JournalSize.
        char acLine[MAX_PATH + 128];
        std::snprintf(acLine, sizeof acLine,
                      "Take journal '%s' cannot move to its .1 file (error %lu): it grows on and is moved later",
                      sJournal.acName, GetLastError());
        if (!OpenJournal()) return;
        if (!sJournal.bHeldTold) DebugLogAlways(acLine);
        sJournal.bHeldTold = true;
        sJournal.nRotateAt = sJournal.nBytes + JournalBytes();
        return;
    }
    sJournal.nBytes = 0;
    sJournal.nRotateAt = JournalBytes();
}

}  // namespace

bool JournalOn()
{
    return Profile().JournalSize > 0 && !sJournal.bStopped;
}

JournalTime JournalClock()
{
    // UTC: a step of the local clock (daylight saving, a time zone set
    // anew) never puts the lines out of order.
    SYSTEMTIME st;
    GetSystemTime(&st);
    JournalTime sTime = {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
    return sTime;
}

void JournalLine(const char* pLine)
{
    if (!JournalOn()) return;
    if (sJournal.pFile == nullptr && !OpenJournal()) return;
    const size_t n = std::strlen(pLine);
    if (std::fwrite(pLine, 1, n, sJournal.pFile) != n || std::fwrite("\r\n", 1, 2, sJournal.pFile) != 2) {
        StopJournal("cannot write");
        return;
    }
    sJournal.nBytes += n + 2;
}

void JournalEvent(const char* pKind, const std::string& sText)
{
    if (JournalLineNow([&](char* pOut, size_t nSize, const JournalTime& sTime) {
            FormatJournalEvent(pOut, nSize, sTime, pKind, sText.c_str());
        })) {
        FlushJournal();
    }
}

void JournalNote(const char* pText)
{
    if (JournalLineNow([&](char* pOut, size_t nSize, const JournalTime& sTime) {
            FormatJournalNote(pOut, nSize, sTime, pText);
        })) {
        FlushJournal();
    }
}

void FlushJournal()
{
    if (sJournal.pFile == nullptr) return;
    if (std::fflush(sJournal.pFile) != 0) {
        StopJournal("cannot write");
        return;
    }
    if (sJournal.nBytes >= sJournal.nRotateAt) RotateJournal();
}

void CloseJournal()
{
    if (sJournal.pFile != nullptr) std::fclose(sJournal.pFile);
    sJournal.pFile = nullptr;
    sJournal.bStopped = false;
    sJournal.bHeldTold = false;
}
