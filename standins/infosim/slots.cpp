#include "standins/infosim/slots.h"

#include "config/peer_files.h"
#include "standins/common/peer.h"
#include "standins/common/peertext.h"

#include <cstring>

namespace {

char aacSlot[kSlotCount + 1][513];   // 1-based; entry 0 unused

}  // namespace

int LoadSlotsFile(const char* pPath, std::vector<std::string>* pasError)
{
    std::string sText;
    if (!ReadWholeFile(pPath, &sText)) {
        pasError->push_back(std::string(pPath) + ": cannot read the slots file");
        return 0;
    }
    // The slot files as zurcheck reads them: every line checked, a later
    // line for a slot replacing an earlier one.
    std::vector<SlotLine> aSlots;
    if (!ParseSlotsText(sText, pPath, &aSlots, pasError)) return 0;
    for (const SlotLine& slot : aSlots) SetSlotText(slot.iSlot, slot.sText.c_str());
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
