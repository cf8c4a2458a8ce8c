// zurcheck: checks a device's profile (and, when given, its package and
// level-map slot files) before the driver goes on air, and says for every
// doubtful value what the driver will do with it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/peer_files.h"
#include "config/profile_text.h"
#include "sitetools/check/profile_check.h"
#include "core/device_arg.h"
#include "sitetools/check/findings.h"
#include "sitetools/check/package_check.h"
#include "sitetools/sitefiles.h"
#include "sitetools/take_preview.h"

namespace {

const char kUsage[] =
    "usage: zurcheck DEVICE [--sources FILE] [--dests FILE] [--levelmap FILE] [--json]\n"
    "       zurcheck DEVICE --take S D MASK [W] [--previous P]\n"
    "                --sources FILE --dests FILE [--levelmap FILE] [--json]\n"
    "       zurcheck --help | --version\n";

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
    "  --take S D MASK [W]\n"
    "                   instead of the checks, the take \"RC DEVICE S D 'MASK' W\" as\n"
    "                   the driver would run it on this profile and these slot\n"
    "                   files, with the driver's own functions: whether it is\n"
    "                   taken, the slots it reads, each level's decision (the\n"
    "                   command it sends: message, value and text; or why it sends\n"
    "                   nothing: not in mask, no value, no command, blocked, park\n"
    "                   skipped), the route index change and the revertive;\n"
    "                   the value is the one RVX receives (16 bits of it), and\n"
    "                   the profile's findings on the levels and the mask the\n"
    "                   take uses come first.\n"
    "                   MASK as in the command without its quotes (a level list\n"
    "                   \",1,2\" or a mask name); W the workstation, 0 (the panel's)\n"
    "                   when not given. The driver is taken as transmitting\n"
    "                   (TX/RX), D as not locked, and the external filter as\n"
    "                   taking nothing over. Needs --sources and --dests; without\n"
    "                   --levelmap every level map is the default 1,2,...,32.\n"
    "  --previous P     with --take: the source package routed to D before the\n"
    "                   take (default 0: none); its slot is read for the parks of\n"
    "                   reverse routes\n"
    "\n"
    "Severities: error - the driver refuses to start, or part of the configuration\n"
    "can never take effect as written; warning - accepted, but probably not what\n"
    "was meant; note - a default the driver fills in, or worth knowing.\n"
    "Exit code: 0 clean (notes at most), 1 warnings, 2 errors (a slot file that\n"
    "cannot be read among them), 3 bad arguments. With --take: an error when the\n"
    "driver refuses the take, a warning for each listed command it never sends, for\n"
    "a take that leaves the route index as it was, a mask name no mask has and a\n"
    "package with no slot line.\n";

struct Options {
    int iDevice = 0;
    std::string sSources;
    std::string sDests;
    std::string sLevelMap;
    bool bJson = false;
    bool bTake = false;
    TakeRequest take = {"", "", "", "0", 0};
};

// Decimal digits only, at most nine of them.
bool IsDigits(const std::string& sText)
{
    if (sText.empty() || sText.size() > 9) return false;
    for (char c : sText) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// The arguments after the one at i that are not options or their values.
int BareArgumentsAfter(int argc, char** argv, int i)
{
    int n = 0;
    for (int j = i + 1; j < argc; ++j) {
        const std::string sArg = argv[j];
        if (sArg == "--sources" || sArg == "--dests" || sArg == "--levelmap" || sArg == "--previous") {
            ++j;
        } else if (sArg.empty() || sArg[0] != '-') {
            ++n;
        }
    }
    return n;
}

// "--take S D MASK [W]" from argv[*pi]: W is the number after MASK when
// DEVICE is already given, or when another bare argument (DEVICE) follows.
bool ParseTake(int argc, char** argv, int* pi, bool bDevice, TakeRequest* pTake, std::string* psProblem)
{
    int i = *pi;
    if (i + 3 >= argc) {
        *psProblem = "--take needs S D MASK";
        return false;
    }
    pTake->sSource = argv[i + 1];
    pTake->sDest = argv[i + 2];
    pTake->sMask = argv[i + 3];
    i += 3;
    if (!IsDigits(pTake->sSource) || !IsDigits(pTake->sDest)) {
        *psProblem = "--take: S and D must be package numbers";
        return false;
    }
    if (pTake->sMask.find('\'') != std::string::npos) {
        *psProblem = "--take: MASK cannot hold a quote (the command quotes it)";
        return false;
    }
    if (i + 1 < argc && IsDigits(argv[i + 1]) && (bDevice || BareArgumentsAfter(argc, argv, i + 1) > 0)) {
        pTake->sWorkstation = argv[++i];
    }
    *pi = i;
    return true;
}

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
            *piExit = kExitClean;
            return 0;
        } else if (IsVersionRequest(argv[i])) {
            PrintVersion("zurcheck");
            *piExit = kExitClean;
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
        } else if (sArg == "--take") {
            std::string sProblem;
            if (!ParseTake(argc, argv, &i, bDevice, &pOptions->take, &sProblem)) {
                *piExit = Usage(sProblem.c_str());
                return -1;
            }
            pOptions->bTake = true;
            continue;
        } else if (sArg == "--previous") {
            if (i + 1 >= argc || !IsDigits(argv[i + 1])) {
                *piExit = Usage("--previous needs a package number");
                return -1;
            }
            pOptions->take.iPrevious = std::atoi(argv[++i]);
            continue;
        } else if (!sArg.empty() && sArg[0] == '-') {
            *piExit = Usage(("unknown option " + sArg).c_str());
            return -1;
        } else if (!bDevice && ParseDeviceNumber(argv[i], &pOptions->iDevice)) {
            bDevice = true;
            continue;
        } else {
            *piExit = Usage(bDevice ? ("unexpected argument " + sArg).c_str()
                                    : ("DEVICE " + DeviceArgumentProblem(argv[i])).c_str());
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
    if (pOptions->bTake && (pOptions->sSources.empty() || pOptions->sDests.empty())) {
        *piExit = Usage("--take needs --sources and --dests");
        return -1;
    }
    return 1;
}

// What became of loading the library the way the driver does.
DllProbe ProbeExternalDll(const char* pName, std::string* psDetail)
{
    if (std::strcmp(pName, kNoLibrary) == 0) return kDllNotNeeded;
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
    std::vector<std::string> asError;
    if (!ParseSlotsText(sText, sPath, &aLines, &asError)) {
        PrintErrors("zurcheck", asError, "nothing checked");
        return false;
    }
    const std::string sName = BaseName(sPath);
    for (const SlotLine& line : aLines) {
        paSlots->push_back(PackageSlot{line.iSlot, sName + ":" + std::to_string(line.iLine), line.sText});
    }
    return true;
}

void Report(const Options& options, const std::string& sProfile, const std::string& sFrom,
            const std::vector<Finding>& aFindings, const TakePreview& take = TakePreview())
{
    if (options.bJson) {
        std::fputs(FormatFindingsJson(options.iDevice, sProfile, aFindings, take.sJson).c_str(), stdout);
        return;
    }
    std::printf("zurcheck: device %d, profile %s\n", options.iDevice, sProfile.empty() ? "(none)" : sProfile.c_str());
    std::printf("          (configuration directory %s)\n", sFrom.c_str());
    std::fputs(take.sText.c_str(), stdout);
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
    if (options.bTake) {
        // The take, and the profile's findings on the keys it uses (the
        // levels it switches, the mask it names); the others are those of
        // zurcheck without --take.
        std::vector<Finding> aProfileFindings;
        CheckDeviceProfile(ProfileFileSource(sProfile), options.iDevice, &profile, &aProfileFindings);
        TakeSlotFiles files;
        files.sSourcesName = BaseName(options.sSources);
        files.sDestsName = BaseName(options.sDests);
        files.sLevelMapName = BaseName(options.sLevelMap);
        files.bLevelMaps = !options.sLevelMap.empty();
        if (!LoadSlots(options.sSources, &files.aSources) || !LoadSlots(options.sDests, &files.aDests) ||
            (files.bLevelMaps && !LoadSlots(options.sLevelMap, &files.aLevelMaps))) {
            return kExitErrors;
        }
        std::vector<Finding> aTakeFindings;
        const TakePreview take = PreviewTake(options.iDevice, profile, options.take, files, &aTakeFindings);
        for (const Finding& f : aProfileFindings) {
            for (const std::string& sKey : take.asProfileKeys) {
                if (f.sKey == sKey) {
                    aFindings.push_back(f);
                    break;
                }
            }
        }
        aFindings.insert(aFindings.end(), aTakeFindings.begin(), aTakeFindings.end());
        Report(options, sProfile, dir.sFrom, aFindings, take);
        return FindingsExitCode(aFindings);
    }
    CheckDeviceProfile(ProfileFileSource(sProfile), options.iDevice, &profile, &aFindings);
    std::string sDetail;
    DllProbe eProbe = ProbeExternalDll(profile.ExternalDLL, &sDetail);
    CheckExternalDll(profile, eProbe, sDetail, &aFindings);

    std::vector<PackageSlot> aSources, aDests, aMaps;
    if (!options.sSources.empty() && !LoadSlots(options.sSources, &aSources)) return kExitErrors;
    if (!options.sDests.empty() && !LoadSlots(options.sDests, &aDests)) return kExitErrors;
    if (!options.sLevelMap.empty() && !LoadSlots(options.sLevelMap, &aMaps)) return kExitErrors;
    CheckSourcePackages(profile.sLevel, profile.DatabaseSize_0, aSources, &aFindings);
    CheckDestPackages(profile.sLevel, profile.DatabaseSize_1, aDests, options.sLevelMap.empty() ? nullptr : &aMaps,
                      &aFindings);
    CheckLevelMaps(aMaps, &aFindings);

    Report(options, sProfile, dir.sFrom, aFindings);
    return FindingsExitCode(aFindings);
}
