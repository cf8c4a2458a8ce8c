// Random texts through every parser of command and profile text. Each text
// lives in a heap block of its exact size, so the sanitizers report any read
// or write outside it.
#include "config/profile_text.h"
#include "core/command_text.h"
#include "core/log.h"
#include "core/strtok.h"
#include "core/tokenizer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

// Bytes 1..255, biased towards the characters the parsers treat specially.
std::vector<char> RandomText(std::mt19937& rng)
{
    static const char kSpecial[] = " ',-+0123456789RCFLPQGIA\t";
    size_t nLen = rng() % 301;
    std::vector<char> text(nLen + 1, '\0');
    for (size_t i = 0; i < nLen; ++i) {
        if (rng() % 2 == 0) text[i] = kSpecial[rng() % (sizeof kSpecial - 1)];
        else text[i] = static_cast<char>(1 + rng() % 255);
    }
    return text;
}

}  // namespace

TEST(ParsersFuzz, RandomTextsStayInBounds)
{
    std::mt19937 rng(20261208);
    auto pSplitter = std::make_unique<Ckelm_strtok>();
    std::vector<int> abAccess(1001, 7);
    for (int iRound = 0; iRound < 20000; ++iRound) {
        const std::vector<char> original = RandomText(rng);
        const char* pText = original.data();
        const size_t nLen = original.size() - 1;

        std::vector<char> work(original);
        int iCount = static_cast<int>(rng() % 8);
        std::vector<char*> apField(iCount + 1, nullptr);
        std::vector<int> aiValue(iCount, 0);
        int iFound = TokenizeCommand(work.data(), iCount, apField.data(), aiValue.data());
        ASSERT_GE(iFound, 0);
        ASSERT_LE(iFound, iCount);
        for (int i = 0; i < iFound; ++i) {
            ASSERT_GE(apField[i], work.data());
            ASSERT_LE(apField[i] + std::strlen(apField[i]), work.data() + nLen);
        }

        int iValue = ConvertNumber(pText) + CommandKindOf(pText);
        long lValue = 0;
        ScanInt(pText, &iValue);
        ScanLong(pText, &lValue);

        pSplitter->Split(pText, static_cast<char>(rng() % 2 ? ',' : rng() % 256));
        char acField[Ckelm_strtok::kFieldSize + 1];
        pSplitter->Field(static_cast<int>(rng() % 130), acField);
        ASSERT_LE(std::strlen(acField), static_cast<size_t>(Ckelm_strtok::kFieldSize));

        int iType = 0, iKind = 0, iTarget = 0;
        ParseLevelText(pText, &iType, &iKind, &iTarget);
        MaskEntry sEntry;
        std::memset(&sEntry, 0, sizeof sEntry);
        ParseMaskText(pText, &sEntry);
        ASSERT_LE(std::strlen(sEntry.acName), 32u);

        ParseAccessText(pText, abAccess.data());
        ASSERT_EQ(abAccess[0], 1);

        char acLine[256];
        FormatDebugLine(acLine, pText);
        ASSERT_EQ(acLine[std::strlen(acLine) - 1], '\n');
    }
}
