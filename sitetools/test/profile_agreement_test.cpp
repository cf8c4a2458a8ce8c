// The driver and zurcheck decide a profile alike: every profile of the
// checker's table, and the demo site's, loaded by the driver's loader and by
// the checker, gives the same settings, levels, masks and access list.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "config/profile.h"
#include "core/log.h"
#include "sitetools/check/profile_check.h"
#include "sitetools/sitefiles.h"
#include "sitetools/test/profile_cases.h"
#include "sample_profile.h"
#include "tests/host/test_host.h"

namespace {

// What the checker decided on the profile text: it reads first, as it never
// writes; the driver's load then completes the file with its defaults.
SiteProfile CheckerProfile(const std::string& sConfigDir, const std::string& sText)
{
    const std::string sFile = sConfigDir + "\\DEV_201.INI";
    HANDLE hFile = CreateFileA(sFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD nWritten = 0;
    if (hFile != INVALID_HANDLE_VALUE) {
        WriteFile(hFile, sText.data(), static_cast<DWORD>(sText.size()), &nWritten, nullptr);
        CloseHandle(hFile);
    }
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, sFile.c_str());   // drop a cached copy
    SiteProfile profile;
    std::vector<Finding> aFindings;
    CheckDeviceProfile(ProfileFileSource(sFile), 201, &profile, &aFindings);
    return profile;
}

// Each difference between the two decisions, one line each.
std::string Differences(const DeviceProfile& driver, int iDriverDebugMode, const SiteProfile& checker)
{
    std::string sOut;
    auto fnInt = [&sOut](const char* pWhat, long lDriver, long lChecker) {
        if (lDriver != lChecker) {
            sOut += std::string(pWhat) + ": driver " + std::to_string(lDriver) + ", checker " +
                    std::to_string(lChecker) + "\n";
        }
    };
    fnInt("DatabaseSize_0", driver.DatabaseSize_0, checker.DatabaseSize_0);
    fnInt("DatabaseSize_1", driver.DatabaseSize_1, checker.DatabaseSize_1);
    fnInt("SaveDelay", driver.SaveDelay, checker.SaveDelay);
    fnInt("SrcePkgInfoId", driver.SrcePkgInfoId, checker.SrcePkgInfoId);
    fnInt("DestPkgInfoId", driver.DestPkgInfoId, checker.DestPkgInfoId);
    fnInt("LevelMapInfoId", driver.LevelMapInfoId, checker.LevelMapInfoId);
    fnInt("NameLength", driver.NameLength, checker.NameLength);
    fnInt("RevertiveLevel", driver.RevertiveLevel, checker.RevertiveLevel);
    fnInt("JournalSize", driver.JournalSize, checker.JournalSize);
    fnInt("DebugMode", iDriverDebugMode, checker.DebugMode);
    if (std::strcmp(driver.ExternalDLL, checker.ExternalDLL) != 0) {
        sOut += std::string("ExternalDLL: driver '") + driver.ExternalDLL + "', checker '" + checker.ExternalDLL +
                "'\n";
    }
    for (int w = 0; w <= kWorkstationMax; ++w) {
        fnInt(("Access of workstation " + std::to_string(w)).c_str(), driver.abAccess[w], checker.abAccess[w]);
    }
    for (int n = 1; n <= kLevelCount; ++n) {
        const std::string sLevel = "Level_" + std::to_string(n);
        fnInt((sLevel + " type").c_str(), driver.sLevel[n].iType, checker.sLevel[n].iType);
        fnInt((sLevel + " kind").c_str(), driver.sLevel[n].iKind, checker.sLevel[n].iKind);
        fnInt((sLevel + " target").c_str(), driver.sLevel[n].iTarget, checker.sLevel[n].iTarget);
    }
    for (int n = 1; n <= kMaskCount; ++n) {
        const std::string sMask = "Mask_" + std::to_string(n);
        if (std::strcmp(driver.sMask[n].acName, checker.sMask[n].acName) != 0) {
            sOut += sMask + " name: driver '" + driver.sMask[n].acName + "', checker '" + checker.sMask[n].acName +
                    "'\n";
        }
        for (int L = 1; L <= kLevelCount; ++L) {
            fnInt((sMask + " level " + std::to_string(L)).c_str(), driver.sMask[n].aiLevels[L],
                  checker.sMask[n].aiLevels[L]);
        }
    }
    return sOut;
}

void ExpectAlike(const std::string& sConfigDir, const std::string& sText, const std::string& sWhat)
{
    const SiteProfile checker = CheckerProfile(sConfigDir, sText);
    LoadTestProfile(sConfigDir, sText);
    EXPECT_EQ(Differences(Profile(), DebugMode(), checker), "") << sWhat;
}

}  // namespace

