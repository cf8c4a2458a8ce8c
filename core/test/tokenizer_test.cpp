#include "core/tokenizer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/command_text.h"
#include "core/counter.h"
#include "core/strtok.h"

namespace {

const int kUnset = -12345;

// Tokenizes a copy of pText held in a block of its exact size (so the
// sanitizers see any access beyond it); returns the fields as "[a][b]".
std::string Tokenize(const char* pText, int iCount, std::vector<int>* pValues = nullptr)
{
    std::vector<char> buffer(pText, pText + std::strlen(pText) + 1);
    std::vector<char*> apField(iCount + 1, nullptr);
    std::vector<int> aiValue(iCount, kUnset);
    int iFound = TokenizeCommand(buffer.data(), iCount, apField.data(), aiValue.data());
    std::string fields;
    for (int i = 0; i < iFound; ++i) fields += "[" + std::string(apField[i]) + "]";
    if (pValues != nullptr) *pValues = aiValue;
    return fields;
}

std::string FieldOf(const Ckelm_strtok& s, int n)
{
    char acField[Ckelm_strtok::kFieldSize + 1];
    s.Field(n, acField);
    return acField;
}

}  // namespace

TEST(Tokenizer, SplitsBlankSeparatedAndQuotedFields)
{
    struct { const char* pText; int iCount; const char* pFields; } aCase[] = {
        {"RC 201 12 34 ',1,2' 7", 5, "[201][12][34][,1,2][7]"},
        {"RC 'A B' '' 3", 3, "[A B][][3]"},
        {"RC 1 'abc def", 5, "[1][abc def]"},          // unclosed quote runs to the end
        {"RC 'abc'xyz 5", 3, "[abc][5]"},              // text after a closing quote dropped
        {"RC ab'c d", 2, "[ab'c][d]"},                 // a quote inside a field is a character
        {"RL    201   10\t 20", 5, "[201][10\t][20]"},  // runs of blanks; tabs are characters
        {"RF 201   ", 5, "[201][]"},                   // trailing blanks: one empty field
        {"RP 201 1 64 7 99 100", 4, "[201][1][64][7]"},
        {"RCX201 12", 2, "[201][12]"},                 // the third character is skipped
        {"RF ", 2, "[]"},
        {"RF", 2, ""},
        {"", 2, ""},
    };
    for (const auto& c : aCase) EXPECT_EQ(Tokenize(c.pText, c.iCount), c.pFields) << c.pText;

    std::vector<int> values;
    Tokenize("RC 201 12 34 ',1,2' 7", 5, &values);
    EXPECT_EQ(values, (std::vector<int>{201, 12, 34, 0, 7}));
    Tokenize("RF 201 ", 2, &values);
    EXPECT_EQ(values, (std::vector<int>{201, 0}));
    // Fields that are not there keep whatever the caller had.
    Tokenize("RC 201 12", 5, &values);
    EXPECT_EQ(values, (std::vector<int>{201, 12, kUnset, kUnset, kUnset}));
}

TEST(Tokenizer, ConvertsNumbersLikeAtoiWithoutOverflow)
{
    struct { const char* pText; int iValue; } aCase[] = {
        {"-3", -3}, {"+3", 3}, {"12abc", 12}, {"abc", 0}, {"007", 7}, {" \t\n42", 42},
        {"- 3", 0}, {"", 0}, {"2147483647", INT_MAX}, {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN}, {"-99999999999999999999999", INT_MIN},
    };
    for (const auto& c : aCase) EXPECT_EQ(ConvertNumber(c.pText), c.iValue) << c.pText;
}

// A workstation that is to change routes or locks must be a number as
// written: what converts to 0 without being "0" must not pass as the panel.
TEST(Tokenizer, NumberFieldsAreASignAndDigitsOnly)
{
    for (const char* pText : {"0", "+7", "-3", "007"}) EXPECT_EQ(IsNumberField(pText), 1) << pText;
    for (const char* pText : {"", "abc", "7x", "+", " 7", "--1", "0x10"}) EXPECT_EQ(IsNumberField(pText), 0) << pText;
}

