// The decisions of a package take (platform-free): from the four slot texts
// the take has read and its mask, what each level does, in level order, and
// whether the route index follows. The driver's take sends what this
// decides; the site checker prints it.
#pragma once
#include "core/levels.h"

// The slot texts of one take, each as the InfoDriver answered it (at most
// kSlotTextMax characters are read).
struct TakeSlots {
    const char* pPrevSource;   // null: the previous source package is not read
    const char* pSource;
    const char* pDest;
    const char* pLevelMap;
};

// What a level does in a take. The last three are listed in the panel's
// output; only kLevelSends reaches RVX (unless the external filter takes a
// listed command over first).
enum LevelDecision {
    kLevelNotInMask,     // the mask leaves it out
    kLevelNoValue,       // a package gives it no value (-1)
    kLevelNoCommand,     // its kind issues nothing
    kLevelBlocked,       // composed, not sent: a "not sent" condition holds
    kLevelParkSkipped,   // a park with nothing to park: not sent
    kLevelSends
};

struct LevelStep {
    int iLevel;
    LevelDecision eDecision;
    LevelCommand sCmd;   // composed when the decision is kLevelBlocked or later
};

// 1 when the level's command is listed (composed), sent or not.
int IsListed(LevelDecision eDecision);

struct TakePlan {
    LevelEntry asLevel[kLevelCount + 1];   // the take's level table: configuration and working fields
    int iMaskChosen;                       // what SelectLevels returned
    LevelStep asStep[kLevelCount + 1];     // levels 1..32
    int bRecordsRoute;                     // the route index takes the source, and the revertive goes
};

// Called for each level in ascending order, right after its decision; the
// command text may be changed in place.
typedef void (*LevelStepFn)(LevelStep* pStep);

// The take with workstation iWorkstation: the level table from asConfig
// (iType, iKind, iTarget) with fresh working fields, the four slots read in
// order, the levels chosen from pMaskText, then the level step for levels 1
// to 32, each handed to pfnStep (may be null). The debug lines of the mask
// and of each level go to pLog.
void PlanTake(const LevelEntry* asConfig, const MaskEntry* asMask, int iRevertiveLevel, const TakeSlots& sSlots,
              const char* pMaskText, int iWorkstation, LogFn pLog, LevelStepFn pfnStep, TakePlan* pPlan);
