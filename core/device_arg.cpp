#include "core/device_arg.h"

#include "core/limits.h"

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
    int iDevice = 0;
    bool bDigits = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        bDigits = true;
        iDevice = iDevice * 10 + (*p - '0');
        if (iDevice > kDeviceMax) return false;   // stops before it could overflow
    }
    while (IsBlank(*p)) ++p;
    if (!bDigits || *p != '\0' || iDevice < 1) return false;
    *piDevice = iDevice;
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
