// Package and level-map slot texts checked against the level table, as the
// take will read them (platform-free).
#pragma once
#include <string>
#include <vector>

#include "sitetools/check/findings.h"
#include "core/levels.h"

struct PackageSlot {
    int iSlot;            // package number 1..4096
    std::string sWhere;   // where the text came from, for the findings ("sources.txt:4")
    std::string sText;
};

// asConfig: the level table with iType, iKind and iTarget of levels 1..32.
// iDatabaseSize: DatabaseSize_0 (sources) or DatabaseSize_1 (destinations).
void CheckSourcePackages(const LevelEntry* asConfig, int iDatabaseSize, const std::vector<PackageSlot>& aSlots,
                         std::vector<Finding>* pFindings);

// With paMaps (the level-map slots; null when not known), also every level
// that a destination package gives a value but its level map leaves
// unmapped.
void CheckDestPackages(const LevelEntry* asConfig, int iDatabaseSize, const std::vector<PackageSlot>& aSlots,
                       const std::vector<PackageSlot>* paMaps, std::vector<Finding>* pFindings);

void CheckLevelMaps(const std::vector<PackageSlot>& aMaps, std::vector<Finding>* pFindings);
