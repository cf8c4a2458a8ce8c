// zurcheck: checks a device's profile (and, when given, its package and
// level-map slot files) before the driver goes on air, and says for every
// doubtful value what the driver will do with it.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "config/peer_files.h"
#include "config/profile_check.h"
#include "core/findings.h"
#include "core/package_check.h"
#include "sitetools/sitefiles.h"

namespace {

const int kExitUsage = 3;

const char kUsage[] =
    "usage: zurcheck DEVICE [--sources FILE] [--dests FILE] [--levelmap FILE] [--json]\n"
    "       zurcheck --help\n";

const char kHelp[] =
    "\n"
    "Checks the device profile DEV_nnn.INI of driver DEVICE (1..999) as the driver\n"
    "will load it, and reports every value that the driver will replace, cut,\n"
    "ignore or refuse, with what the driver will do with it. The configuration\n"
    "directory is found as the driver finds it (CC_ROOT and CC_SYSTEM, then\n"
    "[Config] ConfigPath of c:\\kelm_config.ini, then the Windows directory);\n"
    "nothing is written, c:\\kelm_config.ini included. ExternalDLL is loaded the\n"
    "way the driver loads it: keep zurcheck beside zur.exe.\n"
    "\n"
    "  --sources FILE   source package slots (InfoDriver SrcePkgInfoId)\n"
    "  --dests FILE     destination package slots (InfoDriver DestPkgInfoId)\n"
    "  --levelmap FILE  destination level-map slots (InfoDriver LevelMapInfoId)\n"
    "                   slot files: one slot per line, \"SLOT TEXT\", as infosim reads them\n"
    "  --json           one JSON object instead of the text report\n"
    "\n"
    "Severities: error - the driver refuses to start, or part of the configuration\n"
    "can never take effect as written; warning - accepted, but probably not what\n"
    "was meant; note - a default the driver fills in, or worth knowing.\n"
    "Exit code: 0 clean (notes at most), 1 warnings, 2 errors, 3 bad arguments or\n"
    "a slot file that cannot be read.\n";

struct Options {
    int iDevice = 0;
    std::string sSources;
    std::string sDests;
    std::string sLevelMap;
    bool bJson = false;
};

int Usage(const char* pProblem)
{
    if (pProblem != nullptr) std::fprintf(stderr, "zurcheck: %s\n", pProblem);
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

// 1 parsed, 0 help shown, -1 bad arguments (already reported).
int ParseOptions(int argc, char** argv, Options* pOptions, int* piExit)
{
    bool bDevice = false;
    for (int i = 1; i < argc; ++i) {
        const std::string sArg = argv[i];
        std::string* psFile = nullptr;
        if (sArg == "--help" || sArg == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs(kHelp, stdout);
            *piExit = 0;
            return 0;
        } else if (sArg == "--json") {
            pOptions->bJson = true;
            continue;
        } else if (sArg == "--sources") {
            psFile = &pOptions->sSources;
        } else if (sArg == "--dests") {
            psFile = &pOptions->sDests;
        } else if (sArg == "--levelmap") {
            psFile = &pOptions->sLevelMap;
        } else if (!sArg.empty() && sArg[0] == '-') {
            *piExit = Usage(("unknown option " + sArg).c_str());
            return -1;
        } else if (!bDevice && ParseDeviceNumber(argv[i], &pOptions->iDevice)) {
            bDevice = true;
            continue;
        } else {
            *piExit = Usage(bDevice ? ("unexpected argument " + sArg).c_str()
                                    : "DEVICE must be a device number 1..999");
            return -1;
        }
        if (i + 1 >= argc) {
            *piExit = Usage((sArg + " needs a file").c_str());
            return -1;
        }
        *psFile = argv[++i];
    }
    if (!bDevice) {
        *piExit = Usage("DEVICE is missing");
        return -1;
    }
    return 1;
}

// What became of loading the library the way the driver does.
DllProbe ProbeExternalDll(const char* pName, std::string* psDetail)
{
    if (std::strcmp(pName, "NONE") == 0) return kDllNotNeeded;
    UINT uOldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE hLib = LoadLibraryA(pName);
    DWORD dwError = GetLastError();
    SetErrorMode(uOldMode);
    if (hLib == nullptr) {
        if (dwError == ERROR_MOD_NOT_FOUND || dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND ||
            dwError == ERROR_INVALID_NAME) {
            return kDllNotFound;
        }
        if (dwError == ERROR_BAD_EXE_FORMAT) {
            *psDetail = "error 193";
            return kDllOtherPlatform;
        }
        *psDetail = SystemErrorText(dwError);
        return kDllNotLoaded;
    }
    char acPath[MAX_PATH] = "";
    GetModuleFileNameA(hLib, acPath, sizeof acPath);
    *psDetail = acPath;
    bool bFilter = GetProcAddress(hLib, "combinerOutputFilter") != nullptr;
    FreeLibrary(hLib);
    return bFilter ? kDllFilter : kDllNoFilter;
}

// Reads a slot file into package slots; false with the reason reported.
bool LoadSlots(const std::string& sPath, std::vector<PackageSlot>* paSlots)
{
    std::string sText;
    if (!ReadTextFile(sPath, &sText)) {
        std::fprintf(stderr, "zurcheck: %s: cannot read the file\n", sPath.c_str());
        return false;
    }
    std::vector<SlotLine> aLines;
    std::string sError;
    if (!ParseSlotsText(sText, sPath, &aLines, &sError)) {
        std::fprintf(stderr, "zurcheck: %s\n", sError.c_str());
        return false;
    }
    const std::string sName = BaseName(sPath);
    for (const SlotLine& line : aLines) {
        paSlots->push_back(PackageSlot{line.iSlot, sName + ":" + std::to_string(line.iLine), line.sText});
    }
    return true;
}

void Report(const Options& options, const std::string& sProfile, const std::string& sFrom,
            const std::vector<Finding>& aFindings)
{
    if (options.bJson) {
        std::fputs(FormatFindingsJson(options.iDevice, sProfile, aFindings).c_str(), stdout);
        return;
    }
    std::printf("zurcheck: device %d, profile %s\n", options.iDevice, sProfile.empty() ? "(none)" : sProfile.c_str());
    std::printf("          (configuration directory %s)\n", sFrom.c_str());
    std::fputs(FormatFindingsText(aFindings).c_str(), stdout);
    std::printf("%s\n", FindingsSummary(aFindings).c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    int iExit = 0;
    if (ParseOptions(argc, argv, &options, &iExit) <= 0) return iExit;

    std::vector<Finding> aFindings;
    const ConfigDirectory dir = FindConfigDirectory();
    const std::string sProfile = DeviceFilePath(dir.sDir, options.iDevice, "INI");
    if (dir.bWouldRecord) {
        AddFinding(&aFindings, kNote, "[Config] ConfigPath of c:\\kelm_config.ini", dir.sDir,
                   "not set: the driver uses the Windows directory and records it there at its first start");
    }
    if (sProfile.empty()) {
        AddFinding(&aFindings, kError, "configuration directory", dir.sDir,
                   "too long for the driver's file names: it reads no profile and stops");
        Report(options, sProfile, dir.sFrom, aFindings);
        return FindingsExitCode(aFindings);
    }
    if (GetFileAttributesA(sProfile.c_str()) == INVALID_FILE_ATTRIBUTES) {
        AddMissing(&aFindings, kError, BaseName(sProfile),
                   "no profile: the driver creates it with every default and stops, as it has no database sizes");
        Report(options, sProfile, dir.sFrom, aFindings);
        return FindingsExitCode(aFindings);
    }

    static SiteProfile profile;
    CheckDeviceProfile(ProfileFileSource(sProfile), options.iDevice, &profile, &aFindings);
    std::string sDetail;
    DllProbe eProbe = ProbeExternalDll(profile.ExternalDLL, &sDetail);
    CheckExternalDll(profile, eProbe, sDetail, &aFindings);

    std::vector<PackageSlot> aSources, aDests, aMaps;
    if (!options.sSources.empty() && !LoadSlots(options.sSources, &aSources)) return kExitUsage;
    if (!options.sDests.empty() && !LoadSlots(options.sDests, &aDests)) return kExitUsage;
    if (!options.sLevelMap.empty() && !LoadSlots(options.sLevelMap, &aMaps)) return kExitUsage;
    CheckSourcePackages(profile.sLevel, profile.DatabaseSize_0, aSources, &aFindings);
    CheckDestPackages(profile.sLevel, profile.DatabaseSize_1, aDests, options.sLevelMap.empty() ? nullptr : &aMaps,
                      &aFindings);
    CheckLevelMaps(aMaps, &aFindings);

    Report(options, sProfile, dir.sFrom, aFindings);
    return FindingsExitCode(aFindings);
}
