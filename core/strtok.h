// Splitter of comma-separated slot texts into a fixed table of fields
// (platform-free). Unlike strtok it keeps empty fields.
#pragma once

class Ckelm_strtok {
public:
    static const int kFields = 128;
    static const int kFieldSize = 300;

    Ckelm_strtok();
    void Clear();
    // Fills the fields from pText, split at cDelimiter. Does not clear first.
    void Split(const char* pText, char cDelimiter);
    // Copies field n with its terminator into pDest (room for 301 bytes).
    void Field(int n, char* pDest) const;

private:
    char m_aacField[kFields][kFieldSize];
};
