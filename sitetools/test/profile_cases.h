// The profiles of the checker's table: a clean profile of the demo site's
// device 201, and one small broken profile per finding, each with the
// findings the checker must give.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "sitetools/check/findings.h"

// A complete, clean profile of device 201 (the demo site's), section by
// section; each row of the table below changes one key of it.
typedef std::vector<std::pair<std::string, std::string>> Keys;
inline std::vector<std::pair<std::string, Keys>> CleanProfile()
{
    return {
        {"Database", {{"DatabaseSize_0", "16"}, {"DatabaseSize_1", "40"}}},
        {"Combiner",
         {{"Name", "Test router"}, {"SaveDelay", "5"}, {"SrcePkgInfoId", "202"}, {"DestPkgInfoId", "203"},
          {"LevelMapInfoId", "204"}, {"DebugMode", "0"}, {"NameLength", "8"}, {"RevertiveLevel", "0"},
          {"Simulation", "0"}, {"ExternalDLL", "NONE"}, {"JournalSize", "1024"}}},
        {"Levels",
         {{"Level_01", "F,R,101"}, {"Level_02", "F,R,102"}, {"Level_03", "R,R,103"}, {"Level_04", "F,G,104"},
          {"Level_05", "F,I,105"}}},
        {"Masks", {{"Mask_01", "VIDEO,1,2"}, {"Mask_02", "AUDIO,3"}, {"Mask_03", "ALL,1,2,3,4,5"}}},
        {"Security", {{"Access", "ALL"}}},
    };
}

const char kRemove[] = "\x01remove";

// The clean profile with one key set (or removed), as INI text.
inline std::string ProfileText(const std::string& sSection, const std::string& sKey, const std::string& sValue)
{
    auto aSection = CleanProfile();
    bool bDone = sSection.empty();
    for (auto& section : aSection) {
        if (section.first != sSection) continue;
        for (auto it = section.second.begin(); it != section.second.end(); ++it) {
            if (it->first != sKey) continue;
            if (sValue == kRemove) section.second.erase(it);
            else it->second = sValue;
            bDone = true;
            break;
        }
        if (!bDone) section.second.push_back({sKey, sValue});
        bDone = true;
    }
    if (!bDone) aSection.push_back({sSection, {{sKey, sValue}}});
    std::string sText;
    for (const auto& section : aSection) {
        sText += "[" + section.first + "]\r\n";
        for (const auto& key : section.second) sText += key.first + "=" + key.second + "\r\n";
    }
    return sText;
}

struct Expected {
    Severity eSeverity;
    const char* pKey;      // part of the finding's key
    const char* pEffect;   // part of what it says the driver does
};

inline std::string Repeated(const char* pText, int n)
{
    std::string s;
    for (int i = 0; i < n; ++i) s += pText;
    return s;
}

inline std::string Numbers(int iFirst, int iLast)
{
    std::string s;
    for (int i = iFirst; i <= iLast; ++i) s += (i > iFirst ? "," : "") + std::to_string(i);
    return s;
}

struct ProfileRow {
    const char* pSection;
    const char* pKey;
    std::string sValue;
    std::vector<Expected> aExpected;
};

