// The device number as typed: every text that is not a whole number 1..999
// is refused, whatever a number reader would make of its start.
#include "core/device_arg.h"

#include <gtest/gtest.h>

#include <string>

TEST(DeviceArgument, WholeNumbersOneToNineHundredNinetyNine)
{
    struct {
        const char* pText;
        int iDevice;   // 0: refused
    } aCase[] = {
        {"240", 240}, {"1", 1}, {"999", 999}, {"007", 7}, {"0000000000000000000240", 240}, {" 201 ", 201},
        {"\t12", 12}, {"0", 0}, {"000", 0}, {"1000", 0}, {"99999999999999999999", 0}, {"abc", 0}, {"", 0},
        {"   ", 0}, {"7x", 0}, {"+7", 0}, {"-7", 0}, {"201 202", 0}, {"2 01", 0}, {"1e2", 0}, {"0x10", 0},
    };
    for (const auto& c : aCase) {
        int iDevice = -1;
        EXPECT_EQ(ParseDeviceArgument(c.pText, &iDevice), c.iDevice != 0) << "\"" << c.pText << "\"";
        if (c.iDevice != 0) {
            EXPECT_EQ(iDevice, c.iDevice) << c.pText;
        } else {
            EXPECT_EQ(iDevice, -1) << c.pText;   // untouched
        }
    }
    int iDevice = -1;
    EXPECT_FALSE(ParseDeviceArgument(nullptr, &iDevice));
}

TEST(DeviceArgument, ProblemNamesTheArgumentAndTheRange)
{
    EXPECT_EQ(DeviceArgumentProblem("abc"),
              "\"abc\" is not a device number: give a whole number 1..999 (leading zeros allowed).");
    EXPECT_EQ(DeviceArgumentProblem(""), DeviceArgumentProblem(nullptr));
    // A long argument is cut; a control character never reaches the box.
    const std::string sLong = DeviceArgumentProblem(("201x\n" + std::string(3000, '9')).c_str());
    EXPECT_EQ(sLong.substr(0, 48), "\"201x?" + std::string(35, '9') + "...\" is");
}
