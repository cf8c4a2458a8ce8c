// The package take ("RC").
#pragma once
#include "core/levels.h"

extern LevelEntry sLevel[kLevelCount + 1];
extern MaskEntry sMask[kMaskCount + 1];

int CommandRC(char* pText);