// The clean profile with one key set or removed per row; the first row
// changes nothing.
inline std::vector<ProfileRow> BrokenProfileRows()
{
    const std::string sLongAccess = Numbers(1, 120);   // 410 characters
    const std::string sLongName(36, 'N');
    return {
        {"", "", "", {}},
        {"Database", "DatabaseSize_0", "\"16\"", {}},   // quotes are the platform's, not the value's
        {"Database", "DatabaseSize_0", kRemove, {{kError, "[Database] DatabaseSize_0", "has not been set"}}},
        {"Database", "DatabaseSize_1", "0", {{kError, "DatabaseSize_1", "below 1: the driver shows"}}},
        {"Database", "DatabaseSize_1", "abc", {{kError, "DatabaseSize_1", "not a number, read as 0"}}},
        {"Database", "DatabaseSize_0", "5000", {{kWarning, "DatabaseSize_0", "the driver uses 4096"}}},
        {"Database", "DatabaseSize_1", "000000040", {}},   // read whole, not cut to 8 characters
        {"Combiner", "SaveDelay", "-3", {{kWarning, "SaveDelay", "saved only when the driver ends"}}},
        {"Combiner", "SaveDelay", "abc", {{kWarning, "SaveDelay", "not a number: the driver writes SaveDelay=5"}}},
        {"Combiner", "SrcePkgInfoId", kRemove, {{kNote, "SrcePkgInfoId", "writes SrcePkgInfoId=202"}}},
        {"Combiner", "DestPkgInfoId", "202", {{kError, "DestPkgInfoId", "the same InfoDriver as SrcePkgInfoId"}}},
        {"Combiner", "LevelMapInfoId", "201", {{kError, "LevelMapInfoId", "own device number"}}},
        {"Combiner", "SrcePkgInfoId", "1000", {{kError, "SrcePkgInfoId", "outside 1..999"}}},
        {"Combiner", "NameLength", kRemove, {{kNote, "NameLength", "writes NameLength=8"}}},
        {"Combiner", "RevertiveLevel", "33", {{kWarning, "RevertiveLevel", "outside 0..32"}}},
        {"Combiner", "RevertiveLevel", "9",
         {{kWarning, "RevertiveLevel", "not defined"}, {kWarning, "RevertiveLevel", "no mask includes level 9"}}},
        {"Combiner", "ExternalDLL", "abcdefghijklmnopqrstuvwxyz0123456789.dll",
         {{kError, "ExternalDLL", "longer than 31 characters: the driver loads no library"}}},
        {"Combiner", "JournalSize", kRemove, {{kNote, "JournalSize", "writes JournalSize=1024"}}},
        {"Combiner", "JournalSize", "1O24", {{kWarning, "JournalSize", "keeps no take journal"}}},
        {"Combiner", "JournalSize", "-5", {{kWarning, "JournalSize", "keeps no take journal"}}},
        {"Combiner", "DebugMod", "1", {{kWarning, "[Combiner] DebugMod", "never reads this key"}}},
        {"Level", "Level_01", "F,R,5", {{kWarning, "[Level]", "no section of this name"}}},
        {"Levels", "Level_02", "f,R,102", {{kError, "Level_02", "the driver takes the level as reverse"}}},
        {"Levels", "Level_03", "F,X,103", {{kError, "Level_03", "never issues a command"}}},
        {"Levels", "Level_04", "F,G,abc", {{kError, "Level_04", "outside 1..999"}}},
        {"Levels", "Level_05", "F,I,201", {{kError, "Level_05", "this driver itself"}}},
        {"Levels", "Level_01", "F,R,203", {{kError, "Level_01", "the destination package InfoDriver"}}},
        {"Levels", "Level_04", "F,G,1O4", {{kWarning, "Level_04", "ignored: the target device is 1"}}},
        {"Levels", "Level_32", "F,R,132", {{kWarning, "Level_32", "level 32 never receives a value"}}},
        {"Levels", "Level_32", "F,R,32", {{kNote, "Level_32", "level 32 never receives a value"}}},
        {"Levels", "Level_01", "F,R," + std::string(80, ' ') + "101", {}},
        {"Masks", "Mask_01", "VIDEO,1,33", {{kError, "Mask_01", "level 33 does not exist"}}},
        {"Masks", "Mask_01", "VIDEO,1,32", {{kWarning, "Mask_01", "including it switches nothing"}}},
        {"Masks", "Mask_01", "VIDEO,1,1", {{kNote, "Mask_01", "level 1 is listed twice"}}},
        {"Masks", "Mask_02", "VIDEO,3", {{kError, "Mask_02", "the same name as Mask_01"}}},
        {"Masks", "Mask_04", "MASKNAME_05,1", {{kError, "Mask_05", "the same name as Mask_04"}}},
        {"Masks", "Mask_01", sLongName + ",1", {{kError, "Mask_01", "keeps and compares 32"}}},
        {"Masks", "Mask_01", "1st,1", {{kError, "Mask_01", "begins with a digit"}}},
        {"Masks", "Mask_04", "---,1,2", {{kNote, "Mask_04", "takes from the panel switch its levels"}}},
        {"Masks", "Mask_01", "Bob's,1", {{kError, "Mask_01", "holds a quote"}}},
        // The platform strips the blanks around the value only: the name
        // keeps the blank before the comma.
        {"Masks", "Mask_01", "VIDEO , 1, 2",
         {{kWarning, "Mask_01", "only a take whose mask text is 'VIDEO ' exactly selects this mask, and 'VIDEO' "
                                "selects no mask"}}},
        {"Masks", "Mask_01", "VI\x01" "DEO,1", {{kWarning, "Mask_01", "the control character 0x01"}}},
        {"Levels", "Level_01", "F,R,-5", {{kError, "Level_01", "the target device -5 is outside 1..999"}}},
        {"Levels", "Level_03", "R,R,0", {{kError, "Level_03", "the target device 0 is outside 1..999"}}},
        {"Levels", "Level_04", "R,G,65636", {{kError, "Level_04", "the target device 65636 is outside 1..999"}}},
        {"Levels", "Level_05", "x,I,1000",
         {{kError, "Level_05", "takes the level as reverse"}, {kError, "Level_05", "1000 is outside 1..999"}}},
        {"Masks", "Mask_03", "ALL,1,x,5", {{kError, "Mask_03", "ends at \"x\""}}},
        {"Masks", "Mask_01", ",1,2", {{kError, "Mask_01", "begins with a comma"}}},
        {"Masks", "Mask_01", "VIDEO" + Repeated(",1", 33), {{kError, "Mask_01", "only 32 level numbers"}}},
        {"Security", "Access", "1,5-", {{kError, "Access", "the second number of the range"}}},
        {"Security", "Access", "1,7-5", {{kError, "Access", "runs backwards"}}},
        {"Security", "Access", "1,1000", {{kError, "Access", "1000 only through ALL"}}},
        {"Security", "Access", "1,abc", {{kError, "Access", "no workstation number"}}},
        {"Security", "Access", "1,5 - 7", {{kError, "Access", "must follow the first number"}}},
        {"Security", "Access", "1,12x", {{kWarning, "Access", "read as workstation 12"}}},
        {"Security", "Access", "900-1200", {{kWarning, "Access", "grants only 900-999"}}},
        {"Security", "Access", "1,all5", {{kWarning, "Access", "every workstation 1..1000"}}},
        {"Security", "Access", sLongAccess, {}},
        {"Security", "Access", std::string(40000, '1'), {{kError, "Access", "longer than 32767 characters"}}},
        {"Security", "Access", "", {{kWarning, "Access", "no workstation but the panel"}}},
    };
}
