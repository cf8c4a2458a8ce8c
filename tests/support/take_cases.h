// The takes of the end-to-end take tests: the profile of device 201, the
// packages and the level commands RVX must receive. The driver's own test
// (tests/take_process_test.cpp) and zurcheck's take preview
// (sitetools/test) both check against them.
#pragma once
#include <string>
#include <vector>

// Levels 1 to 5 are those of the worked example of a take; 6 to 10 add the
// reverse switch and write, a level of no known kind and two levels that
// level maps point elsewhere. Levels 11 to 32 get their defaults (F,R,n).
const char kTakeLevels[] =
    "[Levels]\nLevel_01=F,R,101\nLevel_02=F,R,102\nLevel_03=R,R,103\nLevel_04=F,G,104\nLevel_05=F,I,105\n"
    "Level_06=R,G,106\nLevel_07=R,I,107\nLevel_08=F,X,108\nLevel_09=F,R,109\nLevel_10=F,G,110\n"
    "[Masks]\nMask_01=VIDEO,1,2\nMask_02=Audio,3\n";

const char kTakeDatabase[] = "DatabaseSize_0=160\nDatabaseSize_1=160\n";

// The worked example: source package 12 (5,7,9,1,Camera 1) onto
// destination package 34 (20,21,30,4,12) with ',1,2,3,4,5' from workstation
// 7, then its park variant: source package 13 (5,7,0,1,Camera 1) after
// package 11 (5,7,6,1,Camera 1) had been routed. What RVX receives, in
// order, ending with the revertive.
inline const std::vector<std::string> kWorkedExampleSent = {
    "2124 101 RC 101 5 20 ',---' 7", "2124 102 RC 102 7 21 ',---' 7", "2124 103 RC 103 30 9 ',---' 7",
    "2134 104 GS 104 4 1 7",         "2144 105 IW 105 'Camera 1' 12 7", "2187 0 RR 201 034 012"};
inline const std::vector<std::string> kParkVariantSent = {
    "2124 101 RC 101 5 20 ',---' 7", "2124 102 RC 102 7 21 ',---' 7", "2124 103 RC 103 0 6 ',---' 7",
    "2134 104 GS 104 4 1 7",         "2144 105 IW 105 'Camera 1' 12 7", "2187 0 RR 201 034 013"};

// One take per case, each onto its own unrouted destination package 40 + k
// with source package 80 + k (and, when given, previous source package
// 40 + k routed first with no level): what RVX receives, in order, ending
// with the destination's revertive.
struct TakeStepCase {
    const char* pName;
    const char* pPrev;   // previous source package, or null: unrouted
    const char* pSrc;
    const char* pDst;
    const char* pMap;    // level map slot, or null: the default
    const char* pMask;
    std::vector<std::string> asSent;   // without the closing revertive
};

