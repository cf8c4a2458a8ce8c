#include "config/paths.h"

#include <windows.h>

#include <cstring>

namespace {

const char kSystemConfigFile[] = "c:\\kelm_config.ini";
const char kConfigSection[] = "Config";
const char kNotSet[] = "NONE";
const int kWorkLimit = 512;   // longest path any source may give: 511 characters

// Copies pDir into pOut with the rest of pOut zero-filled. A directory that
// does not fit is refused whole: a cut directory would name another place.
int CopyDirectory(const char* pDir, char* pOut, int nSize)
{
    std::memset(pOut, 0, static_cast<size_t>(nSize));
    size_t nLen = std::strlen(pDir);
    if (nLen >= static_cast<size_t>(nSize)) return 0;
    std::memcpy(pOut, pDir, nLen);
    return 1;
}

// The lookup shared by the three directories: the environment, then the
// [Config] key of the system configuration file, then the Windows directory,
// which is recorded under the key for next time when bRecord says so.
int FindDirectory(const char* pSuffix, const char* pKey, char* pOut, int nSize, bool bRecord,
                  DirectoryOrigin* peOrigin)
{
    if (pOut == nullptr || nSize <= 0) return 0;
    char acWork[kWorkLimit + 2];
    if (JoinRootSystem(acWork, kWorkLimit) &&
        std::strlen(acWork) + std::strlen(pSuffix) < static_cast<size_t>(kWorkLimit)) {
        std::strcat(acWork, pSuffix);
        if (peOrigin != nullptr) *peOrigin = kDirFromEnvironment;
        return CopyDirectory(acWork, pOut, nSize);
    }

    // Read with room to spare so that a value too long for the working
    // buffer is seen as such instead of being cut by the read.
    char acValue[2 * kWorkLimit];
    DWORD nRead = GetPrivateProfileStringA(kConfigSection, pKey, kNotSet, acValue, sizeof acValue,
                                           kSystemConfigFile);
    if (std::strcmp(acValue, kNotSet) != 0) {
        if (peOrigin != nullptr) *peOrigin = kDirFromSystemConfig;
        if (nRead >= static_cast<DWORD>(kWorkLimit)) {
            CopyDirectory("", pOut, nSize);
            return 0;
        }
        return CopyDirectory(acValue, pOut, nSize);
    }

    if (peOrigin != nullptr) *peOrigin = kDirFromWindows;
    UINT nWindows = GetWindowsDirectoryA(acWork, kWorkLimit);
    if (nWindows == 0 || nWindows >= static_cast<UINT>(kWorkLimit)) {
        CopyDirectory("", pOut, nSize);
        return 0;
    }
    if (bRecord) WritePrivateProfileStringA(kConfigSection, pKey, acWork, kSystemConfigFile);
    return CopyDirectory(acWork, pOut, nSize);
}

// Reads one environment variable into pOut (nRoom bytes). Returns its length,
// or -1 when it is not set or does not fit.
int ReadVariable(const char* pName, char* pOut, int nRoom)
{
    if (nRoom <= 0) return -1;
    SetLastError(ERROR_SUCCESS);
    DWORD n = GetEnvironmentVariableA(pName, pOut, static_cast<DWORD>(nRoom));
    if (n == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return -1;
    if (n >= static_cast<DWORD>(nRoom)) return -1;
    return static_cast<int>(n);
}

}  // namespace

// Both variables must be set and their lengths together at most iLimit; the
// joined text then takes at most iLimit + 2 bytes with backslash and
// terminator. Each value is read straight into its place in pBuffer.
bool JoinRootSystem(char* pBuffer, int iLimit)
{
    if (pBuffer == nullptr || iLimit < 0) return false;
    int nRoot = ReadVariable("CC_ROOT", pBuffer, iLimit + 2);
    if (nRoot < 0 || nRoot > iLimit) {
        pBuffer[0] = '\0';
        return false;
    }
    pBuffer[nRoot] = '\\';
    int nSystem = ReadVariable("CC_SYSTEM", pBuffer + nRoot + 1, iLimit - nRoot + 1);
    if (nSystem < 0) {
        pBuffer[0] = '\0';
        return false;
    }
    return true;
}

int GetConfigDir(char* pOut, int nSize)
{
    return FindDirectory("\\config\\system", "ConfigPath", pOut, nSize, true, nullptr);
}

int GetSystemDir(char* pOut, int nSize)
{
    return FindDirectory("\\windows\\lib", "SystemPath", pOut, nSize, true, nullptr);
}

int GetTempDir(char* pOut, int nSize)
{
    return FindDirectory("\\config\\system", "TempPath", pOut, nSize, true, nullptr);
}

int LookUpConfigDir(char* pOut, int nSize, DirectoryOrigin* peOrigin)
{
    return FindDirectory("\\config\\system", "ConfigPath", pOut, nSize, false, peOrigin);
}