TEST(Counter, WrapsRoundInsteadOfOverflowing)
{
    EXPECT_EQ(CountOne(0), 1);
    EXPECT_EQ(CountOne(-1), 0);
    EXPECT_EQ(CountOne(LONG_MAX), LONG_MIN);
}

TEST(CommandText, KindsFieldCountsAndRevertive)
{
    EXPECT_EQ(CommandKindOf("RC 201 1 2 ',1' 0"), CMD_RC);
    EXPECT_EQ(CommandKindOf("RF 201 7"), CMD_RF);
    EXPECT_EQ(CommandKindOf("RL"), CMD_RL);
    EXPECT_EQ(CommandKindOf("RP"), CMD_RP);
    EXPECT_EQ(CommandKindOf("RQX201"), CMD_RQ);
    for (const char* pOther : {"Rc 201", "rc 201", "RR 201", "NS 1", "R", ""}) {
        EXPECT_EQ(CommandKindOf(pOther), CMD_NONE) << pOther;
    }
    EXPECT_EQ(CommandFieldCount(CMD_RC), 5);
    EXPECT_EQ(CommandFieldCount(CMD_RF), 2);
    EXPECT_EQ(CommandFieldCount(CMD_RL), 5);
    EXPECT_EQ(CommandFieldCount(CMD_RP), 4);
    EXPECT_EQ(CommandFieldCount(CMD_RQ), 4);

    char acText[32];
    FormatRevertive(acText, sizeof acText, 42, 7, 0);
    EXPECT_STREQ(acText, "RR 042 007 000");
    FormatRevertive(acText, sizeof acText, 201, 4096, 1234);
    EXPECT_STREQ(acText, "RR 201 4096 1234");
}

TEST(FieldSplitter, KeepsEmptyFieldsAndStopsAtTheTableLimits)
{
    struct { const char* pText; std::vector<std::string> fields; } aCase[] = {
        {"a,b", {"a", "b", ""}}, {"a,", {"a", ""}}, {",a", {"", "a"}},
        {"a,,b", {"a", "", "b", ""}}, {"", {""}},
    };
    for (const auto& c : aCase) {
        auto p = std::make_unique<Ckelm_strtok>();
        p->Split(c.pText, ',');
        for (size_t n = 0; n < c.fields.size(); ++n) EXPECT_EQ(FieldOf(*p, n), c.fields[n]) << c.pText;
        EXPECT_EQ(FieldOf(*p, -1), "");
        EXPECT_EQ(FieldOf(*p, Ckelm_strtok::kFields), "");
    }

    auto p = std::make_unique<Ckelm_strtok>();
    std::string text = "0";
    for (int i = 1; i <= 200; ++i) text += "," + std::to_string(i);
    p->Split(text.c_str(), ',');
    EXPECT_EQ(FieldOf(*p, 127), "127");

    // A field of 300 characters fills its row, ends the split and reads back
    // whole and terminated.
    p->Clear();
    std::string full(Ckelm_strtok::kFieldSize, 'x');
    p->Split((full + "y,z").c_str(), ',');
    EXPECT_EQ(FieldOf(*p, 0), full);
    EXPECT_EQ(FieldOf(*p, 1), "");
}

TEST(FieldSplitter, SecondSplitWithoutClearKeepsLaterFields)
{
    auto p = std::make_unique<Ckelm_strtok>();
    p->Split(std::string(Ckelm_strtok::kFieldSize, 'x').c_str(), ',');
    p->Split("one,two,three,four", ',');
    p->Split("A,B", ',');
    EXPECT_EQ(FieldOf(*p, 0), "A");
    EXPECT_EQ(FieldOf(*p, 1), "B");
    EXPECT_EQ(FieldOf(*p, 2), "three");
    EXPECT_EQ(FieldOf(*p, 3), "four");
}
