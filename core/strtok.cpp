#include "core/strtok.h"

#include <cstring>

Ckelm_strtok::Ckelm_strtok()
{
    Clear();
}

void Ckelm_strtok::Clear()
{
    std::memset(m_aacField, 0, sizeof m_aacField);
}

// Empty fields are kept: two delimiters in a row give an empty field. A field
// that reaches kFieldSize characters fills its whole row and ends the split;
// such a row has no terminator of its own, and Field() adds it in the
// destination's last byte.
void Ckelm_strtok::Split(const char* pText, char cDelimiter)
{
    if (pText == nullptr) pText = "";
    const size_t nLen = std::strlen(pText);
    int k = 0;
    int i = 0;
    size_t j = 0;
    bool bFull = false;
    do {
        if (pText[j] == cDelimiter) {
            m_aacField[k][i] = '\0';
            ++k;
            i = 0;
        } else {
            m_aacField[k][i] = pText[j];
            ++i;
            bFull = i == kFieldSize;
        }
        ++j;
    } while (!bFull && k < kFields && j < nLen);
    if (k < kFields && i < kFieldSize) m_aacField[k][i] = '\0';
}

void Ckelm_strtok::Field(int n, char* pDest) const
{
    if (n < 0 || n >= kFields) {
        pDest[0] = '\0';
        return;
    }
    const char* pField = m_aacField[n];
    const void* pEnd = std::memchr(pField, '\0', kFieldSize);
    size_t nLen = pEnd != nullptr ? static_cast<const char*>(pEnd) - pField : kFieldSize;
    std::memcpy(pDest, pField, nLen);
    pDest[nLen] = '\0';
}
