#include "standins/common/peertext.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/tokenizer.h"

void QuoteText(const char* pText, size_t nMax, std::string* pOut)
{
    pOut->push_back('"');
    for (size_t i = 0; i < nMax && pText[i] != '\0'; ++i) {
        unsigned char c = static_cast<unsigned char>(pText[i]);
        if (c == '"' || c == '\\') {
            pOut->push_back('\\');
            pOut->push_back(static_cast<char>(c));
        } else if (c >= 0x20 && c < 0x7F) {
            pOut->push_back(static_cast<char>(c));
        } else {
            char acHex[8];
            std::snprintf(acHex, sizeof acHex, "\\x%02X", c);
            pOut->append(acHex);
        }
    }
    pOut->push_back('"');
}

static int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int SplitScriptLine(const char* pLine, std::vector<std::string>* pasWords, std::string* pError)
{
    pasWords->clear();
    const char* p = pLine;
    for (;;) {
        while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
        if (*p == '\0' || *p == '#') return 1;
        std::string sWord;
        if (*p == '"') {
            ++p;
            for (;;) {
                if (*p == '\0' || *p == '\r' || *p == '\n') {
                    *pError = "missing closing quote";
                    return 0;
                }
                if (*p == '"') {
                    ++p;
                    break;
                }
                if (*p != '\\') {
                    sWord.push_back(*p++);
                    continue;
                }
                ++p;
                switch (*p) {
                case '"': sWord.push_back('"'); ++p; break;
                case '\\': sWord.push_back('\\'); ++p; break;
                case 'n': sWord.push_back('\n'); ++p; break;
                case 't': sWord.push_back('\t'); ++p; break;
                case 'x': {
                    int iHigh = HexValue(p[1]);
                    int iLow = iHigh >= 0 ? HexValue(p[2]) : -1;
                    if (iLow < 0) {
                        *pError = "\\x needs two hexadecimal digits";
                        return 0;
                    }
                    sWord.push_back(static_cast<char>(iHigh * 16 + iLow));
                    p += 3;
                    break;
                }
                default:
                    *pError = "unknown escape in quoted text";
                    return 0;
                }
            }
            if (*p != '\0' && *p != ' ' && *p != '\t' && *p != '\r' && *p != '\n') {
                *pError = "blank expected after a quoted text";
                return 0;
            }
        } else {
            while (*p != '\0' && *p != ' ' && *p != '\t' && *p != '\r' && *p != '\n') {
                if (*p == '"') {
                    *pError = "quote inside a word";
                    return 0;
                }
                sWord.push_back(*p++);
            }
        }
        pasWords->push_back(sWord);
    }
}

int ParseInteger(const char* pText, long long* pllValue)
{
    if (pText == nullptr || *pText == '\0') return 0;
    const char* p = pText;
    int bNegative = 0;
    if (*p == '-') {
        bNegative = 1;
        ++p;
    }
    int iBase = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        iBase = 16;
        p += 2;
    }
    if (*p == '\0') return 0;
    unsigned long long ull = 0;
    for (; *p != '\0'; ++p) {
        int d = HexValue(*p);
        if (d < 0 || d >= iBase) return 0;
        ull = ull * static_cast<unsigned>(iBase) + static_cast<unsigned>(d);
        if (ull > 0xFFFFFFFFFFFFull) return 0;
    }
    *pllValue = bNegative ? -static_cast<long long>(ull) : static_cast<long long>(ull);
    return 1;
}

int ParseDuration(const char* pText, long lBareUnitMs, long* plMs)
{
    if (pText == nullptr || *pText == '\0') return 0;
    char* pEnd = nullptr;
    double d = std::strtod(pText, &pEnd);
    if (pEnd == pText || d < 0 || d > 86400000.0) return 0;
    double dUnit;
    if (std::strcmp(pEnd, "") == 0) {
        dUnit = static_cast<double>(lBareUnitMs);
    } else if (std::strcmp(pEnd, "ms") == 0) {
        dUnit = 1.0;
    } else if (std::strcmp(pEnd, "s") == 0) {
        dUnit = 1000.0;
    } else {
        return 0;
    }
    double dMs = d * dUnit;
    if (dMs > 86400000.0) return 0;
    *plMs = static_cast<long>(dMs + 0.5);
    return 1;
}

int ParseNumberedLine(const char* pLine, long* plNumber, std::string* psText)
{
    const char* p = pLine;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0' || *p == '#' || *p == '\r' || *p == '\n') return 0;
    if (*p < '0' || *p > '9') return -1;
    unsigned long long ullValue = 0;
    p = ScanDecimal(p, 999999999, &ullValue);
    const long l = static_cast<long>(ullValue);
    if (*p != '\0' && *p != ' ' && *p != '\t' && *p != '\r' && *p != '\n') return -1;
    while (*p == ' ' || *p == '\t') ++p;
    std::string s(p);
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
    *plNumber = l;
    *psText = s;
    return 1;
}
