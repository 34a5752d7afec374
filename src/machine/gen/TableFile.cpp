#include "TableFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iconv.h>

namespace {

std::string Trim(const std::string& s)
{
    std::size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    std::size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

}  // namespace

void TableRow::Fail(const std::string& message) const
{
    throw GenError(file + ":" + std::to_string(line) + ": " + message);
}

void TableRow::ExpectColumns(std::size_t count) const
{
    if (cells.size() != count)
        Fail("expected " + std::to_string(count) + " columns separated by '|', found " +
             std::to_string(cells.size()));
}

std::vector<TableRow> ReadTable(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw GenError(path + ": cannot open: " + std::strerror(errno));
    std::vector<TableRow> rows;
    std::string text;
    int lineNo = 0;
    while (std::getline(in, text)) {
        ++lineNo;
        std::string t = Trim(text);
        if (t.empty() || t[0] == '#')
            continue;
        TableRow row;
        row.file = path;
        row.line = lineNo;
        std::size_t start = 0;
        for (;;) {
            std::size_t bar = t.find('|', start);
            row.cells.push_back(Trim(t.substr(start, bar == std::string::npos ? std::string::npos : bar - start)));
            if (bar == std::string::npos)
                break;
            start = bar + 1;
        }
        rows.push_back(std::move(row));
    }
    if (in.bad())
        throw GenError(path + ": read error");
    return rows;
}

uint32_t ParseNumber(const TableRow& row, const std::string& text, const char* what)
{
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    std::string digits = hex ? text.substr(2) : text;
    if (digits.empty())
        row.Fail(std::string("empty ") + what);
    uint64_t value = 0;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            row.Fail(std::string("bad ") + what + " '" + text + "'");
        value = value * (hex ? 16 : 10) + static_cast<uint64_t>(d);
        if (value > 0xFFFFFFFFu)
            row.Fail(std::string(what) + " '" + text + "' does not fit in 32 bits");
    }
    return static_cast<uint32_t>(value);
}

uint32_t ParseHex(const TableRow& row, const std::string& text, const char* what)
{
    if (text.empty() || text.size() > 8)
        row.Fail(std::string("bad ") + what + " '" + text + "' (1 to 8 hex digits)");
    return ParseNumber(row, "0x" + text, what);
}

std::string CppStringLiteral(const std::string& bytes)
{
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\' && c != '?') {
            out += static_cast<char>(c);
        } else {
            char esc[5];
            std::snprintf(esc, sizeof esc, "\\%03o", c);
            out += esc;
        }
    }
    return out + "\"";
}

std::string Utf8ToCp932(const TableRow& row, const std::string& utf8, const char* what)
{
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        row.Fail("this system's iconv has no CP932 conversion");
    std::string in = utf8;
    std::string out(in.size() * 2 + 4, '\0');
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    int err = errno;
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1) || inLeft != 0)
        row.Fail(std::string(what) + " '" + utf8 + "' has no CP932 form (" + std::strerror(err) + ")");
    if (rc != 0)
        row.Fail(std::string(what) + " '" + utf8 + "' needs a substitute character in CP932");
    out.resize(out.size() - outLeft);
    return out;
}
