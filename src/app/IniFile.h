// A small INI text reader and writer: "[section]" lines, "key=value" lines,
// comment lines starting with ';' or '#'.
//
// Reading follows the classic profile-file rules: section and key names
// match without regard to ASCII case, names and values are trimmed of
// spaces and tabs, one pair of matching quotes around a value is removed,
// and the first of several equal keys wins. Unknown sections, keys and
// comments are kept, so a file that is loaded, changed and saved loses
// nothing; a new key goes to the end of its section, a new section to the
// end of the file.
//
// Files are read as UTF-8 (a leading byte-order mark is skipped) or, when
// the bytes are not valid UTF-8, as CP932; they are always written as UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CIniFile {
public:
    // Replaces the contents with the file's; false (and empty contents) when
    // the file cannot be read.
    bool LoadFile(const std::string& path);
    // Writes the contents to a temporary file beside `path` and renames it
    // over `path`, so a failed write never leaves a half-written file.
    bool SaveFile(const std::string& path) const;

    // Replaces the contents with the parsed UTF-8 text.
    void Parse(std::string_view text);
    std::string Serialize() const;

    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    void Set(std::string_view section, std::string_view key, std::string_view value);

private:
    struct Line {
        std::string key;    // empty for comments and blank lines
        std::string value;  // the value, or the raw text of a comment line
    };
    struct Section {
        std::string name;   // empty for lines before the first section
        std::vector<Line> lines;
    };

    Section* FindSection(std::string_view name);
    const Section* FindSection(std::string_view name) const;

    std::vector<Section> m_sections;
};
