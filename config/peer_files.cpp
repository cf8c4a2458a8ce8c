#include "config/peer_files.h"

#include <cstdio>

#include "core/limits.h"
#include "core/tokenizer.h"

namespace {

// The lines of a text, split at LF, after a byte-order mark; a CR before
// the LF stays for the callers, which drop it.
std::vector<std::string> Lines(const std::string& sText)
{
    std::vector<std::string> asLine;
    size_t iStart = ByteOrderMarkLength(sText);
    while (iStart < sText.size()) {
        size_t iEnd = sText.find('\n', iStart);
        if (iEnd == std::string::npos) iEnd = sText.size();
        asLine.push_back(sText.substr(iStart, iEnd - iStart));
        iStart = iEnd + 1;
    }
    return asLine;
}

// A numbered line: 1 with the number (capped at 999999999) and the text
// after the blanks that follow it, 0 for a blank or comment line, -1 when
// the line does not begin with a number.
int ParseNumbered(const std::string& sLine, size_t iFrom, long* plNumber, std::string* psText)
{
    size_t i = sLine.find_first_not_of(" \t", iFrom);
    if (i == std::string::npos || sLine[i] == '#' || sLine[i] == '\r') return 0;
    if (sLine[i] < '0' || sLine[i] > '9') return -1;
    unsigned long long ullValue = 0;
    i = static_cast<size_t>(ScanDecimal(sLine.c_str() + i, 999999999, &ullValue) - sLine.c_str());
    const long l = static_cast<long>(ullValue);
    if (i < sLine.size() && sLine[i] != ' ' && sLine[i] != '\t' && sLine[i] != '\r') return -1;
    i = sLine.find_first_not_of(" \t", i);
    std::string s = i == std::string::npos ? std::string() : sLine.substr(i);
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
    *plNumber = l;
    *psText = s;
    return 1;
}

std::string Where(const std::string& sFile, size_t iLine)
{
    return sFile + ":" + std::to_string(iLine) + ": ";
}

}  // namespace

size_t ByteOrderMarkLength(const std::string& sText)
{
    return sText.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
}

bool ParseSlotsText(const std::string& sText, const std::string& sFile, std::vector<SlotLine>* paSlots,
                    std::vector<std::string>* pasError)
{
    std::map<int, SlotLine> mapSlot;
    const size_t nErrors = pasError->size();
    const std::vector<std::string> asLine = Lines(sText);
    for (size_t n = 0; n < asLine.size(); ++n) {
        long lSlot = 0;
        std::string sSlot;
        int iKind = ParseNumbered(asLine[n], 0, &lSlot, &sSlot);
        if (iKind == 0) continue;
        const char* pProblem = nullptr;
        if (iKind < 0) {
            pProblem = "expected a slot number first";
        } else if (lSlot < 1 || lSlot > kPackageMax) {
            pProblem = "slot number outside 1..4096";
        } else if (sSlot.size() > static_cast<size_t>(kSlotFileTextMax)) {
            pProblem = "slot text longer than 512 characters";
        }
        if (pProblem != nullptr) {
            pasError->push_back(Where(sFile, n + 1) + pProblem);
            continue;
        }
        mapSlot[static_cast<int>(lSlot)] = SlotLine{static_cast<int>(lSlot), static_cast<int>(n + 1), sSlot};
    }
    paSlots->clear();
    for (const auto& entry : mapSlot) paSlots->push_back(entry.second);
    return pasError->size() == nErrors;
}

bool ParseNamesText(const std::string& sText, const std::string& sFile, std::map<int, std::string>* pSources,
                    std::map<int, std::string>* pDestinations, std::string* psError)
{
    const std::vector<std::string> asLine = Lines(sText);
    for (size_t n = 0; n < asLine.size(); ++n) {
        const std::string& sLine = asLine[n];
        size_t i = sLine.find_first_not_of(" \t");
        if (i == std::string::npos || sLine[i] == '#' || sLine[i] == '\r') continue;
        size_t j = sLine.find_first_of(" \t", i);
        const std::string sDatabase = sLine.substr(i, j == std::string::npos ? std::string::npos : j - i);
        std::map<int, std::string>* pNames = nullptr;
        if (sDatabase == "src" || sDatabase == "0") {
            pNames = pSources;
        } else if (sDatabase == "dst" || sDatabase == "1") {
            pNames = pDestinations;
        } else {
            *psError = Where(sFile, n + 1) + "expected src or dst first";
            return false;
        }
        long lIndex = 0;
        std::string sName;
        if (j == std::string::npos || ParseNumbered(sLine, j, &lIndex, &sName) != 1 || lIndex < 1 || lIndex > 65535) {
            *psError = Where(sFile, n + 1) + "expected a package number 1..65535";
            return false;
        }
        (*pNames)[static_cast<int>(lIndex)] = sName;
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
