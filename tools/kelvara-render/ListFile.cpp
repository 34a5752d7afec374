#include "ListFile.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "app/TextEncoding.h"

namespace {

// Longest line piece the list format reads at once (the rest of a longer
// line counts as the next line).
constexpr std::size_t kLinePiece = 259;

bool StartsNoCase(const std::string& line, const char* word) {
    const std::size_t n = std::strlen(word);
    if (line.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        char c = line[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != word[i]) return false;
    }
    return true;
}

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && line[pos] == '\t') ++pos;
        if (pos >= line.size()) break;
        std::size_t end = line.find('\t', pos);
        if (end == std::string::npos) end = line.size();
        fields.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    return fields;
}

// Leading decimal integer with optional sign (none gives 0); `end` is set
// to the index of the first character not used.
long LeadingInt(const std::string& text, std::size_t start, std::size_t& end) {
    const char* begin = text.c_str() + start;
    char* stop = nullptr;
    long value = std::strtol(begin, &stop, 10);
    end = start + static_cast<std::size_t>(stop - begin);
    if (value > 1000000000L) value = 1000000000L;
    if (value < -1000000000L) value = -1000000000L;
    return value;
}

}  // namespace

int ParseListCode(const std::string& field) {
    if (field.size() >= 2 && field[1] == '$') {
        unsigned long v = 0;
        for (std::size_t i = 2; i < field.size() && std::isxdigit(static_cast<unsigned char>(field[i])); ++i) {
            v = v * 16 + static_cast<unsigned long>(std::strtol(std::string(1, field[i]).c_str(), nullptr, 16));
            if (v > 0x7FFFFFFFul) v = 0x7FFFFFFFul;
        }
        return static_cast<int>(v);
    }
    std::size_t end = 0;
    return static_cast<int>(LeadingInt(field, 1, end));
}

int ParseListTime(const std::string& field) {
    std::size_t end = 0;
    long a = LeadingInt(field, 0, end);
    long t;
    if (end < field.size() && field[end] == ':') {
        std::size_t endB = 0;
        const long b = LeadingInt(field, end + 1, endB);
        t = (a * 60 + b) * 10;
        if (endB < field.size() && field[endB] == '.') {
            std::size_t e = 0;
            t += LeadingInt(field, endB + 1, e);
        }
    } else if (end < field.size() && field[end] == '.') {
        std::size_t e = 0;
        t = a * 10 + LeadingInt(field, end + 1, e);
    } else {
        t = a * 10;
    }
    return static_cast<int>(std::clamp(t, -2000000000L, 2000000000L));
}

bool ReadListFile(const std::string& path, ListFile& list) {
    list = ListFile{};
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    bool inRegion = false;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) end = bytes.size();
        std::string raw = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        // Long lines are read in pieces, each taken as a line of its own.
        for (std::size_t at = 0; at == 0 || at < raw.size(); at += kLinePiece) {
            const std::string line = DecodeUtf8OrCp932(raw.substr(at, kLinePiece));
            const std::vector<std::string> fields = SplitFields(line);
            if (!line.empty() && line[0] == ';') continue;
            if (StartsNoCase(line, "%start")) {
                inRegion = true;
            } else if (StartsNoCase(line, "%end")) {
                inRegion = false;
            } else if (StartsNoCase(line, "%volgain")) {
                if (fields.size() >= 2) {
                    std::size_t e = 0;
                    list.volumeGain = static_cast<int>(std::clamp(LeadingInt(fields[1], 0, e), 50L, 1000L));
                }
            } else if (StartsNoCase(line, "%equalizer") || StartsNoCase(line, "%eqname")) {
                // Equalizer presets live in the player's settings; not used here.
            } else if (!inRegion) {
                // outside the entry region
            } else if (!line.empty() && line[0] == '#') {
                ListRow row;
                row.code = ParseListCode(fields.empty() ? std::string("#") : fields[0]);
                if (fields.size() >= 2) row.name = fields[1];
                if (fields.size() >= 3) row.playTime = ParseListTime(fields[2]);
                list.rows.push_back(row);
            } else {
                ListRow caption;
                if (!fields.empty()) caption.name = fields[0];
                list.rows.push_back(caption);
            }
            if (raw.size() <= kLinePiece) break;
        }
    }
    return !list.rows.empty();
}
