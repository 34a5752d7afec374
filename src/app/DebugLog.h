// Process-wide diagnostic log. Every line goes to standard error exactly as
// formatted; callers end lines with "\n" themselves (nothing is added).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <mutex>

class CDebugLog {
public:
    // Lines are formatted into a buffer of this size; a longer line is cut
    // to kBufferSize - 1 characters, never written past the buffer.
    static constexpr std::size_t kBufferSize = 1000;

    // Receives each formatted line. The default writes it to standard error.
    using Sink = void (*)(const char* text, std::size_t length, void* user);

    static CDebugLog& Instance();

    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void LogV(const char* format, std::va_list args);

    // Routes lines elsewhere (tests capture them this way); nullptr restores
    // standard error.
    void SetSink(Sink sink, void* user);

private:
    CDebugLog() = default;

    std::mutex m_lock;  // the render thread and the UI thread both log
    Sink m_sink = nullptr;
    void* m_user = nullptr;
};

// Shorthand for CDebugLog::Instance().Log(...).
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
