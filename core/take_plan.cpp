#include "core/take_plan.h"

#include <cstring>

#include "core/commands.h"

namespace {

LevelDecision DecideLevel(LevelEntry* asLevel, int L, int iWorkstation, LevelCommand* pCmd, LogFn pLog)
{
    if (ComposeLevelCommand(asLevel, L, iWorkstation, pCmd, pLog)) {
        if (!pCmd->bBlocked) return kLevelSends;
        return pCmd->eBlockedBy == kNothingToPark ? kLevelParkSkipped : kLevelBlocked;
    }
    if (asLevel[L].iMask == -1) return kLevelNotInMask;
    if (asLevel[L].iSrc == -1 || asLevel[L].iDest == -1) return kLevelNoValue;
    return kLevelNoCommand;
}

}  // namespace

int IsListed(LevelDecision eDecision)
{
    return eDecision >= kLevelBlocked ? 1 : 0;
}

void PlanTake(const LevelEntry* asConfig, const MaskEntry* asMask, int iRevertiveLevel, const TakeSlots& sSlots,
              const char* pMaskText, int iWorkstation, LogFn pLog, LevelStepFn pfnStep, TakePlan* pPlan)
{
    LevelEntry* asLevel = pPlan->asLevel;
    std::memcpy(asLevel, asConfig, sizeof pPlan->asLevel);
    ResetTakeFields(asLevel);
    if (sSlots.pPrevSource != nullptr) ReadPrevSourceSlot(asLevel, sSlots.pPrevSource);
    ReadSourceSlot(asLevel, sSlots.pSource);
    ReadDestSlot(asLevel, sSlots.pDest);
    ReadLevelMapSlot(asLevel, sSlots.pLevelMap);
    pPlan->iMaskChosen = SelectLevels(asLevel, asMask, pMaskText, pLog);

    std::memset(pPlan->asStep, 0, sizeof pPlan->asStep);
    for (int L = 1; L <= kLevelCount; ++L) {
        LevelStep* pStep = &pPlan->asStep[L];
        pStep->iLevel = L;
        pStep->eDecision = DecideLevel(asLevel, L, iWorkstation, &pStep->sCmd, pLog);
        if (pfnStep != nullptr) pfnStep(pStep);
    }
    pPlan->bRecordsRoute = TakeRecordsRoute(asLevel, iRevertiveLevel);
}
