// Level and mask tables of the package take, and the composition of level
// commands from package slot texts (platform-free: the take in take.cpp does
// the slot reads and the sends around it).
#pragma once
#include "core/limits.h"

const int kSlotTextMax = 256;      // characters of a slot text the take keeps
const int kSlotCommasRead = 30;    // a slot's fields up to its 30th comma (levels 1..31) are read
const int kMaskNameMax = 32;       // characters of a mask name kept and compared
// At start-up a level-map slot whose first 128 characters hold no comma is
// given the default map.
const int kLevelMapProbe = 128;

// A level's direction (iType) and the command it issues (iKind).
enum LevelType { kNoDirection = 0, kForward = 1, kReverse = 2 };
enum LevelKind { kNoCommand = 0, kRouteLevel = 1, kSwitchLevel = 2, kInfoWriteLevel = 3 };

// One level: configuration (from the device profile) and per-take working
// fields. Entry 0 of the table is blank; a level map value of 0 refers to it.
struct LevelEntry {
    int iType;       // LevelType
    int iKind;       // LevelKind: route "RC", general switch "GS", InfoDriver write "IW"
    int iTarget;     // device number receiving this level's commands
    int iPrevSrc;    // value in the previous source package, -1 none
    int iSrc;        // value in the new source package, -1 none
    int iDest;       // value in the destination package, -1 none
    int iMask;       // -1 when the take leaves the level out
    int iMap;        // level map value m (0 none)
    char acText[kSlotTextMax + 1];  // package field text of an "IW" level
};

struct MaskEntry {
    char acName[kMaskNameMax + 1];
    int aiLevels[kLevelCount + 1];  // 1 included, -1 not; index 1..32
};

typedef void (*LogFn)(const char* pText);

// Clears the working fields before a take: values and mask to -1, texts
// empty, and the map value to 0, so that no take depends on an earlier one.
void ResetTakeFields(LevelEntry* asLevel);

// The four slot readers: fill one working field of levels 1..31 from a
// comma-separated slot text by that slot's rule.
void ReadPrevSourceSlot(LevelEntry* asLevel, const char* pSlot);
void ReadSourceSlot(LevelEntry* asLevel, const char* pSlot);
void ReadDestSlot(LevelEntry* asLevel, const char* pSlot);
void ReadLevelMapSlot(LevelEntry* asLevel, const char* pSlot);

// Chooses the take's levels from the mask field (a level list or a mask name).
// Returns the number of the mask whose name it matched, kMaskIsList for a
// level list, or kMaskUnknown for a name no mask has.
const int kMaskIsList = 0;
const int kMaskUnknown = -1;
int SelectLevels(LevelEntry* asLevel, const MaskEntry* asMask, const char* pMaskText, LogFn pLog);

// The level map a take reads from a level-map slot that held pSlot at
// start-up: a slot whose first kLevelMapProbe characters hold no comma is
// given the default map "1,2,...,32" (pDefault, at least kDefaultLevelMapSize
// bytes); any other slot is read as it stands.
const int kDefaultLevelMapSize = 128;
void FormatDefaultLevelMap(char* pDefault);
int LevelMapGetsDefault(const char* pSlot);

// 1 when an "IW" caption can be carried whole: the command quotes it with
// single quotes and a slot separates its fields with commas, so a caption
// holding either is read differently at the other end.
int CaptionFitsFormats(const char* pCaption);

// Why a composed level command is not sent.
enum BlockCause {
    kNotBlocked = 0,
    kBelowOne,        // the value that names the crosspoint, switch or slot is below 1
    kAboveTables,     // a value of the level is above 4096
    kNothingToPark    // a park whose previous source package has no value above 0 on the level
};

// One composed level command.
struct LevelCommand {
    int iMessage;    // MSG_ROUTE_COMMAND, MSG_SWITCH_COMMAND or MSG_INFO_WRITE_COMMAND
    int iTarget;     // the value sent with it: the level's device
    int bBlocked;    // 1 when a "not sent" condition holds
    BlockCause eBlockedBy;
    char acText[kSlotTextMax + 64];
};

// The level step for level L with workstation W: returns 1 and fills *pCmd
// when the level composes a command, 0 when it takes no part. General-switch
// reductions are stored back into asLevel, as later levels must see them.
int ComposeLevelCommand(LevelEntry* asLevel, int iLevel, int iWorkstation, LevelCommand* pCmd, LogFn pLog);
