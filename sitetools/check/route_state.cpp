#include "sitetools/check/route_state.h"

#include <algorithm>
#include <cstdio>

#include "config/peer_files.h"
#include "core/tokenizer.h"
#include "sitetools/check/text.h"

namespace {

const char kCsvHeader[] = "destination,source,locked";
const int kLockMax = 255;
const size_t kNameWidthMax = 32;   // characters of a name shown

// A CSV field or line without its blanks, and the CR of a CRLF line end.
std::string CsvTrimmed(const std::string& s)
{
    return Trimmed(s, " \t\r");
}

// The header as spreadsheets write it: any case, blanks anywhere.
bool IsCsvHeader(const std::string& sLine)
{
    std::string sBare;
    for (char c : sLine) {
        if (c == ' ' || c == '\t') continue;
        sBare += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return sBare == kCsvHeader;
}

// A CSV number: digits only, at most 9 of them. -1 when it is none.
long CsvNumber(const std::string& sField)
{
    const std::string s = CsvTrimmed(sField);
    if (s.empty() || s.size() > 9) return -1;
    unsigned long long ullValue = 0;
    if (ScanDecimal(s.c_str(), 999999999, &ullValue) != s.c_str() + s.size()) return -1;
    return static_cast<long>(ullValue);
}

std::string Number(int i, int nWidth)
{
    char ac[16];
    std::snprintf(ac, sizeof ac, "%*d", nWidth, i);
    return ac;
}

std::string NameOf(const std::map<int, std::string>& mapName, int i)
{
    auto it = mapName.find(i);
    if (it == mapName.end()) return "";
    return it->second.substr(0, kNameWidthMax);
}

}  // namespace

void RouteStateFromFiles(const unsigned char* pIndex, size_t nIndex, const unsigned char* pLock, size_t nLock,
                         RouteState* pState)
{
    // Decoded as the driver loads, then taken through the bytes it would
    // write, so that every value is in its stored range.
    std::vector<unsigned char> acIndex(kIndexFileSize, 0);
    std::vector<unsigned char> acLock(kLockFileSize, 0);
    if (pIndex != nullptr) {
        DecodeIndex(pIndex, nIndex, pState->aiSource);
        EncodeIndex(pState->aiSource, acIndex.data());
    }
    if (pLock != nullptr) {
        DecodeLocks(pLock, nLock, pState->aiLock);
        EncodeLocks(pState->aiLock, acLock.data());
    }
    DecodeIndex(acIndex.data(), acIndex.size(), pState->aiSource);
    DecodeLocks(acLock.data(), acLock.size(), pState->aiLock);
    pState->aiSource[0] = 0;
    pState->aiLock[0] = 0;
}

void RouteStateToFiles(const RouteState& state, unsigned char* pIndex, unsigned char* pLock)
{
    EncodeIndex(state.aiSource, pIndex);
    EncodeLocks(state.aiLock, pLock);
}

std::string FormatRouteCsv(const RouteState& state)
{
    std::string sOut = std::string(kCsvHeader) + "\n";
    for (int d = 1; d <= kPackageMax; ++d) {
        if (state.aiSource[d] == 0 && state.aiLock[d] == 0) continue;
        sOut += std::to_string(d) + "," + std::to_string(state.aiSource[d]) + "," + std::to_string(state.aiLock[d]) +
                "\n";
    }
    return sOut;
}

bool ParseRouteCsv(const std::string& sText, const std::string& sFile, int iSourceMax, int iDestMax,
                   RouteState* pState, std::vector<std::string>* pasError)
{
    for (int d = 0; d <= kPackageMax; ++d) {
        pState->aiSource[d] = 0;
        pState->aiLock[d] = 0;
    }
    std::vector<int> aiLineOf(kPackageMax + 1, 0);
    const size_t nErrors = pasError->size();
    bool bHeader = false;
    size_t iStart = ByteOrderMarkLength(sText);
    int iLine = 0;
    while (iStart < sText.size()) {
        size_t iEnd = sText.find('\n', iStart);
        if (iEnd == std::string::npos) iEnd = sText.size();
        const std::string sLine = CsvTrimmed(sText.substr(iStart, iEnd - iStart));
        iStart = iEnd + 1;
        ++iLine;
        if (sLine.empty()) continue;
        const std::string sWhere = sFile + ":" + std::to_string(iLine) + ": ";
        if (!bHeader) {
            bHeader = true;
            if (!IsCsvHeader(sLine)) {
                pasError->push_back(sWhere + "expected the header \"" + kCsvHeader + "\"");
            }
            continue;
        }
        std::vector<std::string> asField;
        size_t i = 0;
        for (;;) {
            size_t j = sLine.find(',', i);
            asField.push_back(sLine.substr(i, j == std::string::npos ? std::string::npos : j - i));
            if (j == std::string::npos) break;
            i = j + 1;
        }
        if (asField.size() != 3) {
            pasError->push_back(sWhere + "expected three fields: destination,source,locked");
            continue;
        }
        const long lDest = CsvNumber(asField[0]);
        const long lSource = CsvNumber(asField[1]);
        const long lLock = CsvNumber(asField[2]);
        if (lDest < 1 || lDest > iDestMax) {
            pasError->push_back(sWhere + "destination " + CsvTrimmed(asField[0]) + " is not a number 1.." +
                                std::to_string(iDestMax));
            continue;
        }
        std::string sProblem;
        if (lSource < 0 || lSource > iSourceMax) {
            sProblem = "source " + CsvTrimmed(asField[1]) + " is not a number 0.." + std::to_string(iSourceMax);
        } else if (lLock < 0 || lLock > kLockMax) {
            sProblem = "locked " + CsvTrimmed(asField[2]) + " is not a number 0..255";
        } else if (aiLineOf[lDest] != 0) {
            sProblem = "destination " + std::to_string(lDest) + " is listed already on line " +
                       std::to_string(aiLineOf[lDest]);
        }
        if (!sProblem.empty()) {
            pasError->push_back(sWhere + sProblem);
            continue;
        }
        aiLineOf[lDest] = iLine;
        pState->aiSource[lDest] = static_cast<int>(lSource);
        pState->aiLock[lDest] = static_cast<int>(lLock);
    }
    if (!bHeader) pasError->push_back(sFile + ": empty, expected the header \"" + kCsvHeader + "\"");
    return pasError->size() == nErrors;
}

std::string FormatRouteTable(const RouteState& state, int iDestCount, const std::map<int, std::string>& mapSource,
                             const std::map<int, std::string>& mapDest, bool bRouted, bool bLocked)
{
    if (iDestCount > kPackageMax) iDestCount = kPackageMax;
    std::vector<int> aiShown;
    size_t nDestName = 0;
    size_t nSourceName = 0;
    for (int d = 1; d <= iDestCount; ++d) {
        if (bRouted && state.aiSource[d] == 0) continue;
        if (bLocked && state.aiLock[d] == 0) continue;
        aiShown.push_back(d);
        nDestName = std::max(nDestName, NameOf(mapDest, d).size());
        nSourceName = std::max(nSourceName, NameOf(mapSource, state.aiSource[d]).size());
    }
    const std::string sGap = "  ";
    std::string sOut = " dest" + (nDestName > 0 ? " " + Padded("", nDestName) : "") + sGap + "source" +
                       (nSourceName > 0 ? " " + Padded("", nSourceName) : "") + sGap + "lock\n";
    for (int d : aiShown) {
        const int iSource = state.aiSource[d];
        std::string sLine = Number(d, 5);
        if (nDestName > 0) sLine += " " + Padded(NameOf(mapDest, d), nDestName);
        sLine += sGap + (iSource == 0 ? std::string("     -") : Number(iSource, 6));
        if (nSourceName > 0) sLine += " " + Padded(iSource == 0 ? "" : NameOf(mapSource, iSource), nSourceName);
        sLine += sGap;
        if (state.aiLock[d] == 1) {
            sLine += "locked";
        } else if (state.aiLock[d] != 0) {
            sLine += "locked (" + std::to_string(state.aiLock[d]) + ")";
        }
        while (!sLine.empty() && sLine.back() == ' ') sLine.pop_back();
        sOut += sLine + "\n";
    }
    return sOut;
}

std::vector<RouteChange> DiffRouteStates(const RouteState& a, const RouteState& b)
{
    std::vector<RouteChange> aChange;
    for (int d = 1; d <= kPackageMax; ++d) {
        if (a.aiSource[d] == b.aiSource[d] && a.aiLock[d] == b.aiLock[d]) continue;
        aChange.push_back(RouteChange{d, a.aiSource[d], b.aiSource[d], a.aiLock[d], b.aiLock[d]});
    }
    return aChange;
}

std::string FormatRouteChange(const RouteChange& change)
{
    std::string s = "destination " + std::to_string(change.iDest) + ":";
    if (change.iSourceA != change.iSourceB) {
        s += " source " + std::to_string(change.iSourceA) + " -> " + std::to_string(change.iSourceB);
    }
    if (change.iLockA != change.iLockB) {
        if (change.iSourceA != change.iSourceB) s += ",";
        s += " lock " + std::to_string(change.iLockA) + " -> " + std::to_string(change.iLockB);
    }
    return s;
}

std::string SummarizeRouteChanges(const std::vector<RouteChange>& aChange)
{
    int nGained = 0, nLost = 0, nMoved = 0, nLockGained = 0, nLockLost = 0;
    for (const RouteChange& c : aChange) {
        if (c.iSourceA != c.iSourceB) {
            if (c.iSourceA == 0) ++nGained;
            else if (c.iSourceB == 0) ++nLost;
            else ++nMoved;
        }
        nLockGained += c.iLockA == 0 && c.iLockB != 0;
        nLockLost += c.iLockA != 0 && c.iLockB == 0;
    }
    return std::to_string(aChange.size()) + (aChange.size() == 1 ? " destination changes: " : " destinations change: ") +
           std::to_string(nGained) + (nGained == 1 ? " route" : " routes") + " gained, " + std::to_string(nLost) +
           " lost, " + std::to_string(nMoved) + " moved; " + std::to_string(nLockGained) +
           (nLockGained == 1 ? " lock" : " locks") + " gained, " + std::to_string(nLockLost) + " lost";
}
