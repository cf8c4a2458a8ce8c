// Whole files read and replaced, for the driver's tables and the site
// tools alike: a file is read in one go, and replaced only by a complete,
// flushed copy, so that a crash or a full disc leaves the previous file.
#pragma once
#include <windows.h>

#include <cstddef>
#include <vector>

enum WholeFileRead { kWholeFileRead, kWholeFileMissing, kWholeFileUnreadable };

// Reads at most nLimit bytes of the file into *pacData; *pnFileSize gets
// its size on disc. dwShare: what other programs may do with the file while
// it is open. A file that exists but cannot be opened (another program
// holding it) is tried again every 50 ms for dwRetryMs. A read that fails
// partway makes the file unreadable: part of a file is never taken for it.
WholeFileRead ReadWholeFileBytes(const char* pName, DWORD dwShare, DWORD dwRetryMs, size_t nLimit,
                                 std::vector<unsigned char>* pacData, unsigned long long* pnFileSize);

// Writes the bytes to pTemp (created afresh) and flushes them to disc.
// False with the system's error code when that failed; a file that was
// created is deleted again.
bool WriteFlushedFile(const char* pTemp, const void* pData, DWORD nSize, DWORD* pdwError);

// Puts the written copy in the place of the file, through to disc.
bool MoveIntoPlace(const char* pTemp, const char* pName);
