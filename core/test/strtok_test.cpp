#include "core/strtok.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

std::string FieldOf(const Ckelm_strtok& s, int n)
{
    char acField[Ckelm_strtok::kFieldSize + 1];
    s.Field(n, acField);
    return acField;
}

}  // namespace

TEST(FieldSplitter, KeepsEmptyFields)
{
    auto p = std::make_unique<Ckelm_strtok>();
    p->Split("a,,b", ',');
    EXPECT_EQ(FieldOf(*p, 0), "a");
    EXPECT_EQ(FieldOf(*p, 1), "");
    EXPECT_EQ(FieldOf(*p, 2), "b");
    EXPECT_EQ(FieldOf(*p, 3), "");

    p->Clear();
    p->Split("a,", ',');
    EXPECT_EQ(FieldOf(*p, 0), "a");
    EXPECT_EQ(FieldOf(*p, 1), "");
    p->Clear();
    p->Split(",a", ',');
    EXPECT_EQ(FieldOf(*p, 0), "");
    EXPECT_EQ(FieldOf(*p, 1), "a");

    // The empty text gives one empty field; a field out of range reads empty.
    p->Clear();
    p->Split("", ',');
    EXPECT_EQ(FieldOf(*p, 0), "");
    EXPECT_EQ(FieldOf(*p, -1), "");
    EXPECT_EQ(FieldOf(*p, Ckelm_strtok::kFields), "");
}

TEST(FieldSplitter, StopsAtTheTableLimits)
{
    auto p = std::make_unique<Ckelm_strtok>();
    std::string text;
    for (int i = 0; i <= 200; ++i) text += std::to_string(i) + (i < 200 ? "," : "");
    p->Split(text.c_str(), ',');
    EXPECT_EQ(FieldOf(*p, 0), "0");
    EXPECT_EQ(FieldOf(*p, 127), "127");

    // A field of 300 characters fills its row and ends the split; it reads
    // back whole and terminated.
    p->Clear();
    std::string full(Ckelm_strtok::kFieldSize, 'x');
    p->Split((full + "y,z").c_str(), ',');
    EXPECT_EQ(FieldOf(*p, 0), full);
    EXPECT_EQ(FieldOf(*p, 1), "");
}

TEST(FieldSplitter, SecondSplitWithoutClearKeepsLaterFields)
{
    auto p = std::make_unique<Ckelm_strtok>();
    p->Split("one,two,three,four", ',');
    p->Split("A,B", ',');
    EXPECT_EQ(FieldOf(*p, 0), "A");
    EXPECT_EQ(FieldOf(*p, 1), "B");
    EXPECT_EQ(FieldOf(*p, 2), "three");
    EXPECT_EQ(FieldOf(*p, 3), "four");

    // A shorter field written over a full row is terminated.
    p->Split(std::string(Ckelm_strtok::kFieldSize, 'x').c_str(), ',');
    p->Split("s", ',');
    EXPECT_EQ(FieldOf(*p, 0), "s");
}
