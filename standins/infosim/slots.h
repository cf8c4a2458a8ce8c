// The 4096 text slots of the stand-in InfoDriver.
#pragma once
#include <string>

const int kSlotCount = 4096;

// Reads a slots file: lines "SLOT TEXT" (slot 1..4096; the text is the rest
// of the line after the blanks that follow the number, up to 512
// characters), "#" comment lines, blank lines. Returns 0 with
// "FILE:LINE: reason".
int LoadSlotsFile(const char* pPath, std::string* pError);
// The text of a slot; "" for an empty slot or a number outside 1..4096.
const char* SlotText(int iSlot);
// Stores a text (cut to 512 characters); a number outside 1..4096 is ignored.
void SetSlotText(int iSlot, const char* pText);
int FilledSlotCount();
