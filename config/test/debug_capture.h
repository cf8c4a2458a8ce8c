// Collects the debug log's lines in-process: OutputDebugStringA raises
// DBG_PRINTEXCEPTION_C with the text, which a vectored handler can read
// before the system handles it.
#pragma once
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#ifndef DBG_PRINTEXCEPTION_C
#define DBG_PRINTEXCEPTION_C 0x40010006
#endif

class DebugCapture {
public:
    DebugCapture() { m_hHandler = AddVectoredExceptionHandler(1, &DebugCapture::Handler); }
    ~DebugCapture() { RemoveVectoredExceptionHandler(m_hHandler); }
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    static std::vector<std::string> Take()
    {
        std::lock_guard<std::mutex> lock(Mutex());
        std::vector<std::string> lines;
        lines.swap(Lines());
        return lines;
    }

private:
    static std::mutex& Mutex()
    {
        static std::mutex m;
        return m;
    }
    static std::vector<std::string>& Lines()
    {
        static std::vector<std::string> v;
        return v;
    }
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* pInfo)
    {
        const EXCEPTION_RECORD* pRecord = pInfo->ExceptionRecord;
        if (pRecord->ExceptionCode == DBG_PRINTEXCEPTION_C && pRecord->NumberParameters >= 2) {
            const char* pText = reinterpret_cast<const char*>(pRecord->ExceptionInformation[1]);
            std::lock_guard<std::mutex> lock(Mutex());
            Lines().emplace_back(pText);
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }

    PVOID m_hHandler;
};
