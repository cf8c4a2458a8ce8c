// The transport's payload helpers: received numeric and text payloads of any
// size and content, reply texts and the envelope.
//
// Properties: the numeric parse reads only the payload's own bytes (the
// input is an exactly-sized block), takes at most eight hexadecimal digits
// and so never gives a value above 0xFFFFFFFF, and reads back every number
// formatted into a 16-byte block; a received block holds the payload's first
// 513 bytes, zeros after them and a terminator in its last byte, and nothing
// is written past its 514 bytes; a reply copy writes exactly
// min(length, 513) bytes: the text up to its terminator, then zeros; the
// envelope keeps the message and the value's low 16 bits.
#include "ipc/wire.h"

#include <string>

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    // The payload as received: exactly nSize bytes, no terminator.
    std::unique_ptr<uint8_t[]> pPayload(new uint8_t[nSize == 0 ? 1 : nSize]);
    if (nSize > 0) std::memcpy(pPayload.get(), pData, nSize);

    unsigned long ulNumber = 0x5A5A5A5Aul;
    if (ParseNumericPayload(pPayload.get(), nSize, &ulNumber)) {
        FUZZ_CHECK(ulNumber <= 0xFFFFFFFFul);
    } else {
        FUZZ_CHECK(ulNumber == 0x5A5A5A5Aul);
    }
    FUZZ_CHECK(ParseNumericPayload(nullptr, nSize, &ulNumber) == 0);

    // A number made of the first bytes, formatted and read back.
    unsigned long ulSent = 0;
    for (size_t i = 0; i < nSize && i < 4; ++i) ulSent = (ulSent << 8) | pData[i];
    std::unique_ptr<char[]> pBlock16(new char[kNumericBlockSize]);
    FormatNumericPayload(pBlock16.get(), ulSent);
    FUZZ_CHECK(BoundedLength(pBlock16.get(), kNumericBlockSize) == 8);
    unsigned long ulRead = 0;
    FUZZ_CHECK(ParseNumericPayload(pBlock16.get(), kNumericBlockSize, &ulRead) == 1 && ulRead == ulSent);

    std::unique_ptr<char[]> pBlock(new char[kTextBlockSize + 1]);
    std::memset(pBlock.get(), 0x5A, kTextBlockSize + 1);
    CopyReceivedBlock(pBlock.get(), nSize == 0 ? nullptr : pPayload.get(), nSize);
    const size_t nKept = std::min(nSize, static_cast<size_t>(kTextBlockSize));
    FUZZ_CHECK(nKept == 0 || std::memcmp(pBlock.get(), pPayload.get(), nKept) == 0);
    for (size_t i = nKept; i <= static_cast<size_t>(kTextBlockSize); ++i) FUZZ_CHECK(pBlock[i] == 0);

    // The reply: a terminated text of the input's bytes, and a length taken
    // from its first bytes (negative, short, long).
    std::unique_ptr<char[]> pReply = HeapText(pData, nSize);
    const size_t nReply = std::strlen(pReply.get());
    int nLength = nSize >= 2 ? static_cast<int16_t>(pData[0] << 8 | pData[1]) % 700 : static_cast<int>(nSize);
    const int nCopy = nLength <= 0 ? 0 : std::min(nLength, kTextBlockSize);
    std::unique_ptr<char[]> pDest(new char[nCopy + 1]);
    std::memset(pDest.get(), 0x5A, nCopy + 1);
    CopyReplyText(pDest.get(), nLength, pReply.get());
    for (int i = 0; i < nCopy; ++i) {
        char cExpected = static_cast<size_t>(i) < nReply ? pReply[i] : '\0';
        FUZZ_CHECK(pDest[i] == cExpected);
    }
    FUZZ_CHECK(pDest[nCopy] == 0x5A);

    if (nSize >= 4) {
        int iMessage = pData[0] << 8 | pData[1];
        int iValue = static_cast<int16_t>(pData[2] << 8 | pData[3]) * 3;
        uint32_t u = PackEnvelope(iMessage, iValue);
        FUZZ_CHECK(EnvelopeMessage(u) == (iMessage & 0xFFFF));
        FUZZ_CHECK(EnvelopeValue(u) == (iValue & 0xFFFF));
    }
    return 0;
}
