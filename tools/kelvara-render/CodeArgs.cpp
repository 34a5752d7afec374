#include "CodeArgs.h"

#include <cerrno>
#include <cctype>
#include <cstdlib>

bool ParseCode(const std::string& text, int& code)
{
    int base = 10;
    std::size_t skip = 0;
    if (text.size() > 1 && text[0] == '$')
        base = 16, skip = 1;
    else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        base = 16, skip = 2;
    const char* digits = text.c_str() + skip;
    // strtol would also take signs and blanks: accept digits only.
    for (const char* p = digits; *p; ++p)
        if (base == 10 ? !(*p >= '0' && *p <= '9') : !std::isxdigit(static_cast<unsigned char>(*p)))
            return false;
    if (*digits == '\0')
        return false;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(digits, &end, base);
    if (errno != 0 || *end != '\0' || v < 0 || v > 255)
        return false;
    code = static_cast<int>(v);
    return true;
}

bool ParseCodeRange(const std::string& text, std::vector<int>& codes)
{
    const std::size_t dash = text.find('-');
    int low = 0, high = 0;
    if (dash == std::string::npos) {
        if (!ParseCode(text, low))
            return false;
        codes.push_back(low);
        return true;
    }
    if (!ParseCode(text.substr(0, dash), low) || !ParseCode(text.substr(dash + 1), high) || low > high)
        return false;
    for (int c = low; c <= high; ++c)
        codes.push_back(c);
    return true;
}
