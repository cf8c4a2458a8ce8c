#include "core/take.h"
LevelEntry sLevel[kLevelCount + 1];
MaskEntry sMask[kMaskCount + 1];
long lDriverMessagesSent = 0;
int CommandRC(char*) { return 1; }
