// Layouts of the WM_COPYDATA request/reply envelope (platform-free).
#pragma once
#include <cstddef>
#include <cstdint>

const int kTextBlockSize = 513;    // cbData of a text payload
const int kNumericBlockSize = 16;  // cbData of a numeric payload

// dwData = message in the high 16 bits, value cut to 16 bits in the low.
uint32_t PackEnvelope(int iMessage, int iValue);
int EnvelopeMessage(uintptr_t dwData);
int EnvelopeValue(uintptr_t dwData);

// "%08lx" into a 16-byte block.
void FormatNumericPayload(char* pBlock16, unsigned long ulNumber);
// Reads up to eight hexadecimal digits from the payload's own bytes only.
// Returns 1 and sets *pulNumber when at least one digit was read.
int ParseNumericPayload(const void* pData, size_t nSize, unsigned long* pulNumber);

// A name request (2164) to RVX: device, database (0 sources, 1
// destinations) and index as 16-bit little-endian integers at the start of
// the block (6 bytes written).
void PackNameRequest(char* pBlock, int iDevice, int iDatabase, int iIndex);

// Copies a received payload of any size into a private zeroed block of
// kTextBlockSize + 1 bytes: at most kTextBlockSize bytes, always terminated.
void CopyReceivedBlock(char* pBlock514, const void* pData, size_t nSize);

// Copy-back of a reply text: n = min(nLength, 513) bytes; the text up to its
// terminator, zeros after it; a text of n characters or more is cut without
// a terminator.
void CopyReplyText(char* pDest, int nLength, const char* pReply);
