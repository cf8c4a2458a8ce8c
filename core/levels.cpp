#include "core/levels.h"
void ResetTakeFields(LevelEntry*) {}
void ReadPrevSourceSlot(LevelEntry*, const char*) {}
void ReadSourceSlot(LevelEntry*, const char*) {}
void ReadDestSlot(LevelEntry*, const char*) {}
void ReadLevelMapSlot(LevelEntry*, const char*) {}
void SelectLevels(LevelEntry*, const MaskEntry*, const char*, LogFn) {}
int ComposeLevelCommand(LevelEntry*, int, int, LevelCommand*, LogFn) { return 0; }
