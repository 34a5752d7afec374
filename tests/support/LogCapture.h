// Captures debug-log lines for the lifetime of the object.
#pragma once

#include <string>
#include <vector>

class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::vector<std::string>& Lines() const { return m_lines; }
    std::string Joined() const;
    bool Contains(const std::string& text) const { return Joined().find(text) != std::string::npos; }

private:
    std::vector<std::string> m_lines;
};
