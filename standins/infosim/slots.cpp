#include "standins/infosim/slots.h"

#include "config/peer_files.h"
#include "standins/common/peer.h"
#include "standins/common/peertext.h"

#include <cstring>

namespace {

char aacSlot[kSlotCount + 1][513];   // 1-based; entry 0 unused

}  // namespace

int LoadSlotsFile(const char* pPath, std::string* pError)
{
    std::string sText;
    if (!ReadWholeFile(pPath, &sText)) {
        *pError = std::string(pPath) + ": cannot read the slots file";
        return 0;
    }
    size_t iStart = ByteOrderMarkLength(sText);   // as a Windows editor saves it
    int iLine = 0;
    while (iStart < sText.size()) {
        size_t iEnd = sText.find('\n', iStart);
        if (iEnd == std::string::npos) iEnd = sText.size();
        std::string sLine = sText.substr(iStart, iEnd - iStart);
        iStart = iEnd + 1;
        ++iLine;
        long lSlot = 0;
        std::string sSlot;
        int iKind = ParseNumberedLine(sLine.c_str(), &lSlot, &sSlot);
        if (iKind == 0) continue;
        std::string sWhere = std::string(pPath) + ":" + std::to_string(iLine) + ": ";
        if (iKind < 0) {
            *pError = sWhere + "expected a slot number first";
            return 0;
        }
        if (lSlot < 1 || lSlot > kSlotCount) {
            *pError = sWhere + "slot number outside 1..4096";
            return 0;
        }
        if (sSlot.size() > 512) {
            *pError = sWhere + "slot text longer than 512 characters";
            return 0;
        }
        SetSlotText(static_cast<int>(lSlot), sSlot.c_str());
    }
    return 1;
}

const char* SlotText(int iSlot)
{
    if (iSlot < 1 || iSlot > kSlotCount) return "";
    return aacSlot[iSlot];
}

void SetSlotText(int iSlot, const char* pText)
{
    if (iSlot < 1 || iSlot > kSlotCount) return;
    std::strncpy(aacSlot[iSlot], pText, 512);
    aacSlot[iSlot][512] = '\0';
}

int FilledSlotCount()
{
    int n = 0;
    for (int i = 1; i <= kSlotCount; ++i) n += aacSlot[i][0] != '\0';
    return n;
}
