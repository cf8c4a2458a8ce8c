// The take's level step: slot texts and a mask text into level commands.
//
// The input is text, one part a line: the 32 level texts ("F,R,101;R,G,5;..."),
// the mask texts ("Cams,3,5;Audio,7"), the level map slot of an earlier take,
// the previous source, source, destination and level map slots, the mask
// field of the command and the workstation number.
//
// Properties: the reset clears every working field of levels 1..32, the
// level map left by the earlier take included, and keeps the configuration;
// the slot readers touch levels 1..31 only, never entry 0 or the
// configuration, leave values of at least -1, map values within 0..32 and
// terminated texts, and read the fields a reference split gives; the level
// choice marks levels with 1 or -1 only and follows the list or the named
// mask; a level composes a command exactly when its source, destination and
// mask are set and it has a kind; the command has its kind's message and
// target, is terminated and uncut, reads back through the tokenizer as the
// numbers it was made of, and is blocked exactly under the take's "not sent"
// conditions.
#include "config/profile_text.h"
#include "core/levels.h"
#include "core/tokenizer.h"

#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"

namespace {

std::vector<std::string> SplitAt(const std::string& s, char c)
{
    std::vector<std::string> parts;
    size_t i = 0;
    for (;;) {
        size_t j = s.find(c, i);
        parts.push_back(s.substr(i, j == std::string::npos ? std::string::npos : j - i));
        if (j == std::string::npos) break;
        i = j + 1;
    }
    return parts;
}

void CheckLogLine(const char* pText)
{
    BoundedLength(pText, 512);
}

int FieldValue(const std::string& s)
{
    if (!s.empty() && s[0] == '-') return -1;
    int i = ConvertNumber(s.c_str());
    return i < -1 ? -1 : i;
}

// The slot fields the readers see: at most 31, none of them cut (texts with
// a field of 300 characters or more are not modelled).
bool SlotFields(const std::string& slot, std::vector<std::string>* pFields)
{
    *pFields = SplitAt(slot, ',');
    if (pFields->size() > 31) pFields->resize(31);
    for (const std::string& f : *pFields) {
        if (f.size() >= 300) return false;
    }
    return true;
}

struct Expected {
    std::vector<int> aiPrev, aiSrc, aiDest, aiMap;
};

void Run(const std::vector<std::string>& lines)
{
    auto Line = [&lines](size_t i) { return i < lines.size() ? lines[i] : std::string(); };

    std::unique_ptr<LevelEntry[]> asLevel(new LevelEntry[kLevelCount + 1]);
    std::memset(asLevel.get(), 0, sizeof(LevelEntry) * (kLevelCount + 1));
    const std::vector<std::string> levelTexts = SplitAt(Line(0), ';');
    for (int L = 1; L <= kLevelCount && static_cast<size_t>(L) <= levelTexts.size(); ++L) {
        std::unique_ptr<char[]> p = HeapText(levelTexts[L - 1]);
        ParseLevelText(p.get(), &asLevel[L].iType, &asLevel[L].iKind, &asLevel[L].iTarget);
    }
    std::unique_ptr<MaskEntry[]> asMask(new MaskEntry[kMaskCount + 1]);
    std::memset(asMask.get(), 0, sizeof(MaskEntry) * (kMaskCount + 1));
    const std::vector<std::string> maskTexts = SplitAt(Line(1), ';');
    for (int i = 1; i <= kMaskCount; ++i) {
        std::unique_ptr<char[]> p = HeapText(static_cast<size_t>(i) <= maskTexts.size() ? maskTexts[i - 1] : "");
        ParseMaskText(p.get(), &asMask[i]);
    }
    ReadLevelMapSlot(asLevel.get(), HeapText(Line(2)).get());

    // The reset.
    const LevelEntry sZero = asLevel[0];
    std::vector<LevelEntry> before(asLevel.get(), asLevel.get() + kLevelCount + 1);
    ResetTakeFields(asLevel.get());
    FUZZ_CHECK(std::memcmp(&asLevel[0], &sZero, sizeof sZero) == 0);
    for (int L = 1; L <= kLevelCount; ++L) {
        const LevelEntry& s = asLevel[L];
        FUZZ_CHECK(s.iPrevSrc == -1 && s.iSrc == -1 && s.iDest == -1 && s.iMask == -1 && s.acText[0] == '\0');
        FUZZ_CHECK(s.iType == before[L].iType && s.iKind == before[L].iKind && s.iTarget == before[L].iTarget);
        FUZZ_CHECK(s.iMap == 0);
    }
    before.assign(asLevel.get(), asLevel.get() + kLevelCount + 1);

    // The four slots, in the take's order.
    const std::string prev = Line(3), src = Line(4), dest = Line(5), map = Line(6);
    ReadPrevSourceSlot(asLevel.get(), HeapText(prev).get());
    ReadSourceSlot(asLevel.get(), HeapText(src).get());
    ReadDestSlot(asLevel.get(), HeapText(dest).get());
    ReadLevelMapSlot(asLevel.get(), HeapText(map).get());
    FUZZ_CHECK(std::memcmp(&asLevel[0], &sZero, sizeof sZero) == 0);
    for (int L = 1; L <= kLevelCount; ++L) {
        const LevelEntry& s = asLevel[L];
        FUZZ_CHECK(s.iType == before[L].iType && s.iKind == before[L].iKind && s.iTarget == before[L].iTarget);
        FUZZ_CHECK(s.iPrevSrc >= -1 && s.iSrc >= -1 && s.iDest >= -1 && s.iMask == -1);
        FUZZ_CHECK(s.iMap >= 0 && s.iMap <= kLevelCount);
        size_t nText = BoundedLength(s.acText, sizeof s.acText);
        if (nText > 0) FUZZ_CHECK(s.iKind == 3);
    }
    const LevelEntry& s32 = asLevel[kLevelCount];
    FUZZ_CHECK(s32.iPrevSrc == -1 && s32.iSrc == -1 && s32.iDest == -1 && s32.iMap == before[kLevelCount].iMap);

    std::vector<std::string> fields;
    if (SlotFields(prev, &fields)) {
        bool bOn = true;
        for (int L = 1; L <= 31; ++L) {
            int iExpected = bOn && static_cast<size_t>(L) <= fields.size() ? FieldValue(fields[L - 1]) : -1;
            FUZZ_CHECK(asLevel[L].iPrevSrc == iExpected);
            if (static_cast<size_t>(L) <= fields.size() && fields[L - 1].empty()) bOn = false;
        }
    }
    if (SlotFields(src, &fields)) {
        bool bOn = true;
        for (int L = 1; L <= 31; ++L) {
            if (static_cast<size_t>(L) > fields.size() || fields[L - 1].empty()) bOn = false;
            FUZZ_CHECK(asLevel[L].iSrc == (bOn ? FieldValue(fields[L - 1]) : -1));
            if (bOn && asLevel[L].iKind == 3 && asLevel[L].iType == 1)
                FUZZ_CHECK(fields[L - 1].compare(0, kSlotTextMax, asLevel[L].acText) == 0);
        }
    }
    if (SlotFields(dest, &fields)) {
        bool bOn = true;
        for (int L = 1; L <= 31; ++L) {
            bool bField = bOn && static_cast<size_t>(L) <= fields.size();
            FUZZ_CHECK(asLevel[L].iDest == (bField && !fields[L - 1].empty() ? FieldValue(fields[L - 1]) : -1));
            if (bField && fields[L - 1].empty()) bOn = false;
        }
    }
    if (SlotFields(map, &fields)) {
        for (int L = 1; L <= 31; ++L) {
            int iExpected = before[L].iMap;
            if (static_cast<size_t>(L) <= fields.size()) {
                iExpected = ConvertNumber(fields[L - 1].c_str());
                if (iExpected < 1 || iExpected > kLevelCount) iExpected = 0;
            }
            FUZZ_CHECK(asLevel[L].iMap == iExpected);
        }
    }

    // The level choice.
    const std::string mask = Line(7);
    SelectLevels(asLevel.get(), asMask.get(), HeapText(mask).get(), CheckLogLine);
    const std::string chosen = !mask.empty() && mask[0] == ',' ? mask.substr(1) : mask;
    std::vector<int> aiMask(kLevelCount + 1, -1);
    if (!chosen.empty() && chosen[0] >= '0' && chosen[0] <= '9') {
        if (SlotFields(chosen, &fields)) {
            for (const std::string& f : fields) {
                int iLevel = ConvertNumber(f.c_str());
                if (iLevel >= 1 && iLevel <= kLevelCount) aiMask[iLevel] = 1;
            }
        } else {
            for (int L = 1; L <= kLevelCount; ++L) aiMask[L] = asLevel[L].iMask;
        }
    } else {
        for (int i = 1; i <= kMaskCount; ++i) {
            if (chosen == asMask[i].acName) {
                for (int L = 1; L <= kLevelCount; ++L) aiMask[L] = asMask[i].aiLevels[L];
                break;
            }
        }
    }
    for (int L = 1; L <= kLevelCount; ++L) {
        FUZZ_CHECK(asLevel[L].iMask == 1 || asLevel[L].iMask == -1);
        FUZZ_CHECK(asLevel[L].iMask == aiMask[L]);
    }

    // The level step for every level, and for numbers outside the table.
    const int iWorkstation = ConvertNumber(Line(8).c_str());
    LevelCommand sCmd;
    FUZZ_CHECK(ComposeLevelCommand(asLevel.get(), 0, iWorkstation, &sCmd, CheckLogLine) == 0);
    FUZZ_CHECK(ComposeLevelCommand(asLevel.get(), kLevelCount + 1, iWorkstation, &sCmd, CheckLogLine) == 0);
    for (int L = 1; L <= kLevelCount; ++L) {
        const LevelEntry sL = asLevel[L];
        std::memset(&sCmd, 0x5A, sizeof sCmd);
        int bComposed = ComposeLevelCommand(asLevel.get(), L, iWorkstation, &sCmd, CheckLogLine);
        bool bTakesPart = sL.iSrc != -1 && sL.iDest != -1 && sL.iMask != -1 && sL.iKind >= 1 && sL.iKind <= 3;
        FUZZ_CHECK(bComposed == (bTakesPart ? 1 : 0));
        if (!bComposed) {
            FUZZ_CHECK(std::memcmp(&asLevel[L], &sL, sizeof sL) == 0);
            continue;
        }
        const LevelEntry& sNow = asLevel[L];   // after a general-switch reduction
        const LevelEntry& sM = asLevel[sL.iMap];
        FUZZ_CHECK(sCmd.iMessage == (sL.iKind == 1 ? 2124 : sL.iKind == 2 ? 2134 : 2144));
        FUZZ_CHECK(sCmd.iTarget == sL.iTarget);
        FUZZ_CHECK(sCmd.bBlocked == 0 || sCmd.bBlocked == 1);
        size_t nText = BoundedLength(sCmd.acText, sizeof sCmd.acText);
        FUZZ_CHECK(nText < sizeof sCmd.acText - 1);
        FUZZ_CHECK(std::memcmp(sCmd.acText, sL.iKind == 1 ? "RC " : sL.iKind == 2 ? "GS " : "IW ", 3) == 0);
        const std::string tail = " " + std::to_string(iWorkstation);
        FUZZ_CHECK(nText >= tail.size() && std::string(sCmd.acText + nText - tail.size()) == tail);

        const bool bForward = sL.iType == 1;
        bool bBlocked = false;
        int iFirst = 0, iSecond = 0;
        if (sL.iKind == 1) {
            bBlocked = sM.iDest > 4096 || sL.iSrc > 4096 || sL.iPrevSrc > 4096;
            if (bForward) {
                iFirst = sL.iSrc, iSecond = sM.iDest, bBlocked = bBlocked || sM.iDest < 1;
            } else if (sL.iSrc != 0) {
                iFirst = sM.iDest, iSecond = sL.iSrc, bBlocked = bBlocked || sL.iSrc < 1;
            } else {
                iFirst = 0, iSecond = sL.iPrevSrc, bBlocked = bBlocked || sL.iPrevSrc < 1;
            }
        } else if (sL.iKind == 2) {
            if (bForward) FUZZ_CHECK(sNow.iSrc == (sL.iSrc != 0 ? 1 : 0) && sNow.iDest == sL.iDest);
            else FUZZ_CHECK(sNow.iDest == (sL.iDest != 0 ? 1 : 0) && sNow.iSrc == sL.iSrc);
            bBlocked = sM.iDest > 4096 || sNow.iSrc > 4096 || (bForward ? sM.iDest < 1 : sM.iSrc < 1);
            iFirst = bForward ? sNow.iDest : sM.iSrc;
            iSecond = bForward ? sM.iSrc : sNow.iDest;
        } else {
            bBlocked = sM.iDest > 4096 || sL.iSrc > 4096 || (bForward ? sM.iDest < 1 : sM.iSrc < 1);
            std::string head = "IW " + std::to_string(sL.iTarget) + " '" + sL.acText + "' ";
            FUZZ_CHECK(std::string(sCmd.acText, std::min(nText, head.size())) == head);
        }
        FUZZ_CHECK(sCmd.bBlocked == (bBlocked ? 1 : 0));
        if (sL.iKind != 3) {
            // The command reads back as the numbers it was made of.
            std::unique_ptr<char[]> pCopy = HeapText(std::string(sCmd.acText, nText));
            char* apField[6] = {};
            int aiValue[5] = {};
            int nFields = TokenizeCommand(pCopy.get(), sL.iKind == 1 ? 5 : 4, apField, aiValue);
            FUZZ_CHECK(nFields == (sL.iKind == 1 ? 5 : 4));
            FUZZ_CHECK(aiValue[0] == sL.iTarget && aiValue[1] == iFirst && aiValue[2] == iSecond);
            if (sL.iKind == 1) FUZZ_CHECK(std::strcmp(apField[3], ",---") == 0 && aiValue[4] == iWorkstation);
            else FUZZ_CHECK(aiValue[3] == iWorkstation);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string input(reinterpret_cast<const char*>(pData), strnlen(reinterpret_cast<const char*>(pData), nSize));
    Run(SplitAt(input, '\n'));
    return 0;
}
