// The 4096 text slots of the stand-in InfoDriver.
#pragma once
#include <string>
#include <vector>

const int kSlotCount = 4096;

// Reads a slots file: lines "SLOT TEXT" (slot 1..4096; the text is the rest
// of the line after the blanks that follow the number, up to 512
// characters), "#" comment lines, blank lines. Returns 0 with one
// "FILE:LINE: reason" for each bad line, and then fills no slot.
int LoadSlotsFile(const char* pPath, std::vector<std::string>* pasError);
// The text of a slot; "" for an empty slot or a number outside 1..4096.
const char* SlotText(int iSlot);
// Stores a text (cut to 512 characters); a number outside 1..4096 is ignored.
void SetSlotText(int iSlot, const char* pText);
int FilledSlotCount();
