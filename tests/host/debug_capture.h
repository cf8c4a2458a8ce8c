// Collects the debug log's lines in-process: while a DebugCapture lives it is
// the log's sink, and it passes each line on to the platform's debug output
// as the driver does (so WINEDEBUG=+debugstr still shows them).
#pragma once
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "core/log.h"

class DebugCapture {
public:
    DebugCapture() { m_pfnOld = SetDebugSink(&DebugCapture::Sink); }
    ~DebugCapture() { SetDebugSink(m_pfnOld); }
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
    static void Sink(const char* pLine)
    {
        {
            std::lock_guard<std::mutex> lock(Mutex());
            Lines().emplace_back(pLine);
        }
        OutputDebugStringA(pLine);
    }

    DebugSink m_pfnOld;
};
