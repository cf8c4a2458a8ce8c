#include "core/device_arg.h"

#include "core/limits.h"
#include "core/tokenizer.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

}  // namespace

bool ParseDeviceArgument(const char* pText, int* piDevice)
{
    if (pText == nullptr) return false;
    const char* p = pText;
    while (IsBlank(*p)) ++p;
    unsigned long long ullDevice = 0;
    const char* pDigits = p;
    p = ScanDecimal(p, kDeviceMax + 1, &ullDevice);
    const bool bDigits = p != pDigits;
    while (IsBlank(*p)) ++p;
    if (!bDigits || *p != '\0' || ullDevice < 1 || ullDevice > kDeviceMax) return false;
    *piDevice = static_cast<int>(ullDevice);
    return true;
}

std::string DeviceArgumentProblem(const char* pText)
{
    const size_t kShown = 40;
    std::string sShown;
    for (const char* p = pText == nullptr ? "" : pText; *p != '\0'; ++p) {
        if (sShown.size() == kShown) {
            sShown += "...";
            break;
        }
        const unsigned char c = static_cast<unsigned char>(*p);
        sShown += c < 0x20 || c == 0x7f ? '?' : static_cast<char>(c);
    }
    return "\"" + sShown + "\" is not a device number: give a whole number 1.." + std::to_string(kDeviceMax) +
           " (leading zeros allowed).";
}
