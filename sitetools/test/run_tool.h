// Runs one of the site tools of this build the way a site engineer does and
// collects what it prints.
#pragma once
#include <string>
#include <vector>

#include "tests/support/site.h"

struct ToolRun {
    DWORD dwExit = 999;
    std::string sOutput;   // standard output and error together
};

// Runs ExeDir() + pExe with sArgs, with CC_ROOT/CC_SYSTEM on the site when
// one is given, and waits at most 30 s for it.
inline ToolRun RunTool(const char* pExe, const std::string& sArgs, const DriverSite* pSite,
                       const std::vector<std::string>& asEnv = {})
{
    ToolRun run;
    std::vector<std::string> asAll = asEnv;
    if (pSite != nullptr) {
        asAll.push_back("CC_ROOT=" + pSite->sRoot);
        asAll.push_back("CC_SYSTEM=sys");
    }
    const std::string sOut = TempFile("tool", "out");
    StartedProcess process = StartProgram(pExe, sArgs, asAll, sOut);
    if (process.hProcess == nullptr || !WaitForExit(process.hProcess, 30000, &run.dwExit)) {
        run.sOutput = std::string(pExe) + " did not run to its end";
    } else {
        run.sOutput = ReadBinaryFile(sOut);
    }
    EndProcess(&process);
    DeleteFileA(sOut.c_str());
    return run;
}

inline bool Contains(const std::string& sText, const std::string& sPart)
{
    return sText.find(sPart) != std::string::npos;
}
