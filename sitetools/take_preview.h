// zurcheck --take: one take shown as the driver would run it on the
// profile and the slot files, without any peer: each level's decision, the
// route index change and the revertive.
#pragma once
#include <string>
#include <vector>

#include "sitetools/check/profile_check.h"
#include "sitetools/check/findings.h"
#include "sitetools/check/package_check.h"

// The take as the site engineer gives it: the fields of the router command
// as they would stand in it (S, D and W decimal numbers, the mask without
// its quotes), and the source package routed to D before it (0: none).
struct TakeRequest {
    std::string sSource;
    std::string sDest;
    std::string sMask;
    std::string sWorkstation;
    int iPrevious;
};

// The packages and level maps as the three InfoDrivers hold them;
// bLevelMaps is false when no level-map file was given (every slot then
// holds the default map that the driver writes at start).
struct TakeSlotFiles {
    std::string sSourcesName;
    std::string sDestsName;
    std::string sLevelMapName;
    std::vector<PackageSlot> aSources;
    std::vector<PackageSlot> aDests;
    std::vector<PackageSlot> aLevelMaps;
    bool bLevelMaps;
};

struct TakePreview {
    std::string sText;      // the report's lines, each ending with "\n"
    std::string sJson;      // "take":{...}, a member of the report's JSON object
    std::vector<std::string> asProfileKeys;   // "[Levels] Level_01", "[Masks] Mask_02": the keys the take uses
};

// The value RVX receives for a level command's value: the message carries
// 16 bits of it.
int ValueOnTheWire(int iMessage, int iValue);

// The take on device iDevice as a driver that transmits (TX/RX) runs it,
// with no destination locked; the findings of the take go to pFindings.
TakePreview PreviewTake(int iDevice, const SiteProfile& profile, const TakeRequest& request,
                        const TakeSlotFiles& files, std::vector<Finding>* pFindings);
