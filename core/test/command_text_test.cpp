#include "core/command_text.h"

#include <gtest/gtest.h>

#include <string>

TEST(CommandText, RecognisesCommandsByTheirFirstTwoLetters)
{
    EXPECT_EQ(CommandKindOf("RC 201 1 2 ',1' 0"), CMD_RC);
    EXPECT_EQ(CommandKindOf("RF 201 7"), CMD_RF);
    EXPECT_EQ(CommandKindOf("RL"), CMD_RL);
    EXPECT_EQ(CommandKindOf("RP"), CMD_RP);
    EXPECT_EQ(CommandKindOf("RQX201"), CMD_RQ);
    EXPECT_EQ(CommandKindOf("Rc 201"), CMD_NONE);
    EXPECT_EQ(CommandKindOf("rc 201"), CMD_NONE);
    EXPECT_EQ(CommandKindOf("RR 201"), CMD_NONE);
    EXPECT_EQ(CommandKindOf("NS 1"), CMD_NONE);
    EXPECT_EQ(CommandKindOf("R"), CMD_NONE);
    EXPECT_EQ(CommandKindOf(""), CMD_NONE);
    EXPECT_EQ(CommandKindOf(nullptr), CMD_NONE);

    EXPECT_EQ(CommandFieldCount(CMD_RC), 5);
    EXPECT_EQ(CommandFieldCount(CMD_RF), 2);
    EXPECT_EQ(CommandFieldCount(CMD_RL), 5);
    EXPECT_EQ(CommandFieldCount(CMD_RP), 4);
    EXPECT_EQ(CommandFieldCount(CMD_RQ), 4);
    EXPECT_EQ(CommandFieldCount(CMD_NONE), 0);
}

TEST(CommandText, RevertiveNumbersAreZeroFilledAndNeverCut)
{
    char acText[32];
    FormatRevertive(acText, sizeof acText, 42, 7, 0);
    EXPECT_EQ(std::string(acText), "RR 042 007 000");
    FormatRevertive(acText, sizeof acText, 201, 4096, 1234);
    EXPECT_EQ(std::string(acText), "RR 201 4096 1234");
}
