#include "app/IniFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/TextEncoding.h"

namespace {

std::string_view Trim(std::string_view s) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

bool CIniFile::LoadFile(const std::string& path) {
    m_sections.clear();
    // Only a regular file is read: a folder would make the stream throw, a
    // FIFO would block the start-up.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return false;
    std::string_view view(bytes);
    if (view.substr(0, 3) == "\xEF\xBB\xBF") view.remove_prefix(3);
    Parse(DecodeUtf8OrCp932(view));
    return true;
}

bool CIniFile::SaveFile(const std::string& path) const {
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        const std::string text = Serialize();
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            out.close();
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

void CIniFile::Parse(std::string_view text) {
    m_sections.clear();
    m_sections.push_back(Section{});
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view raw = text.substr(pos, end - pos);
        pos = end + 1;
        const std::string_view line = Trim(raw);
        if (!line.empty() && line.front() == '[') {
            const std::size_t close = line.find(']');
            const std::string_view name =
                Trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
            m_sections.push_back(Section{std::string(name), {}});
            continue;
        }
        const std::size_t eq = line.find('=');
        if (line.empty() || line.front() == ';' || line.front() == '#' || eq == std::string_view::npos ||
            Trim(line.substr(0, eq)).empty()) {
            std::string keep(raw);
            if (!keep.empty() && keep.back() == '\r') keep.pop_back();
            m_sections.back().lines.push_back(Line{"", std::move(keep)});
            continue;
        }
        std::string_view value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        m_sections.back().lines.push_back(Line{std::string(Trim(line.substr(0, eq))), std::string(value)});
    }
    // Trailing blank lines of each section are re-created by Serialize.
    for (Section& s : m_sections)
        while (!s.lines.empty() && s.lines.back().key.empty() && Trim(s.lines.back().value).empty())
            s.lines.pop_back();
    if (m_sections.front().lines.empty()) m_sections.erase(m_sections.begin());
}

std::string CIniFile::Serialize() const {
    std::string out;
    bool first = true;
    for (const Section& s : m_sections) {
        if (!s.name.empty() || !first) {
            if (!first) out += '\n';
            out += '[';
            out += s.name;
            out += "]\n";
        }
        first = false;
        for (const Line& l : s.lines) {
            if (l.key.empty()) {
                out += l.value;
            } else {
                out += l.key;
                out += '=';
                out += l.value;
            }
            out += '\n';
        }
    }
    return out;
}

CIniFile::Section* CIniFile::FindSection(std::string_view name) {
    for (Section& s : m_sections)
        if (!s.name.empty() && EqualsNoCase(s.name, name)) return &s;
    return nullptr;
}

const CIniFile::Section* CIniFile::FindSection(std::string_view name) const {
    return const_cast<CIniFile*>(this)->FindSection(name);
}

std::optional<std::string> CIniFile::Get(std::string_view section, std::string_view key) const {
    const Section* s = FindSection(section);
    if (!s) return std::nullopt;
    for (const Line& l : s->lines)
        if (!l.key.empty() && EqualsNoCase(l.key, key)) return l.value;
    return std::nullopt;
}

void CIniFile::Set(std::string_view section, std::string_view key, std::string_view rawValue) {
    // A line break inside a value would start a new line of the file (and
    // could forge keys), so it is stored as a space.
    std::string value(rawValue);
    for (char& c : value)
        if (c == '\n' || c == '\r') c = ' ';
    Section* s = FindSection(section);
    if (!s) {
        m_sections.push_back(Section{std::string(section), {}});
        s = &m_sections.back();
    }
    for (Line& l : s->lines) {
        if (!l.key.empty() && EqualsNoCase(l.key, key)) {
            l.value = value;
            return;
        }
    }
    s->lines.push_back(Line{std::string(key), std::string(value)});
}
