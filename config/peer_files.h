// The text files of the stand-in peers (platform-free): slot files, one
// InfoDriver slot per line, and names files, one package name per line, as
// the stand-ins read them and the site tools check them; and the capped list
// of errors both print.
#pragma once
#include <cstddef>
#include <map>
#include <string>
#include <vector>

const int kSlotFileTextMax = 512;   // characters a slot of the stand-in InfoDriver holds

// The length of the UTF-8 byte-order mark that Windows editors put at the
// start of a text file (3), or 0 when the text has none. Every reader of
// the site's text files skips it.
size_t ByteOrderMarkLength(const std::string& sText);

struct SlotLine {
    int iSlot;            // 1..4096
    int iLine;            // line number in the file, from 1
    std::string sText;
};

// "SLOT TEXT" lines (the text is the rest of the line after the blanks that
// follow the number; trailing blanks kept, CR and LF dropped), "#" comment
// lines and blank lines. A later line for the same slot replaces the
// earlier, as in the InfoDriver. Every line is checked: false with one
// "FILE:LINE: reason" per bad line (the good lines are still given).
bool ParseSlotsText(const std::string& sText, const std::string& sFile, std::vector<SlotLine>* paSlots,
                    std::vector<std::string>* pasError);

// "src NUMBER NAME" and "dst NUMBER NAME" lines ("0" and "1" stand for src
// and dst), "#" comment lines and blank lines; the number 1..65535.
// Returns false with "FILE:LINE: reason".
bool ParseNamesText(const std::string& sText, const std::string& sFile, std::map<int, std::string>* pSources,
                    std::map<int, std::string>* pDestinations, std::string* psError);

// The first 20 errors on the standard error, each after "TOOL: ", then
// "and N more", then the count and what follows from it: a reader sees the
// start of a long list, never a screen of it.
void PrintErrors(const char* pTool, const std::vector<std::string>& asError, const char* pOutcome);