TEST(ProfileAgreement, DriverAndCheckerDecideEveryProfileAlike)
{
    const std::string sConfigDir = UseTempConfigDir(201);
    ExpectAlike(sConfigDir, kSampleProfile, "the demo site's profile");
    for (const ProfileRow& row : BrokenProfileRows()) {
        ExpectAlike(sConfigDir, ProfileText(row.pSection, row.pKey, row.sValue),
                    "[" + std::string(row.pSection) + "] " + row.pKey + "=" + row.sValue.substr(0, 80));
    }
}

// Random profiles: a few keys of the clean profile set to values that the
// parsers read in different ways (blanks, signs, long runs of digits, texts
// cut short, lower case, ranges), or removed.
TEST(ProfileAgreement, RandomProfilesDecidedAlike)
{
    const std::string sConfigDir = UseTempConfigDir(201);
    const char* const apValue[] = {
        kRemove, "", "0", "-1", "1", "7", "12x", " 33", "+5", "-0", "99999999999", "abc", "NONE", "default", "ALL",
        "all", "1,5-7", "900-1200", "7-5", "F,R,5", "r,g,12", "R,I,0", "F,X,3", "VIDEO,1,2", "AUDIO,3,33",
        "MASKNAME_04,1", "---,1,2", ",1", "1st,1", "x.dll", "4096", "5000", "999", "1000", "F,R,", "A,,1,,2"};
    const char* const apSection[] = {"Database", "Combiner", "Levels", "Masks", "Security"};
    const char* const apKey[][12] = {
        {"DatabaseSize_0", "DatabaseSize_1"},
        {"SaveDelay", "SrcePkgInfoId", "DestPkgInfoId", "LevelMapInfoId", "DebugMode", "NameLength",
         "RevertiveLevel", "ExternalDLL", "JournalSize", "Name"},
        {},
        {},
        {"Access"},
    };
    const int anKey[] = {2, 10, 0, 0, 1};
    std::mt19937 random(20261209);
    for (int iProfile = 0; iProfile < 150; ++iProfile) {
        std::string sText = ProfileText("", "", "");
        std::string sWhat;
        const int nChanges = 1 + static_cast<int>(random() % 4);
        for (int c = 0; c < nChanges; ++c) {
            const int iSection = static_cast<int>(random() % 5);
            std::string sKey;
            if (anKey[iSection] == 0) {
                char acKey[16];
                std::snprintf(acKey, sizeof acKey, "%s_%02d", iSection == 2 ? "Level" : "Mask",
                              1 + static_cast<int>(random() % 33));
                sKey = acKey;
            } else {
                sKey = apKey[iSection][random() % anKey[iSection]];
            }
            const std::string sValue = apValue[random() % (sizeof apValue / sizeof apValue[0])];
            // Each change goes on top of the ones before: the key's line is
            // replaced or removed, or added to its section.
            const std::string sLine = sKey + "=";
            size_t iAt = sText.find("\n" + sLine);
            if (iAt != std::string::npos) {
                const size_t iEnd = sText.find('\n', iAt + 1);
                sText.erase(iAt + 1, iEnd - iAt);
            }
            if (sValue != kRemove) {
                const std::string sHeader = "[" + std::string(apSection[iSection]) + "]\r\n";
                const size_t iSectionAt = sText.find(sHeader);
                if (iSectionAt == std::string::npos) sText += sHeader + sLine + sValue + "\r\n";
                else sText.insert(iSectionAt + sHeader.size(), sLine + sValue + "\r\n");
            }
            sWhat += "[" + std::string(apSection[iSection]) + "] " + sKey + "=" +
                     (sValue == kRemove ? "(removed)" : sValue) + "; ";
        }
        ExpectAlike(sConfigDir, sText, "profile " + std::to_string(iProfile) + ": " + sWhat);
    }
}
