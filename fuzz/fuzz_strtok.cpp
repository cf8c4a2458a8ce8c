// The field splitter of slot texts.
//
// Properties: every field copied out is terminated within the 301 bytes the
// caller provides; fields equal those of a reference split that keeps empty
// fields, cuts at 128 fields and stops at a field of 300 characters; field
// numbers outside 0..127 give an empty text. Run once with the comma of slot
// texts and once with the input's first byte as the delimiter.
#include "core/strtok.h"

#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"

namespace {

std::vector<std::string> ReferenceSplit(const std::string& s, char cDelimiter)
{
    std::vector<std::string> fields(Ckelm_strtok::kFields);
    size_t k = 0;
    for (size_t j = 0; j < s.size() || j == 0; ++j) {
        char c = j < s.size() ? s[j] : '\0';
        if (c == cDelimiter) {
            if (++k == fields.size()) break;
        } else if (c != '\0') {
            fields[k] += c;
            if (fields[k].size() == static_cast<size_t>(Ckelm_strtok::kFieldSize)) break;
        }
        if (j + 1 >= s.size()) break;
    }
    return fields;
}

void CheckSplit(const uint8_t* pData, size_t nSize, char cDelimiter)
{
    const std::string original(reinterpret_cast<const char*>(pData), strnlen(reinterpret_cast<const char*>(pData), nSize));
    std::unique_ptr<char[]> pText = HeapText(pData, nSize);
    std::unique_ptr<Ckelm_strtok> pSplit(new Ckelm_strtok);
    pSplit->Split(pText.get(), cDelimiter);

    const std::vector<std::string> expected = ReferenceSplit(original, cDelimiter);
    const size_t nRoom = Ckelm_strtok::kFieldSize + 1;
    for (int n = -2; n < Ckelm_strtok::kFields + 2; ++n) {
        std::unique_ptr<char[]> pField(new char[nRoom]);
        std::memset(pField.get(), 'x', nRoom);
        pSplit->Field(n, pField.get());
        size_t nLen = BoundedLength(pField.get(), nRoom);
        if (n < 0 || n >= Ckelm_strtok::kFields) {
            FUZZ_CHECK(nLen == 0);
        } else {
            FUZZ_CHECK(std::string(pField.get(), nLen) == expected[n]);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    CheckSplit(pData, nSize, ',');
    if (nSize > 0) CheckSplit(pData + 1, nSize - 1, static_cast<char>(pData[0]));
    return 0;
}
