#include "core/tokenizer.h"

#include <climits>
#include <cstring>

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int ConvertNumber(const char* pText)
{
    if (pText == nullptr) return 0;
    while (IsSpace(*pText)) ++pText;
    bool bNegative = false;
    if (*pText == '+' || *pText == '-') {
        bNegative = *pText == '-';
        ++pText;
    }
    // The magnitude stops growing once it is past the int range: very long
    // digit runs saturate.
    const long long llCap = static_cast<long long>(INT_MAX) + 1;
    unsigned long long ullValue = 0;
    ScanDecimal(pText, static_cast<unsigned long long>(llCap), &ullValue);
    const long long llValue = static_cast<long long>(ullValue);
    if (bNegative) {
        if (llValue >= llCap) return INT_MIN;
        return static_cast<int>(-llValue);
    }
    if (llValue > INT_MAX) return INT_MAX;
    return static_cast<int>(llValue);
}

const char* ScanDecimal(const char* p, unsigned long long ullCap, unsigned long long* pullValue)
{
    unsigned long long ullValue = 0;
    while (*p >= '0' && *p <= '9') {
        const unsigned long long ullDigit = static_cast<unsigned long long>(*p - '0');
        if (ullValue > (ullCap - ullDigit) / 10) ullValue = ullCap;
        else ullValue = ullValue * 10 + ullDigit;
        ++p;
    }
    *pullValue = ullValue;
    return p;
}

int IsNumberField(const char* pField)
{
    if (pField == nullptr) return 0;
    if (*pField == '+' || *pField == '-') ++pField;
    if (*pField < '0' || *pField > '9') return 0;
    while (*pField >= '0' && *pField <= '9') ++pField;
    return *pField == '\0' ? 1 : 0;
}

// Fields are copied leftwards inside the text itself: field 0 to the start
// (over the command letters), field i to the separator in front of it. Every
// write lands left of the next character still to be read, so the copy never
// overtakes the scan.
int TokenizeCommand(char* pText, int iCount, char** apField, int* aiValue)
{
    if (pText == nullptr || apField == nullptr) return 0;
    const int iLen = static_cast<int>(std::strlen(pText));
    apField[0] = pText;
    int iPos = 3;
    int i = 0;
    while (iPos <= iLen && i < iCount) {
        while (iPos < iLen && pText[iPos] == ' ') ++iPos;

        char* pOut = apField[i];
        int k = 0;
        if (iPos < iLen && pText[iPos] == '\'') {
            ++iPos;
            while (iPos < iLen && pText[iPos] != '\'') pOut[k++] = pText[iPos++];
            pOut[k] = '\0';
            ++iPos;   // past the closing quote
        } else {
            while (iPos < iLen && pText[iPos] != ' ') pOut[k++] = pText[iPos++];
            pOut[k] = '\0';
        }
        aiValue[i] = ConvertNumber(pOut);

        // Whatever follows a closing quote up to the next blank is dropped.
        while (iPos < iLen && pText[iPos] != ' ') ++iPos;

        ++i;
        // The next field starts at the separator that ended this one. After
        // an unclosed quote the scan stands past the end: keep the pointer
        // on the terminator.
        apField[i] = pText + (iPos <= iLen ? iPos : iLen);
        ++iPos;
    }
    return i;
}
