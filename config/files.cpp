#include "config/files.h"
int bIndexDirty = 0;
unsigned int iSaveTicks = 0;
void LoadIndexFile() {}
bool SaveIndexFile() { return false; }
void LoadLockFile() {}
bool SaveLockFile() { return false; }
void OnSaveTimer() {}
