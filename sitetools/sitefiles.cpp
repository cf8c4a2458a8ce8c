#include "sitetools/sitefiles.h"

#include <cstdio>
#include <cstring>

#include "config/paths.h"
#include "config/wholefile.h"
#include "core/device_arg.h"
#include "core/device_names.h"
#include "core/limits.h"
#include "res/version.h"

namespace {

const DWORD kListBuffer = 65536;         // whole values and name lists
const DWORD kFileLimit = 16 * 1024 * 1024;

std::vector<std::string> NulSeparated(const char* pList, DWORD nLength)
{
    std::vector<std::string> asName;
    for (DWORD i = 0; i < nLength;) {
        std::string sName(pList + i);
        if (sName.empty()) break;
        i += static_cast<DWORD>(sName.size()) + 1;
        asName.push_back(sName);
    }
    return asName;
}

}  // namespace

bool IsVersionRequest(const char* pArg)
{
    return std::strcmp(pArg, "--version") == 0;
}

void PrintVersion(const char* pTool)
{
    std::printf("%s %s\n", pTool, ZUR_VERSION);
}

bool ParseDeviceNumber(const char* pText, int* piDevice)
{
    return ParseDeviceArgument(pText, piDevice);
}

ConfigDirectory FindConfigDirectory()
{
    ConfigDirectory dir = {"", "", false};
    // The driver copies the directory into a MAX_PATH buffer and refuses one
    // that does not fit.
    char acDir[MAX_PATH];
    DirectoryOrigin eOrigin = kDirFromEnvironment;
    if (LookUpConfigDir(acDir, sizeof acDir, &eOrigin)) dir.sDir = acDir;
    switch (eOrigin) {
    case kDirFromEnvironment:
        dir.sFrom = "from CC_ROOT and CC_SYSTEM";
        break;
    case kDirFromSystemConfig:
        dir.sFrom = "from [Config] ConfigPath of c:\\kelm_config.ini";
        break;
    case kDirFromWindows:
        dir.sFrom = "the Windows directory: c:\\kelm_config.ini has no [Config] ConfigPath";
        dir.bWouldRecord = true;
        break;
    }
    return dir;
}

std::string DeviceFilePath(const std::string& sDir, int iDevice, const char* pExtension)
{
    char acPath[MAX_PATH];
    if (sDir.empty() || !FormatDeviceFileName(acPath, sizeof acPath, sDir.c_str(), iDevice, pExtension)) return "";
    return acPath;
}

ProfileSource ProfileFileSource(const std::string& sPath)
{
    ProfileSource source;
    source.fnRead = [sPath](const char* pSection, const char* pKey, const char* pDefault, int nBuffer) {
        std::vector<char> acValue(static_cast<size_t>(nBuffer) + 1, '\0');
        GetPrivateProfileStringA(pSection, pKey, pDefault, acValue.data(), static_cast<DWORD>(nBuffer),
                                 sPath.c_str());
        return std::string(acValue.data());
    };
    source.fnWhole = [sPath](const char* pSection, const char* pKey, std::string* psValue) {
        // A default no profile holds tells a missing key from an empty one.
        const char kMissing[] = "\x01-no such key-\x01";
        std::vector<char> acValue(kListBuffer + 1, '\0');
        GetPrivateProfileStringA(pSection, pKey, kMissing, acValue.data(), kListBuffer, sPath.c_str());
        if (std::strcmp(acValue.data(), kMissing) == 0) return false;
        *psValue = acValue.data();
        return true;
    };
    source.fnNames = [sPath](const char* pSection) {
        std::vector<char> acList(kListBuffer + 2, '\0');
        DWORD n = pSection == nullptr
                      ? GetPrivateProfileSectionNamesA(acList.data(), kListBuffer, sPath.c_str())
                      : GetPrivateProfileStringA(pSection, nullptr, "", acList.data(), kListBuffer, sPath.c_str());
        return NulSeparated(acList.data(), n);
    };
    return source;
}

bool LoadSiteProfile(const std::string& sPath, int iDevice, SiteProfile* pProfile)
{
    std::vector<Finding> aIgnored;
    CheckDeviceProfile(ProfileFileSource(sPath), iDevice, pProfile, &aIgnored);
    return !sPath.empty() && GetFileAttributesA(sPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

FileRead ReadWholeFile(const std::string& sPath, std::vector<unsigned char>* pacData)
{
    // A file larger than the limit is not one of the site's: it is refused
    // rather than read in part.
    unsigned long long nFileSize = 0;
    const WholeFileRead eRead =
        ReadWholeFileBytes(sPath.c_str(), FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, kFileLimit + 1,
                           pacData, &nFileSize);
    if (eRead == kWholeFileMissing) return kFileMissing;
    if (eRead == kWholeFileUnreadable || pacData->size() > kFileLimit) return kFileUnreadable;
    return kFileRead;
}

bool ReadTextFile(const std::string& sPath, std::string* psText)
{
    std::vector<unsigned char> acData;
    if (ReadWholeFile(sPath, &acData) != kFileRead) return false;
    psText->assign(acData.begin(), acData.end());
    return true;
}

bool ReplaceFiles(const std::vector<FileImage>& aFiles, std::string* psError)
{
    std::vector<std::string> asTemp;
    auto fnDropTemps = [&asTemp]() {
        for (const std::string& s : asTemp) DeleteFileA(s.c_str());
    };
    for (const FileImage& file : aFiles) {
        const std::string sTemp = file.sPath + ".new";
        DWORD dwError = 0;
        if (!WriteFlushedFile(sTemp.c_str(), file.acData.data(), static_cast<DWORD>(file.acData.size()), &dwError)) {
            *psError = sTemp + ": " + SystemErrorText(dwError);
            fnDropTemps();
            return false;
        }
        asTemp.push_back(sTemp);
    }
    for (size_t i = 0; i < aFiles.size(); ++i) {
        if (!MoveIntoPlace(asTemp[i].c_str(), aFiles[i].sPath.c_str())) {
            *psError = aFiles[i].sPath + ": " + SystemErrorText(GetLastError()) +
                       (i > 0 ? " (the files before it were replaced)" : "");
            for (size_t j = i; j < asTemp.size(); ++j) DeleteFileA(asTemp[j].c_str());
            return false;
        }
    }
    return true;
}

bool FindDriverWindow(int iDevice, std::string* psTitle)
{
    char acSuffix[32];
    FormatDriverTitleEnd(acSuffix, sizeof acSuffix, iDevice);
    const size_t nSuffix = std::strlen(acSuffix);
    HWND hWnd = nullptr;
    while ((hWnd = FindWindowExA(nullptr, hWnd, kDriverWindowClass, nullptr)) != nullptr) {
        char acTitle[256] = "";
        GetWindowTextA(hWnd, acTitle, sizeof acTitle);
        const size_t nTitle = std::strlen(acTitle);
        if (nTitle == 0 || (nTitle >= nSuffix && std::strcmp(acTitle + nTitle - nSuffix, acSuffix) == 0)) {
            *psTitle = acTitle;
            return true;
        }
    }
    return false;
}

std::string SystemErrorText(DWORD dwError)
{
    char acText[256] = "";
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, dwError, 0, acText,
                             sizeof acText, nullptr);
    std::string s(acText, n);
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ' || s.back() == '.')) s.pop_back();
    return (s.empty() ? std::string("system error") : s) + " (error " + std::to_string(dwError) + ")";
}

std::string BaseName(const std::string& sPath)
{
    size_t i = sPath.find_last_of("\\/:");
    return i == std::string::npos ? sPath : sPath.substr(i + 1);
}
