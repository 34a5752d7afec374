#include "support/LogCapture.h"

#include "app/DebugLog.h"

LogCapture::LogCapture()
{
    CDebugLog::Instance().SetSink(
        [](const char* text, std::size_t length, void* user) {
            static_cast<LogCapture*>(user)->m_lines.emplace_back(text, length);
        },
        this);
}

LogCapture::~LogCapture() { CDebugLog::Instance().SetSink(nullptr, nullptr); }

std::string LogCapture::Joined() const
{
    std::string all;
    for (const auto& line : m_lines)
        all += line;
    return all;
}
