// The device number as a person types it (platform-free): on the driver's
// command line and as the DEVICE of the site tools.
#pragma once
#include <string>

// A whole number 1..999 in decimal digits, leading zeros allowed ("007" is
// device 7), blanks and tabs around it ignored. Anything else (a sign, a
// letter, a second word, no digits) is not a device number.
bool ParseDeviceArgument(const char* pText, int* piDevice);

// The reader's text for an argument that is not a device number: the
// argument (cut when long, control characters shown as '?') and the range.
std::string DeviceArgumentProblem(const char* pText);
