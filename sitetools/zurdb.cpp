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
#include "sitetools/check/route_state.h"
#include "core/device_arg.h"
#include "core/journal_text.h"
#include "sitetools/sitefiles.h"

namespace {

const char kUsage[] =
    "usage: zurdb show DEVICE [--names FILE] [--routed] [--locked] [--running] [--force]\n"
    "       zurdb export DEVICE [--running] [--force] > state.csv\n"
    "       zurdb import DEVICE state.csv [--dry-run] [--force]\n"
    "       zurdb diff A B [--device DEVICE] [--running]\n"
    "       zurdb --help | --version\n";

const char kHelp[] =
    "\n"
    "The route index DEV_nnn.DAT and the lock flags DEV_nnn.LCK of driver DEVICE\n"
    "(1..999), in the configuration directory found as the driver finds it.\n"
    "A device with no profile DEV_nnn.INI there is refused (a mistyped number);\n"
    "--force works on its files all the same, with 4096 packages on each side.\n"
    "Otherwise the sizes are the profile's DatabaseSize_0 and DatabaseSize_1.\n"
    "\n"
    "  show     one line per destination package 1..DatabaseSize_1: its source\n"
    "           package and lock; --names FILE adds the names of a names file\n"
    "           (\"src N NAME\", \"dst N NAME\"); --routed, --locked keep only\n"
    "           routed, locked destinations (both: routed and locked)\n"
    "  export   the state as CSV: \"destination,source,locked\", then one line per\n"
    "           destination that is routed or locked (locked: the lock value, 0 none)\n"
    "  import   replaces both files with the state of a CSV file; every line is\n"
    "           checked before anything is written, both files are written beside\n"
    "           and then renamed into place. The files it replaces are kept as\n"
    "           DEV_nnn.DAT.bak and DEV_nnn.LCK.bak (one generation: the next\n"
    "           import replaces them); it prints the routes and locks gained and\n"
    "           lost and appends a line to the take journal DEV_nnn.LOG.\n"
    "           --dry-run prints the same changes and writes nothing. Refused\n"
    "           while the driver runs (a window of class Q7CMBINE titled\n"
    "           \"... - Device N\"): it would write its own tables over the files\n"
    "  diff     the destinations whose source or lock differ between A and B, each\n"
    "           an export or a configuration directory (--device DEVICE, unless it\n"
    "           holds the files of one device only)\n"
    "\n"
    "While the device's driver runs, its files lag its tables by up to SaveDelay\n"
    "minutes: show, export and diff of its directory refuse, and --running reads\n"
    "the files as they are, labelled as the files' state.\n"
    "\n"
    "Exit code: 0 done (diff: no difference), 1 diff found differences, 2 a file\n"
    "that cannot be read or written, a CSV line in error (nothing written), or\n"
    "refused (the driver runs, no profile), 3 bad arguments.\n";

int Usage(const char* pProblem)
{
    if (pProblem != nullptr) std::fprintf(stderr, "zurdb: %s\n", pProblem);
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

int Fail(const std::string& sProblem)
{
    std::fprintf(stderr, "zurdb: %s\n", sProblem.c_str());
    return kExitErrors;
}

// The options every command may take; each command says which it accepts.
struct Flags {
    bool bRunning = false;   // read the files while the driver runs
    bool bForce = false;     // a device with no profile
    bool bDryRun = false;    // import: the changes only
};

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

// The device as the commands see it: its files, whether it has a profile,
// the profile's database sizes and SaveDelay.
struct Device {
    int iDevice = 0;
    DeviceFiles files;
    bool bProfile = false;
    int iSources = kPackageMax;
    int iDests = kPackageMax;
    long lSaveDelay = 5;
    int iJournalSize = 0;   // the take journal's JournalSize; 0: none kept
};

// Finds the device's files and profile. Refuses (false, with the reason
// printed) a device with no profile unless forced: a mistyped number must
// not read as an empty site, nor be written into one.
bool OpenDevice(int iDevice, const Flags& flags, Device* pDevice, int* piExit)
{
    pDevice->iDevice = iDevice;
    std::string sError;
    if (!DeviceFilesOf(iDevice, &pDevice->files, &sError)) {
        *piExit = Fail(sError);
        return false;
    }
    static SiteProfile profile;
    pDevice->bProfile = LoadSiteProfile(pDevice->files.sProfile, iDevice, &profile);
    if (!pDevice->bProfile) {
        if (!flags.bForce) {
            *piExit = Fail("device " + std::to_string(iDevice) + " has no profile " +
                           BaseName(pDevice->files.sProfile) + " in " + pDevice->files.sDir +
                           ": refused, nothing read or written (is the device number right? --force works on "
                           "its files without a profile, with 4096 packages on each side)");
            return false;
        }
        std::fprintf(stderr, "zurdb: device %d has no profile %s: --force, 4096 packages on each side\n", iDevice,
                     BaseName(pDevice->files.sProfile).c_str());
        return true;
    }
    if (profile.DatabaseSize_0 >= 1) pDevice->iSources = profile.DatabaseSize_0;
    if (profile.DatabaseSize_1 >= 1) pDevice->iDests = profile.DatabaseSize_1;
    pDevice->lSaveDelay = profile.SaveDelay;
    pDevice->iJournalSize = profile.JournalSize;
    return true;
}

// How far the files may lag a running driver, from its SaveDelay.
std::string FilesLag(long lSaveDelay)
{
    if (lSaveDelay < 1) return "everything since it started (SaveDelay " + std::to_string(lSaveDelay) +
                               ": it writes them only when it ends)";
    return "up to " + std::to_string(lSaveDelay) + (lSaveDelay == 1 ? " minute" : " minutes") + " (SaveDelay " +
           std::to_string(lSaveDelay) + "; it writes them whole when it ends)";
}

// While the device's driver runs, its files are older than its tables:
// refused (false, reason printed) unless --running, which says so once.
bool FilesCurrent(const Device& device, const Flags& flags, int* piExit)
{
    std::string sTitle;
    if (!FindDriverWindow(device.iDevice, &sTitle)) return true;
    const std::string sFiles = BaseName(device.files.sIndex) + " and " + BaseName(device.files.sLock);
    if (flags.bRunning) {
        std::fprintf(stderr, "zurdb: --running: the files' state, not the running driver's: %s lag it by %s\n",
                     sFiles.c_str(), FilesLag(device.lSaveDelay).c_str());
        return true;
    }
    *piExit = Fail("the driver of device " + std::to_string(device.iDevice) + " is running (window \"" + sTitle +
                   "\"): " + sFiles + " lag its tables by " + FilesLag(device.lSaveDelay) +
                   ". Close it first, or give --running to read the files as they are");
    return false;
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

int RunShow(const Device& device, const Flags& flags, const std::vector<std::string>& asOption)
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
    int iExit = kExitClean;
    if (!FilesCurrent(device, flags, &iExit)) return iExit;
    std::string sError;
    std::unique_ptr<RouteState> pState(new RouteState);
    std::vector<std::string> asRemark;
    if (!ReadDeviceState(device.files, pState.get(), &asRemark, &sError)) return Fail(sError);
    std::printf("Device %d in %s: %d destinations, %d routed, %d locked%s\n", device.iDevice,
                device.files.sDir.c_str(), device.iDests, CountRouted(*pState), CountLocked(*pState),
                flags.bRunning ? " (the files' state, --running)" : "");
    for (const std::string& s : asRemark) std::printf("(%s)\n", s.c_str());
    std::fputs(FormatRouteTable(*pState, device.iDests, mapSource, mapDest, bRouted, bLocked).c_str(), stdout);
    return kExitClean;
}

int RunExport(const Device& device, const Flags& flags)
{
    int iExit = kExitClean;
    if (!FilesCurrent(device, flags, &iExit)) return iExit;
    std::string sError;
    std::unique_ptr<RouteState> pState(new RouteState);
    std::vector<std::string> asRemark;
    if (!ReadDeviceState(device.files, pState.get(), &asRemark, &sError)) return Fail(sError);
    for (const std::string& s : asRemark) std::fprintf(stderr, "zurdb: %s\n", s.c_str());
    std::fputs(FormatRouteCsv(*pState).c_str(), stdout);
    return std::fflush(stdout) == 0 ? kExitClean : Fail("cannot write the standard output");
}

// Copies each file that exists to "<name>.bak", replacing the one before.
bool KeepBackups(const DeviceFiles& files, std::string* psKept, std::string* psError)
{
    std::string sKept;
    for (const std::string& sPath : {files.sIndex, files.sLock}) {
        if (GetFileAttributesA(sPath.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        const std::string sBackup = sPath + ".bak";
        if (!CopyFileA(sPath.c_str(), sBackup.c_str(), FALSE)) {
            *psError = sBackup + ": " + SystemErrorText(GetLastError()) + ". Nothing written";
            return false;
        }
        sKept += (sKept.empty() ? "" : " and ") + BaseName(sBackup);
    }
    *psKept = sKept.empty() ? "there were no files to keep"
                            : "replaced files kept as " + sKept + " (one generation: the next import replaces them)";
    return true;
}

// Appends the import's line to the device's take journal, when its profile
// keeps one; a journal that cannot be written is said, not fatal: the files
// are in place. The driver moves the journal to its old file at its next
// command once it has grown to JournalSize.
void JournalImport(const Device& device, const std::string& sText)
{
    if (device.iJournalSize <= 0) return;
    const std::string sJournal = DeviceFilePath(device.files.sDir, device.iDevice, "LOG");
    SYSTEMTIME st;
    GetLocalTime(&st);
    const JournalTime sTime = {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
    std::vector<char> acLine(kJournalLineSize + sText.size());
    FormatJournalEvent(acLine.data(), acLine.size(), sTime, "import", sText.c_str());
    FILE* pFile = sJournal.empty() ? nullptr : std::fopen(sJournal.c_str(), "ab");
    bool bWritten = pFile != nullptr && std::fprintf(pFile, "%s\r\n", acLine.data()) > 0;
    if (pFile != nullptr) bWritten = std::fclose(pFile) == 0 && bWritten;
    if (!bWritten) std::fprintf(stderr, "zurdb: the take journal %s cannot be written\n", sJournal.c_str());
}

int RunImport(const Device& device, const Flags& flags, const std::string& sCsv)
{
    const DeviceFiles& files = device.files;
    std::string sText, sError;
    if (!ReadTextFile(sCsv, &sText)) return Fail(sCsv + ": cannot be read");
    std::unique_ptr<RouteState> pState(new RouteState);
    std::vector<std::string> asError;
    if (!ParseRouteCsv(sText, sCsv, device.iSources, device.iDests, pState.get(), &asError)) {
        PrintErrors("zurdb", asError, "nothing written");
        return kExitErrors;
    }
    std::string sTitle;
    const bool bRuns = FindDriverWindow(device.iDevice, &sTitle);
    if (bRuns && !flags.bDryRun) {
        std::fprintf(stderr,
                     "zurdb: the driver of device %d is running (window \"%s\"): it would write its own tables over "
                     "the files; close it first. Nothing written\n",
                     device.iDevice, sTitle.c_str());
        return kExitErrors;
    }
    std::unique_ptr<RouteState> pBefore(new RouteState);
    std::vector<std::string> asRemark;
    if (!ReadDeviceState(files, pBefore.get(), &asRemark, &sError)) return Fail(sError);
    const std::vector<RouteChange> aChange = DiffRouteStates(*pBefore, *pState);
    const std::string sChanges = SummarizeRouteChanges(aChange);
    if (flags.bDryRun) {
        std::printf("zurdb: --dry-run: %s would change %s and %s in %s as follows; nothing written\n", sCsv.c_str(),
                    BaseName(files.sIndex).c_str(), BaseName(files.sLock).c_str(), files.sDir.c_str());
        if (bRuns) std::printf("(the driver runs: the files lag it, and the import itself would be refused)\n");
    }
    for (const RouteChange& change : aChange) std::printf("%s\n", FormatRouteChange(change).c_str());
    std::printf("%s\n", sChanges.c_str());
    if (flags.bDryRun) return kExitClean;

    std::string sKept;
    if (!KeepBackups(files, &sKept, &sError)) return Fail(sError);
    std::vector<FileImage> aFiles = {{files.sIndex, std::vector<unsigned char>(kIndexFileSize)},
                                     {files.sLock, std::vector<unsigned char>(kLockFileSize)}};
    RouteStateToFiles(*pState, aFiles[0].acData.data(), aFiles[1].acData.data());
    if (!ReplaceFiles(aFiles, &sError)) return Fail(sError);
    std::printf("zurdb: wrote %s and %s in %s: %d routed, %d locked; %s\n", BaseName(files.sIndex).c_str(),
                BaseName(files.sLock).c_str(), files.sDir.c_str(), CountRouted(*pState), CountLocked(*pState),
                sKept.c_str());
    JournalImport(device, JournalImportText(BaseName(sCsv).c_str(), sChanges.c_str(), CountRouted(*pState),
                                            CountLocked(*pState), sKept.c_str()));
    return kExitClean;
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

// One side of a diff: an export, or a configuration directory (refused
// while its device's driver runs, unless --running).
bool ReadDiffSide(const std::string& sPath, int iDevice, const Flags& flags, RouteState* pState, int* piExit)
{
    std::string sError;
    DWORD dwAttributes = GetFileAttributesA(sPath.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES) {
        *piExit = Fail(sPath + ": no such file or directory");
        return false;
    }
    if (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (iDevice == 0 && !OnlyDeviceIn(sPath, &iDevice)) {
            *piExit = Fail(sPath + ": give the device with --device (the directory holds no DEV_nnn.DAT or several)");
            return false;
        }
        Device device;
        device.iDevice = iDevice;
        std::vector<std::string> asRemark;
        if (!FilesInDirectory(sPath, iDevice, &device.files, &sError)) {
            *piExit = Fail(sError);
            return false;
        }
        static SiteProfile profile;
        if (LoadSiteProfile(device.files.sProfile, iDevice, &profile)) device.lSaveDelay = profile.SaveDelay;
        if (!FilesCurrent(device, flags, piExit)) return false;
        if (!ReadDeviceState(device.files, pState, &asRemark, &sError)) {
            *piExit = Fail(sError);
            return false;
        }
        return true;
    }
    std::string sText;
    if (!ReadTextFile(sPath, &sText)) {
        *piExit = Fail(sPath + ": cannot be read");
        return false;
    }
    std::vector<std::string> asError;
    if (!ParseRouteCsv(sText, sPath, 65535, kPackageMax, pState, &asError)) {
        PrintErrors("zurdb", asError, "no difference shown");
        *piExit = kExitErrors;
        return false;
    }
    return true;
}

int RunDiff(const std::vector<std::string>& asArg, const Flags& flags)
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
    int iExit = kExitClean;
    if (!ReadDiffSide(asSide[0], iDevice, flags, pA.get(), &iExit) ||
        !ReadDiffSide(asSide[1], iDevice, flags, pB.get(), &iExit)) {
        return iExit;
    }
    std::vector<RouteChange> aChange = DiffRouteStates(*pA, *pB);
    std::printf("--- %s\n+++ %s\n", asSide[0].c_str(), asSide[1].c_str());
    for (const RouteChange& change : aChange) std::printf("%s\n", FormatRouteChange(change).c_str());
    std::printf("%s\n", aChange.size() == 1 ? "1 destination differs"
                                            : (std::to_string(aChange.size()) + " destinations differ").c_str());
    return aChange.empty() ? kExitClean : kExitWarnings;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> asArg;
    Flags flags;
    for (int i = 1; i < argc; ++i) {
        const std::string sArg = argv[i];
        if (sArg == "--running") flags.bRunning = true;
        else if (sArg == "--force") flags.bForce = true;
        else if (sArg == "--dry-run") flags.bDryRun = true;
        else asArg.push_back(sArg);
    }
    if (asArg.empty()) return Usage(nullptr);
    const std::string sCommand = asArg[0];
    if (sCommand == "--help" || sCommand == "-h") {
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return kExitClean;
    }
    if (IsVersionRequest(sCommand.c_str())) {
        PrintVersion("zurdb");
        return kExitClean;
    }
    if (flags.bDryRun && sCommand != "import") return Usage("--dry-run is for import");
    if (flags.bRunning && sCommand == "import") return Usage("import never reads or writes under a running driver");
    if (sCommand == "diff") {
        if (flags.bForce) return Usage("--force is for show, export and import");
        return RunDiff(std::vector<std::string>(asArg.begin() + 1, asArg.end()), flags);
    }
    if (sCommand != "show" && sCommand != "export" && sCommand != "import") {
        return Usage(("unknown command " + sCommand).c_str());
    }
    int iDevice = 0;
    if (asArg.size() < 2 || !ParseDeviceNumber(asArg[1].c_str(), &iDevice)) {
        return Usage(asArg.size() < 2 ? "DEVICE is missing"
                                      : ("DEVICE " + DeviceArgumentProblem(asArg[1].c_str())).c_str());
    }
    std::vector<std::string> asRest(asArg.begin() + 2, asArg.end());
    if (sCommand == "export" && !asRest.empty()) return Usage(("unexpected argument " + asRest[0]).c_str());
    if (sCommand == "import" && asRest.size() != 1) return Usage("import needs one CSV file");
    Device device;
    int iExit = kExitClean;
    if (!OpenDevice(iDevice, flags, &device, &iExit)) return iExit;
    if (sCommand == "show") return RunShow(device, flags, asRest);
    if (sCommand == "export") return RunExport(device, flags);
    return RunImport(device, flags, asRest[0]);
}
