// A small external filter library for the take's tests: it takes over every
// command (mode 1) or lets every command through after rewriting its first
// letter to lower case (mode 2), and counts its calls.
#include <cctype>

namespace {
int iMode = 1;
int nCalls = 0;
}

extern "C" __declspec(dllexport) int __cdecl combinerOutputFilter(char* pText)
{
    ++nCalls;
    if (iMode == 1) return 1;
    pText[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(pText[0])));
    return 0;
}

extern "C" __declspec(dllexport) void __cdecl SetFilterMode(int iNewMode)
{
    iMode = iNewMode;
    nCalls = 0;
}

extern "C" __declspec(dllexport) int __cdecl FilterCalls()
{
    return nCalls;
}
