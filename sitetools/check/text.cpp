#include "sitetools/check/text.h"

#include <cstdio>

std::string Trimmed(const std::string& s, const char* pBlanks)
{
    size_t i = s.find_first_not_of(pBlanks);
    if (i == std::string::npos) return "";
    size_t j = s.find_last_not_of(pBlanks);
    return s.substr(i, j - i + 1);
}

std::string Padded(const std::string& s, size_t nWidth)
{
    return s.size() >= nWidth ? s : s + std::string(nWidth - s.size(), ' ');
}

bool IsWholeNumber(const std::string& sField)
{
    std::string s = Trimmed(sField);
    size_t i = (!s.empty() && (s[0] == '+' || s[0] == '-')) ? 1 : 0;
    if (i >= s.size()) return false;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
    }
    return true;
}

void PrintErrors(const char* pTool, const std::vector<std::string>& asError, const char* pOutcome)
{
    const size_t kShown = 20;
    for (size_t i = 0; i < asError.size() && i < kShown; ++i) {
        std::fprintf(stderr, "%s: %s\n", pTool, asError[i].c_str());
    }
    if (asError.size() > kShown) {
        std::fprintf(stderr, "%s: and %s more\n", pTool, std::to_string(asError.size() - kShown).c_str());
    }
    std::fprintf(stderr, "%s: %s error%s, %s\n", pTool, std::to_string(asError.size()).c_str(),
                 asError.size() == 1 ? "" : "s", pOutcome);
}
