// The two complete states that the save hammer alternates between: every
// entry differs between them, so a file mixed from both is recognised.
#pragma once
#include "config/filecodec.h"

inline void FillSaveState(int iState, int* aiIndex, int* abLock)
{
    for (int d = 1; d <= kPackageMax; ++d) {
        aiIndex[d] = iState == 0 ? d : 5000 + d;
        abLock[d] = iState == 0 ? 0 : 1 + d % 200;
    }
}
