// zurfilter.dll: an example output filter for the router driver. Its
// behaviour is chosen, for tests and demonstrations, by the environment
// variable ZUR_FILTER_MODE, read at every call:
//   (unset or any other text)  takes over "GS" commands, passes the rest
//   all                        takes over every command
//   none                       passes every command unchanged
//   rewrite                    upper-cases the command in place and passes it
// When ZUR_FILTER_LOG names a file, every call appends one line to it:
// "<mode> <result> <text as received>".
#include <windows.h>

#define ZUR_FILTER_BUILD
#include "standins/filter/filter_api.h"

#include <cstdio>
#include <cstring>

namespace {

void Note(const char* pMode, int iResult, const char* pText)
{
    char acPath[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("ZUR_FILTER_LOG", acPath, sizeof acPath);
    if (n == 0 || n >= sizeof acPath) return;
    FILE* pFile = std::fopen(acPath, "ab");
    if (pFile == nullptr) return;
    std::fprintf(pFile, "%s %d %s\n", pMode, iResult, pText);
    std::fclose(pFile);
}

}  // namespace

extern "C" int __cdecl combinerOutputFilter(char* pText)
{
    if (pText == nullptr) return 0;
    char acMode[32] = "";
    DWORD n = GetEnvironmentVariableA("ZUR_FILTER_MODE", acMode, sizeof acMode);
    if (n >= sizeof acMode) acMode[0] = '\0';

    char acReceived[512];
    std::snprintf(acReceived, sizeof acReceived, "%s", pText);
    int iResult;
    const char* pMode;
    if (std::strcmp(acMode, "all") == 0) {
        pMode = "all";
        iResult = 1;
    } else if (std::strcmp(acMode, "none") == 0) {
        pMode = "none";
        iResult = 0;
    } else if (std::strcmp(acMode, "rewrite") == 0) {
        pMode = "rewrite";
        for (char* p = pText; *p != '\0'; ++p) {
            if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
        }
        iResult = 0;
    } else {
        pMode = "gs";
        iResult = pText[0] == 'G' && pText[1] == 'S';
    }
    Note(pMode, iResult, acReceived);
    return iResult;
}