const TakeStepCase kTakeSteps[] = {
    {"forward route", nullptr, "5", "20", nullptr, ",1", {"2124 101 RC 101 5 20 ',---' 7"}},
    {"forward route, destination value 0", nullptr, "5", "0", nullptr, ",1", {}},
    {"forward route, destination value above 4096", nullptr, "5", "4097", nullptr, ",1", {}},
    {"forward route, 4096 is still sent", nullptr, "4096", "4096", nullptr, ",1",
     {"2124 101 RC 101 4096 4096 ',---' 7"}},
    {"forward route, source value above 4096", nullptr, "4097", "20", nullptr, ",1", {}},
    {"forward route, previous source value above 4096", "4097", "5", "20", nullptr, ",1", {}},
    {"fields beginning with a minus leave their level out", nullptr, "-7,5,-", "20,-3,30", nullptr, ",1,2,3", {}},
    {"reverse route", nullptr, "-,-,9", "-,-,30", nullptr, ",3", {"2124 103 RC 103 30 9 ',---' 7"}},
    {"reverse route, destination value 0 is still sent", nullptr, "-,-,9", "-,-,0", nullptr, ",3",
     {"2124 103 RC 103 0 9 ',---' 7"}},
    {"reverse route, destination value above 4096", nullptr, "-,-,9", "-,-,4097", nullptr, ",3", {}},
    {"reverse route, source value above 4096", nullptr, "-,-,4097", "-,-,30", nullptr, ",3", {}},
    {"reverse route, previous source value above 4096", "-,-,4097", "-,-,9", "-,-,30", nullptr, ",3", {}},
    {"park", "-,-,6", "-,-,0", "-,-,30", nullptr, ",3", {"2124 103 RC 103 0 6 ',---' 7"}},
    {"park, previous value 0", "-,-,0", "-,-,0", "-,-,30", nullptr, ",3", {}},
    {"park, destination unrouted before", nullptr, "-,-,0", "-,-,30", nullptr, ",3", {}},
    {"park, previous value missing", "-,-,-", "-,-,0", "-,-,30", nullptr, ",3", {}},
    {"park, previous value above 4096", "-,-,4097", "-,-,0", "-,-,30", nullptr, ",3", {}},
    {"park, destination value above 4096", "-,-,6", "-,-,0", "-,-,4097", nullptr, ",3", {}},
    {"forward switch, state 1", nullptr, "-,-,-,7", "-,-,-,4", nullptr, ",4", {"2134 104 GS 104 4 1 7"}},
    {"forward switch, state 0", nullptr, "-,-,-,0", "-,-,-,4", nullptr, ",4", {"2134 104 GS 104 4 0 7"}},
    {"forward switch, state above 4096 is reduced before the checks", nullptr, "-,-,-,5000", "-,-,-,4", nullptr,
     ",4", {"2134 104 GS 104 4 1 7"}},
    {"forward switch, destination value 0", nullptr, "-,-,-,7", "-,-,-,0", nullptr, ",4", {}},
    {"forward switch, destination value above 4096", nullptr, "-,-,-,7", "-,-,-,4097", nullptr, ",4", {}},
    {"reverse switch, state 1", nullptr, "-,-,-,-,-,3", "-,-,-,-,-,9", nullptr, ",6", {"2134 106 GS 106 3 1 7"}},
    {"reverse switch, state 0", nullptr, "-,-,-,-,-,3", "-,-,-,-,-,0", nullptr, ",6", {"2134 106 GS 106 3 0 7"}},
    {"reverse switch, source value 0", nullptr, "-,-,-,-,-,0", "-,-,-,-,-,9", nullptr, ",6", {}},
    {"reverse switch, source value above 4096", nullptr, "-,-,-,-,-,4097", "-,-,-,-,-,9", nullptr, ",6", {}},
    {"forward write", nullptr, "-,-,-,-,Studio 4 left", "-,-,-,-,33", nullptr, ",5",
     {"2144 105 IW 105 'Studio 4 left' 33 7"}},
    {"forward write, destination value 0", nullptr, "-,-,-,-,Studio 4", "-,-,-,-,0", nullptr, ",5", {}},
    {"forward write, destination value above 4096", nullptr, "-,-,-,-,Studio 4", "-,-,-,-,4097", nullptr, ",5", {}},
    {"forward write, text reading above 4096", nullptr, "-,-,-,-,5000 Hz", "-,-,-,-,33", nullptr, ",5", {}},
    {"reverse write", nullptr, "-,-,-,-,-,-,17", "-,-,-,-,-,-,Studio A", nullptr, ",7",
     {"2144 107 IW 107 'Studio A' 17 7"}},
    {"reverse write, source value 0", nullptr, "-,-,-,-,-,-,0", "-,-,-,-,-,-,Studio A", nullptr, ",7", {}},
    {"reverse write, source value above 4096", nullptr, "-,-,-,-,-,-,4097", "-,-,-,-,-,-,Studio A", nullptr, ",7",
     {}},
    {"reverse write, destination text reading above 4096", nullptr, "-,-,-,-,-,-,17", "-,-,-,-,-,-,5000", nullptr,
     ",7", {}},
    {"a level of no known kind", nullptr, "-,-,-,-,-,-,-,5", "-,-,-,-,-,-,-,5", nullptr, ",8", {}},
    {"mapped route takes the destination value of level 2", nullptr, "-,-,-,-,-,-,-,-,5", "-,21,-,-,-,-,-,-,99",
     "1,2,3,4,5,6,7,8,2", ",9", {"2124 109 RC 109 5 21 ',---' 7"}},
    {"mapped switch sees the reduced state of level 4", nullptr, "-,-,-,9,-,-,-,-,-,1", "-,-,-,4,-,-,-,-,-,8",
     "1,2,3,4,5,6,7,8,9,4", ",4,10", {"2134 104 GS 104 4 1 7", "2134 110 GS 110 8 1 7"}},
    {"map value 0 is the blank level", nullptr, "-,-,-,-,-,-,-,-,5", "-,21,-,-,-,-,-,-,99", "1,2,3,4,5,6,7,8,0",
     ",9", {}},
    {"map value above 32 is treated as 0", nullptr, "-,-,-,-,-,-,-,-,5", "-,21,-,-,-,-,-,-,99",
     "1,2,3,4,5,6,7,8,33", ",9", {}},
    {"an empty first source field ends the list", nullptr, ",5", "20,21", nullptr, ",1,2", {}},
    {"5,,7 fills level 1 only", nullptr, "5,,7", "20,21,30", nullptr, ",1,2,3", {"2124 101 RC 101 5 20 ',---' 7"}},
    {"an empty destination field ends the list", nullptr, "5,7,9", "20,,30", nullptr, ",1,2,3",
     {"2124 101 RC 101 5 20 ',---' 7"}},
    {"level 32 never takes part", nullptr, "1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1",
     "2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2", nullptr, ",31,32",
     {"2124 31 RC 31 1 2 ',---' 7"}},
    {"list entries outside 1 to 32 are ignored", nullptr, "5", "20", nullptr, ",0,33,-1,1",
     {"2124 101 RC 101 5 20 ',---' 7"}},
    {"a list without the leading comma", nullptr, "5,7,9", "20,21,30", nullptr, "1,3",
     {"2124 101 RC 101 5 20 ',---' 7", "2124 103 RC 103 30 9 ',---' 7"}},
    {"mask name VIDEO", nullptr, "5,7,9", "20,21,30", nullptr, "VIDEO",
     {"2124 101 RC 101 5 20 ',---' 7", "2124 102 RC 102 7 21 ',---' 7"}},
    {"mask name after a comma", nullptr, "5,7,9", "20,21,30", nullptr, ",Audio", {"2124 103 RC 103 30 9 ',---' 7"}},
    {"mask names are case-sensitive", nullptr, "5,7,9", "20,21,30", nullptr, "video", {}},
    {"no mask of that name", nullptr, "5,7,9", "20,21,30", nullptr, ",---", {}},
};

