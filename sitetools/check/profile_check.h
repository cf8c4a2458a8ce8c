// The device profile as the driver will load it, and what is wrong or
// doubtful in it (platform-free: the profile is read through a
// ProfileSource, which the site checker binds to the platform's profile
// functions).
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "config/profile.h"
#include "sitetools/check/findings.h"

// Read access to one profile file. None of them writes.
struct ProfileSource {
    // The value as the driver reads it: pDefault when the key is missing,
    // at most nBuffer - 1 characters.
    std::function<std::string(const char* pSection, const char* pKey, const char* pDefault, int nBuffer)> fnRead;
    // The whole value; false when the key is missing.
    std::function<bool(const char* pSection, const char* pKey, std::string* psValue)> fnWhole;
    // The section names (pSection null) or the key names of one section.
    std::function<std::vector<std::string>(const char* pSection)> fnNames;
};

// What the driver holds once it has loaded the profile (the defaults it
// writes back included), and what the checker keeps besides.
struct SiteProfile : DeviceProfile {
    int DebugMode;
    int abLevelSet[kLevelCount + 1];   // 1: the profile defines the level (not missing, not NONE)
};

// Loads the profile as the driver does for device iDevice into *pProfile
// and adds a finding for every key that is missing, unusable, refused or
// doubtful.
void CheckDeviceProfile(const ProfileSource& source, int iDevice, SiteProfile* pProfile,
                        std::vector<Finding>* pFindings);

// What became of loading ExternalDLL the way the driver loads it.
enum DllProbe {
    kDllNotNeeded,      // ExternalDLL is NONE
    kDllNotFound,
    kDllOtherPlatform,  // found, but built for another platform than the checker
    kDllNotLoaded,      // found, but the load failed for another reason
    kDllNoFilter,       // loaded; no combinerOutputFilter
    kDllFilter          // loaded; exports combinerOutputFilter
};

// sDetail: where it was found (kDllNoFilter, kDllFilter) or the system's
// error text (kDllOtherPlatform, kDllNotLoaded).
void CheckExternalDll(const SiteProfile& profile, DllProbe eProbe, const std::string& sDetail,
                      std::vector<Finding>* pFindings);
