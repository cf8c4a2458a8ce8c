#include "core/tokenizer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Tokens {
    int iFound = 0;
    std::vector<std::string> fields;
    std::vector<int> values;
};

// Tokenizes a copy of pText in a buffer of its exact size, so the sanitizers
// see any access beyond the text. Values not set by the tokenizer stay at a
// marker.
Tokens Tokenize(const char* pText, int iCount)
{
    std::vector<char> buffer(pText, pText + std::strlen(pText) + 1);
    std::vector<char*> apField(iCount + 1, nullptr);
    std::vector<int> aiValue(iCount, -12345);
    Tokens t;
    t.iFound = TokenizeCommand(buffer.data(), iCount, apField.data(), aiValue.data());
    for (int i = 0; i < t.iFound; ++i) t.fields.emplace_back(apField[i]);
    t.values = aiValue;
    return t;
}

}  // namespace

TEST(Tokenizer, SplitsARouteCommandWithQuotedMask)
{
    Tokens t = Tokenize("RC 201 12 34 ',1,2' 7", 5);
    ASSERT_EQ(t.iFound, 5);
    EXPECT_EQ(t.fields, (std::vector<std::string>{"201", "12", "34", ",1,2", "7"}));
    EXPECT_EQ(t.values, (std::vector<int>{201, 12, 34, 0, 7}));
}

TEST(Tokenizer, QuotedFields)
{
    Tokens t = Tokenize("RC 'A B' '' 3", 3);
    ASSERT_EQ(t.iFound, 3);
    EXPECT_EQ(t.fields, (std::vector<std::string>{"A B", "", "3"}));
    EXPECT_EQ(t.values[1], 0);

    // An unclosed quote runs to the end of the text.
    t = Tokenize("RC 1 'abc def", 5);
    ASSERT_EQ(t.iFound, 2);
    EXPECT_EQ(t.fields[1], "abc def");

    // What follows a closing quote up to the next blank is dropped.
    t = Tokenize("RC 'abc'xyz 5", 3);
    ASSERT_EQ(t.iFound, 2);
    EXPECT_EQ(t.fields, (std::vector<std::string>{"abc", "5"}));
    EXPECT_EQ(t.values[1], 5);

    // A quote inside an unquoted field is an ordinary character.
    t = Tokenize("RC ab'c d", 2);
    EXPECT_EQ(t.fields, (std::vector<std::string>{"ab'c", "d"}));
}

TEST(Tokenizer, BlanksBetweenAndAfterFields)
{
    Tokens t = Tokenize("RL    201   10\t 20", 5);
    ASSERT_EQ(t.iFound, 3);
    EXPECT_EQ(t.fields, (std::vector<std::string>{"201", "10\t", "20"}));

    // Trailing blanks give exactly one further, empty field with value 0.
    t = Tokenize("RF 201   ", 2);
    ASSERT_EQ(t.iFound, 2);
    EXPECT_EQ(t.fields[1], "");
    EXPECT_EQ(t.values[1], 0);
    t = Tokenize("RF 201   ", 5);
    EXPECT_EQ(t.iFound, 2);
}

TEST(Tokenizer, StopsAtCountAndReportsFieldsFound)
{
    Tokens t = Tokenize("RP 201 1 64 7 99 100", 4);
    ASSERT_EQ(t.iFound, 4);
    EXPECT_EQ(t.values, (std::vector<int>{201, 1, 64, 7}));

    // Missing fields are reported and their values left untouched.
    t = Tokenize("RC 201 12", 5);
    ASSERT_EQ(t.iFound, 2);
    EXPECT_EQ(t.values[2], -12345);
    EXPECT_EQ(t.values[4], -12345);

    EXPECT_EQ(Tokenize("RF", 2).iFound, 0);
    EXPECT_EQ(Tokenize("", 2).iFound, 0);
    EXPECT_EQ(Tokenize("RF ", 2).iFound, 1);   // one empty field
}

TEST(Tokenizer, ThirdCharacterIsSkippedWhateverItIs)
{
    Tokens t = Tokenize("RCX201 12", 2);
    ASSERT_EQ(t.iFound, 2);
    EXPECT_EQ(t.values, (std::vector<int>{201, 12}));
}

TEST(Tokenizer, ConvertsNumbersLikeAtoi)
{
    EXPECT_EQ(ConvertNumber("-3"), -3);
    EXPECT_EQ(ConvertNumber("+3"), 3);
    EXPECT_EQ(ConvertNumber("12abc"), 12);
    EXPECT_EQ(ConvertNumber("abc"), 0);
    EXPECT_EQ(ConvertNumber("007"), 7);
    EXPECT_EQ(ConvertNumber(" \t\n42"), 42);
    EXPECT_EQ(ConvertNumber("- 3"), 0);
    EXPECT_EQ(ConvertNumber(""), 0);
    // Beyond the int range: saturated, never overflowed.
    EXPECT_EQ(ConvertNumber("2147483647"), INT_MAX);
    EXPECT_EQ(ConvertNumber("2147483648"), INT_MAX);
    EXPECT_EQ(ConvertNumber("-2147483648"), INT_MIN);
    EXPECT_EQ(ConvertNumber("-99999999999999999999999"), INT_MIN);
}
