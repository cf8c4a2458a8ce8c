#include "sitetools/check/text.h"

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
