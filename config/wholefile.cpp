#include "config/wholefile.h"

namespace {

const DWORD kOpenRetryStep = 50;
const DWORD kReadBlock = 65536;

}  // namespace

WholeFileRead ReadWholeFileBytes(const char* pName, DWORD dwShare, DWORD dwRetryMs, size_t nLimit,
                                 std::vector<unsigned char>* pacData, unsigned long long* pnFileSize)
{
    pacData->clear();
    *pnFileSize = 0;
    HANDLE hFile;
    for (DWORD dwWaited = 0;; dwWaited += kOpenRetryStep) {
        hFile = CreateFileA(pName, GENERIC_READ, dwShare, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hFile != INVALID_HANDLE_VALUE) break;
        DWORD dwError = GetLastError();
        if (dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND) return kWholeFileMissing;
        if (dwWaited >= dwRetryMs) return kWholeFileUnreadable;
        Sleep(kOpenRetryStep);
    }
    LARGE_INTEGER liSize;
    if (GetFileSizeEx(hFile, &liSize)) *pnFileSize = static_cast<unsigned long long>(liSize.QuadPart);
    WholeFileRead eResult = kWholeFileRead;
    while (pacData->size() < nLimit) {
        const size_t nHave = pacData->size();
        const size_t nLeft = nLimit - nHave;
        const DWORD nWant = nLeft < kReadBlock ? static_cast<DWORD>(nLeft) : kReadBlock;
        pacData->resize(nHave + nWant);
        DWORD nGot = 0;
        const bool bOk = ReadFile(hFile, pacData->data() + nHave, nWant, &nGot, nullptr) != 0;
        pacData->resize(nHave + nGot);
        if (!bOk) {
            eResult = kWholeFileUnreadable;
            break;
        }
        if (nGot == 0) break;
    }
    CloseHandle(hFile);
    if (eResult != kWholeFileRead) pacData->clear();
    return eResult;
}

bool WriteFlushedFile(const char* pTemp, const void* pData, DWORD nSize, DWORD* pdwError)
{
    HANDLE hFile = CreateFileA(pTemp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        *pdwError = GetLastError();
        return false;
    }
    DWORD nWritten = 0;
    const bool bOk = WriteFile(hFile, pData, nSize, &nWritten, nullptr) && nWritten == nSize && FlushFileBuffers(hFile);
    *pdwError = bOk ? ERROR_SUCCESS : GetLastError();
    CloseHandle(hFile);
    if (!bOk) DeleteFileA(pTemp);
    return bOk;
}

bool MoveIntoPlace(const char* pTemp, const char* pName)
{
    return MoveFileExA(pTemp, pName, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
