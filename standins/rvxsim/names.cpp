#include "standins/rvxsim/names.h"

#include "standins/common/peer.h"
#include "standins/common/peertext.h"

#include <cstdio>
#include <map>

namespace {

std::map<long, std::string> mapName;   // key: database * 65536 + index

}  // namespace

int LoadNamesFile(const char* pPath, std::string* pError)
{
    std::string sText;
    if (!ReadWholeFile(pPath, &sText)) {
        *pError = std::string(pPath) + ": cannot read the names file";
        return 0;
    }
    size_t iStart = 0;
    int iLine = 0;
    while (iStart < sText.size()) {
        size_t iEnd = sText.find('\n', iStart);
        if (iEnd == std::string::npos) iEnd = sText.size();
        std::string sLine = sText.substr(iStart, iEnd - iStart);
        iStart = iEnd + 1;
        ++iLine;
        size_t i = sLine.find_first_not_of(" \t");
        if (i == std::string::npos || sLine[i] == '#' || sLine[i] == '\r') continue;
        size_t j = sLine.find_first_of(" \t", i);
        std::string sDb = sLine.substr(i, j == std::string::npos ? std::string::npos : j - i);
        long lDb;
        if (sDb == "src" || sDb == "0") {
            lDb = 0;
        } else if (sDb == "dst" || sDb == "1") {
            lDb = 1;
        } else {
            *pError = std::string(pPath) + ":" + std::to_string(iLine) + ": expected src or dst first";
            return 0;
        }
        long lIndex = 0;
        std::string sName;
        if (j == std::string::npos || ParseNumberedLine(sLine.c_str() + j, &lIndex, &sName) != 1 || lIndex < 1
            || lIndex > 65535) {
            *pError = std::string(pPath) + ":" + std::to_string(iLine) + ": expected a package number 1..65535";
            return 0;
        }
        mapName[lDb * 65536 + lIndex] = sName;
    }
    return 1;
}

std::string PackageName(int iDatabase, int iIndex)
{
    auto it = mapName.find(static_cast<long>(iDatabase) * 65536 + iIndex);
    if (it != mapName.end()) return it->second;
    char ac[32];
    if (iDatabase == 0) {
        std::snprintf(ac, sizeof ac, "SRC %04d", iIndex);
    } else if (iDatabase == 1) {
        std::snprintf(ac, sizeof ac, "DST %04d", iIndex);
    } else {
        std::snprintf(ac, sizeof ac, "DB%d %04d", iDatabase, iIndex);
    }
    return ac;
}
