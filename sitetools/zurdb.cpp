// zurdb: reads, exports, restores and compares the route index DEV_nnn.DAT
// and the lock flags DEV_nnn.LCK of a device.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "config/peer_files.h"
#include "config/route_state.h"
#include "sitetools/sitefiles.h"

namespace {

const int kExitDone = 0;
const int kExitDiffers = 1;
const int kExitFailed = 2;
const int kExitDriverRuns = 3;

const char kUsage[] =
    "usage: zurdb show DEVICE [--names FILE] [--routed] [--locked]\n"
    "       zurdb export DEVICE > state.csv\n"
    "       zurdb import DEVICE state.csv\n"
    "       zurdb diff A B [--device DEVICE]\n"
    "       zurdb --help\n";

const char kHelp[] =
    "\n"
    "The route index DEV_nnn.DAT and the lock flags DEV_nnn.LCK of driver DEVICE\n"
    "(1..999), in the configuration directory found as the driver finds it.\n"
    "\n"
    "  show     one line per destination package 1..DatabaseSize_1: its source\n"
    "           package and lock; --names FILE adds the names of a names file\n"
    "           (\"src N NAME\", \"dst N NAME\"); --routed, --locked keep only\n"
    "           routed, locked destinations (both: routed and locked)\n"
    "  export   the state as CSV: \"destination,source,locked\", then one line per\n"
    "           destination that is routed or locked (locked: the lock value, 0 none)\n"
    "  import   replaces both files with the state of a CSV file; every line is\n"
    "           checked before anything is written, both files are written beside\n"
    "           and then renamed into place; refused while the driver runs (a\n"
    "           window of class Q7CMBINE titled \"... - Device N\")\n"
    "  diff     the destinations whose source or lock differ between A and B, each\n"
    "           an export or a configuration directory (--device DEVICE, unless it\n"
    "           holds the files of one device only)\n"
    "\n"
    "Exit code: 0 done (diff: no difference), 1 diff found differences, 2 bad\n"
    "arguments, a file that cannot be read or written, or a CSV line in error\n"
    "(nothing written), 3 import refused because the driver runs.\n";

int Usage(const char* pProblem)
{
    if (pProblem != nullptr) std::fprintf(stderr, "zurdb: %s\n", pProblem);
    std::fputs(kUsage, stderr);
    return kExitFailed;
}

int Fail(const std::string& sProblem)
{
    std::fprintf(stderr, "zurdb: %s\n", sProblem.c_str());
    return kExitFailed;
}

struct DeviceFiles {
    std::string sDir;
    std::string sIndex;    // DEV_nnn.DAT
    std::string sLock;     // DEV_nnn.LCK
    std::string sProfile;  // DEV_nnn.INI
};

bool FilesInDirectory(const std::string& sDir, int iDevice, DeviceFiles* pFiles, std::string* psError)
{
    pFiles->sDir = sDir;
    pFiles->sIndex = DeviceFilePath(sDir, iDevice, "DAT");
    pFiles->sLock = DeviceFilePath(sDir, iDevice, "LCK");
    pFiles->sProfile = DeviceFilePath(sDir, iDevice, "INI");
    if (pFiles->sIndex.empty()) {
        *psError = "the configuration directory \"" + sDir + "\" is too long for the driver's file names";
        return false;
    }
    return true;
}

bool DeviceFilesOf(int iDevice, DeviceFiles* pFiles, std::string* psError)
{
    const ConfigDirectory dir = FindConfigDirectory();
    if (dir.sDir.empty()) {
        *psError = "no usable configuration directory (" + dir.sFrom + ")";
        return false;
    }
    return FilesInDirectory(dir.sDir, iDevice, pFiles, psError);
}

// Reads one of the two files: pacData null when it is missing.
bool ReadStateFile(const std::string& sPath, std::vector<unsigned char>* pacData, bool* pbMissing,
                   std::string* psError)
{
    FileRead eRead = ReadWholeFile(sPath, pacData);
    *pbMissing = eRead == kFileMissing;
    if (eRead == kFileUnreadable) {
        *psError = sPath + ": cannot be read";
        return false;
    }
    return true;
}

// The state as the driver would load it; the remarks say what was missing
// or short.
bool ReadDeviceState(const DeviceFiles& files, RouteState* pState, std::vector<std::string>* pasRemark,
                     std::string* psError)
{
    std::vector<unsigned char> acIndex, acLock;
    bool bIndexMissing = false, bLockMissing = false;
    if (!ReadStateFile(files.sIndex, &acIndex, &bIndexMissing, psError)) return false;
    if (!ReadStateFile(files.sLock, &acLock, &bLockMissing, psError)) return false;
    RouteStateFromFiles(bIndexMissing ? nullptr : acIndex.data(), acIndex.size(),
                        bLockMissing ? nullptr : acLock.data(), acLock.size(), pState);
    const std::string sIndexName = BaseName(files.sIndex);
    const std::string sLockName = BaseName(files.sLock);
    if (bIndexMissing) {
        pasRemark->push_back(sIndexName + " is missing: the driver starts with no route (and creates it)");
    } else if (acIndex.size() < kIndexFileSize) {
        pasRemark->push_back(sIndexName + " holds " + std::to_string(acIndex.size()) +
                             " bytes, not 8192: the destinations it lacks start unrouted");
    }
    if (bLockMissing) {
        pasRemark->push_back(sLockName + " is missing: the driver starts with no lock (and creates it)");
    } else if (acLock.size() < kLockFileSize) {
        pasRemark->push_back(sLockName + " holds " + std::to_string(acLock.size()) +
                             " bytes, not 4096: the destinations it lacks start locked");
    }
    return true;
}

// The database sizes of the device's profile; 4096 each when it has none
// the driver would accept.
void DatabaseSizes(const DeviceFiles& files, int iDevice, int* piSources, int* piDests)
{
    static SiteProfile profile;
    bool bProfile = LoadSiteProfile(files.sProfile, iDevice, &profile);
    *piSources = bProfile && profile.DatabaseSize_0 >= 1 ? profile.DatabaseSize_0 : kPackageMax;
    *piDests = bProfile && profile.DatabaseSize_1 >= 1 ? profile.DatabaseSize_1 : kPackageMax;
}

int CountRouted(const RouteState& state)
{
    int n = 0;
    for (int d = 1; d <= kPackageMax; ++d) n += state.aiSource[d] != 0;
    return n;
}

int CountLocked(const RouteState& state)
{
    int n = 0;
    for (int d = 1; d <= kPackageMax; ++d) n += state.aiLock[d] != 0;
    return n;
}

int RunShow(int iDevice, const std::vector<std::string>& asOption)
{
    std::string sNames;
    bool bRouted = false, bLocked = false;
    for (size_t i = 0; i < asOption.size(); ++i) {
        if (asOption[i] == "--routed") {
            bRouted = true;
        } else if (asOption[i] == "--locked") {
            bLocked = true;
        } else if (asOption[i] == "--names" && i + 1 < asOption.size()) {
            sNames = asOption[++i];
        } else {
            return Usage(("unexpected argument " + asOption[i]).c_str());
        }
    }
    std::map<int, std::string> mapSource, mapDest;
    if (!sNames.empty()) {
        std::string sText, sError;
        if (!ReadTextFile(sNames, &sText)) return Fail(sNames + ": cannot read the names file");
        if (!ParseNamesText(sText, sNames, &mapSource, &mapDest, &sError)) return Fail(sError);
    }
    DeviceFiles files;
    std::string sError;
    std::unique_ptr<RouteState> pState(new RouteState);
    std::vector<std::string> asRemark;
    if (!DeviceFilesOf(iDevice, &files, &sError) || !ReadDeviceState(files, pState.get(), &asRemark, &sError)) {
        return Fail(sError);
    }
    int iSources = 0, iDests = 0;
    DatabaseSizes(files, iDevice, &iSources, &iDests);
    std::printf("Device %d in %s: %d destinations, %d routed, %d locked\n", iDevice, files.sDir.c_str(), iDests,
                CountRouted(*pState), CountLocked(*pState));
    for (const std::string& s : asRemark) std::printf("(%s)\n", s.c_str());
    std::fputs(FormatRouteTable(*pState, iDests, mapSource, mapDest, bRouted, bLocked).c_str(), stdout);
    return kExitDone;
}

int RunExport(int iDevice)
{
    DeviceFiles files;
    std::string sError;
    std::unique_ptr<RouteState> pState(new RouteState);
    std::vector<std::string> asRemark;
    if (!DeviceFilesOf(iDevice, &files, &sError) || !ReadDeviceState(files, pState.get(), &asRemark, &sError)) {
        return Fail(sError);
    }
    for (const std::string& s : asRemark) std::fprintf(stderr, "zurdb: %s\n", s.c_str());
    std::fputs(FormatRouteCsv(*pState).c_str(), stdout);
    return std::fflush(stdout) == 0 ? kExitDone : Fail("cannot write the standard output");
}

int RunImport(int iDevice, const std::string& sCsv)
{
    DeviceFiles files;
    std::string sError;
    if (!DeviceFilesOf(iDevice, &files, &sError)) return Fail(sError);
    std::string sText;
    if (!ReadTextFile(sCsv, &sText)) return Fail(sCsv + ": cannot be read");
    int iSources = 0, iDests = 0;
    DatabaseSizes(files, iDevice, &iSources, &iDests);
    std::unique_ptr<RouteState> pState(new RouteState);
    std::vector<std::string> asError;
    if (!ParseRouteCsv(sText, sCsv, iSources, iDests, pState.get(), &asError)) {
        for (const std::string& s : asError) std::fprintf(stderr, "zurdb: %s\n", s.c_str());
        std::fprintf(stderr, "zurdb: nothing written\n");
        return kExitFailed;
    }
    std::string sTitle;
    if (FindDriverWindow(iDevice, &sTitle)) {
        std::fprintf(stderr,
                     "zurdb: the driver of device %d is running (window \"%s\"): it would write its own tables over "
                     "the files; close it first. Nothing written\n",
                     iDevice, sTitle.c_str());
        return kExitDriverRuns;
    }
    std::vector<FileImage> aFiles = {{files.sIndex, std::vector<unsigned char>(kIndexFileSize)},
                                     {files.sLock, std::vector<unsigned char>(kLockFileSize)}};
    RouteStateToFiles(*pState, aFiles[0].acData.data(), aFiles[1].acData.data());
    if (!ReplaceFiles(aFiles, &sError)) return Fail(sError);
    std::printf("zurdb: wrote %s and %s in %s: %d routed, %d locked\n", BaseName(files.sIndex).c_str(),
                BaseName(files.sLock).c_str(), files.sDir.c_str(), CountRouted(*pState), CountLocked(*pState));
    return kExitDone;
}

// The device whose DEV_nnn.DAT the directory holds, when it holds one only.
bool OnlyDeviceIn(const std::string& sDir, int* piDevice)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((sDir + "\\DEV_*.DAT").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE) return false;
    int nFound = 0;
    do {
        int iDevice = 0;
        std::string sName = fd.cFileName;
        if (sName.size() == 11 && ParseDeviceNumber(sName.substr(4, 3).c_str(), &iDevice)) {
            *piDevice = iDevice;
            ++nFound;
        }
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
    return nFound == 1;
}

// One side of a diff: an export, or a configuration directory.
bool ReadDiffSide(const std::string& sPath, int iDevice, RouteState* pState, std::string* psError)
{
    DWORD dwAttributes = GetFileAttributesA(sPath.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES) {
        *psError = sPath + ": no such file or directory";
        return false;
    }
    if (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (iDevice == 0 && !OnlyDeviceIn(sPath, &iDevice)) {
            *psError = sPath + ": give the device with --device (the directory holds no DEV_nnn.DAT or several)";
            return false;
        }
        DeviceFiles files;
        std::vector<std::string> asRemark;
        return FilesInDirectory(sPath, iDevice, &files, psError) &&
               ReadDeviceState(files, pState, &asRemark, psError);
    }
    std::string sText;
    if (!ReadTextFile(sPath, &sText)) {
        *psError = sPath + ": cannot be read";
        return false;
    }
    std::vector<std::string> asError;
    if (!ParseRouteCsv(sText, sPath, 65535, kPackageMax, pState, &asError)) {
        *psError = asError.front();
        return false;
    }
    return true;
}

int RunDiff(const std::vector<std::string>& asArg)
{
    std::vector<std::string> asSide;
    int iDevice = 0;
    for (size_t i = 0; i < asArg.size(); ++i) {
        if (asArg[i] == "--device") {
            if (i + 1 >= asArg.size() || !ParseDeviceNumber(asArg[i + 1].c_str(), &iDevice)) {
                return Usage("--device needs a device number 1..999");
            }
            ++i;
        } else {
            asSide.push_back(asArg[i]);
        }
    }
    if (asSide.size() != 2) return Usage("diff needs two exports or configuration directories");
    std::unique_ptr<RouteState> pA(new RouteState), pB(new RouteState);
    std::string sError;
    if (!ReadDiffSide(asSide[0], iDevice, pA.get(), &sError) || !ReadDiffSide(asSide[1], iDevice, pB.get(), &sError)) {
        return Fail(sError);
    }
    std::vector<RouteChange> aChange = DiffRouteStates(*pA, *pB);
    std::printf("--- %s\n+++ %s\n", asSide[0].c_str(), asSide[1].c_str());
    for (const RouteChange& change : aChange) std::printf("%s\n", FormatRouteChange(change).c_str());
    std::printf("%s\n", aChange.size() == 1 ? "1 destination differs"
                                            : (std::to_string(aChange.size()) + " destinations differ").c_str());
    return aChange.empty() ? kExitDone : kExitDiffers;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> asArg(argv + 1, argv + argc);
    if (asArg.empty()) return Usage(nullptr);
    const std::string sCommand = asArg[0];
    if (sCommand == "--help" || sCommand == "-h") {
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return kExitDone;
    }
    if (sCommand == "diff") return RunDiff(std::vector<std::string>(asArg.begin() + 1, asArg.end()));
    if (sCommand != "show" && sCommand != "export" && sCommand != "import") {
        return Usage(("unknown command " + sCommand).c_str());
    }
    int iDevice = 0;
    if (asArg.size() < 2 || !ParseDeviceNumber(asArg[1].c_str(), &iDevice)) {
        return Usage("DEVICE must be a device number 1..999");
    }
    std::vector<std::string> asRest(asArg.begin() + 2, asArg.end());
    if (sCommand == "show") return RunShow(iDevice, asRest);
    if (sCommand == "export") {
        if (!asRest.empty()) return Usage(("unexpected argument " + asRest[0]).c_str());
        return RunExport(iDevice);
    }
    if (asRest.size() != 1) return Usage("import needs one CSV file");
    return RunImport(iDevice, asRest[0]);
}
