#include "core/device_names.h"

#include <cstdio>

const char kDriverWindowClass[] = "Q7CMBINE";

bool FormatDeviceFileName(char* pOut, size_t nSize, const char* pDir, int iDevice, const char* pExtension)
{
    if (pOut == nullptr || nSize == 0) return false;
    const bool bDir = pDir != nullptr && pDir[0] != '\0';
    const int n = bDir ? std::snprintf(pOut, nSize, "%s\\DEV_%03d.%s", pDir, iDevice, pExtension)
                       : std::snprintf(pOut, nSize, "DEV_%03d.%s", iDevice, pExtension);
    if (n < 0 || static_cast<size_t>(n) >= nSize) {
        pOut[0] = '\0';
        return false;
    }
    return true;
}

void FormatDriverTitleEnd(char* pOut, size_t nSize, int iDevice)
{
    if (pOut == nullptr || nSize == 0) return;
    std::snprintf(pOut, nSize, "- Device %d", iDevice);
}
