#include "app/DebugLog.h"

#include <cstdio>

CDebugLog& CDebugLog::Instance()
{
    static CDebugLog log;
    return log;
}

void CDebugLog::LogV(const char* format, std::va_list args)
{
    char buffer[kBufferSize];
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (n < 0)
        return;  // encoding error: nothing sensible to write
    std::size_t length = static_cast<std::size_t>(n) < sizeof buffer ? static_cast<std::size_t>(n)
                                                                     : sizeof buffer - 1;
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_sink) {
        m_sink(buffer, length, m_user);
    } else {
        std::fwrite(buffer, 1, length, stderr);
        std::fflush(stderr);
    }
}

void CDebugLog::Log(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    LogV(format, args);
    va_end(args);
}

void CDebugLog::SetSink(Sink sink, void* user)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_sink = sink;
    m_user = user;
}

void Log(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    CDebugLog::Instance().LogV(format, args);
    va_end(args);
}
