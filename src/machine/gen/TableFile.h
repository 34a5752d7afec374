// Reading the plain-text data tables under data/ for the build-time
// generator: one record per line, columns separated by "|", blanks around a
// column ignored, lines starting with "#" and empty lines skipped.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// A data error; the message already names file and line.
class GenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TableRow {
    std::string file;
    int line = 0;
    std::vector<std::string> cells;

    // Throws GenError "file:line: message".
    [[noreturn]] void Fail(const std::string& message) const;
    // Throws unless the row has exactly `count` columns.
    void ExpectColumns(std::size_t count) const;
};

// All records of `path`, in file order. Throws GenError if it cannot be read.
std::vector<TableRow> ReadTable(const std::string& path);

// Numbers: decimal, or hexadecimal with a 0x prefix. Throws via row.Fail.
uint32_t ParseNumber(const TableRow& row, const std::string& text, const char* what);
// Bare hexadecimal digits (1..8 of them), e.g. a checksum "7D4C4539".
uint32_t ParseHex(const TableRow& row, const std::string& text, const char* what);

// A C++ string literal for arbitrary bytes: printable ASCII as is, all
// other bytes as three-digit octal escapes (never ambiguous with a
// following digit, unlike \x).
std::string CppStringLiteral(const std::string& bytes);

// UTF-8 text converted to CP932 (Shift-JIS with the NEC and IBM extensions).
// Throws via row.Fail if a character has no CP932 form.
std::string Utf8ToCp932(const TableRow& row, const std::string& utf8, const char* what);
