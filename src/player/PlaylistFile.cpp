// Playlist file reader: line splitting, encoding choice, line classes and
// field rules.
#include "player/PlaylistFile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>

#include "app/TextEncoding.h"
#include "player/HexNumber.h"

namespace
{

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::size_t kChunk = 64 * 1024;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool StartsNoCase(std::string_view line, std::string_view word)
{
    if (line.size() < word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        char c = line[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != word[i])
            return false;
    }
    return true;
}

int32_t ClampToInt32(int64_t v)
{
    return int32_t(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// Leading decimal integer as the C library reads one: white space, an
// optional sign, digits; no digits gives 0. `used` is the index of the
// first character after the number (or `at` when there was none).
int64_t LeadingInt(std::string_view text, std::size_t at, std::size_t& used)
{
    std::size_t i = at;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const std::size_t digits = i;
    int64_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t(1) << 40);
        ++i;
    }
    if (i == digits) {
        used = at;
        return 0;
    }
    used = i;
    return negative ? -value : value;
}

// Length of the incomplete UTF-8 sequence at the end of `bytes` (0 when the
// text ends on a character boundary).
std::size_t IncompleteUtf8Tail(std::string_view bytes)
{
    const std::size_t n = bytes.size();
    for (std::size_t back = 1; back <= 3 && back <= n; ++back) {
        const auto c = static_cast<unsigned char>(bytes[n - back]);
        if (c < 0x80)
            return 0;
        if (c >= 0xC0) {
            const std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
            return len > back ? back : 0;
        }
    }
    return 0;
}

// Splits a byte stream into lines. Keeps at most kPlaylistMaxLineBytes of a
// line, cuts a line at a NUL byte (the rest of it is text nobody can see),
// drops the CR of a CR LF.
class CLineSplitter
{
  public:
    // Returns false to stop reading.
    using Sink = std::function<bool(std::string& line, bool cut)>;
    explicit CLineSplitter(Sink sink) : m_sink(std::move(sink)) {}

    bool Feed(std::string_view bytes)
    {
        for (char c : bytes) {
            if (c == '\n') {
                if (!m_nulSeen && !m_cut && !m_line.empty() && m_line.back() == '\r')
                    m_line.pop_back();
                if (m_lineEnds == 0)
                    m_firstCrlf = m_lastWasCr;
                ++m_lineEnds;
                if (!Emit())
                    return false;
                continue;
            }
            m_lastWasCr = c == '\r';
            if (m_nulSeen || c == '\0') {
                m_nulSeen = true;
                continue;
            }
            if (m_line.size() >= kPlaylistMaxLineBytes) {
                m_cut = true;
                continue;
            }
            m_line.push_back(c);
        }
        return true;
    }
    // The last line when the file does not end with a line end.
    void Finish()
    {
        if (!m_line.empty() || m_nulSeen || m_cut)
            Emit();
    }
    // Line end of the file: true for CR LF; nullopt-like: `known` false
    // when the file has no line end at all.
    bool FirstLineEndIsCrlf(bool& known) const
    {
        known = m_lineEnds > 0;
        return m_firstCrlf;
    }

  private:
    bool Emit()
    {
        const bool cut = m_cut;
        const bool keepGoing = m_sink(m_line, cut);
        m_line.clear();
        m_cut = m_nulSeen = m_lastWasCr = false;
        return keepGoing;
    }

    Sink m_sink;
    std::string m_line;
    bool m_cut = false;
    bool m_nulSeen = false;
    bool m_lastWasCr = false;
    bool m_firstCrlf = false;
    std::size_t m_lineEnds = 0;
};

// Applies the line classes to decoded lines, building the file data.
class CPlaylistParser
{
  public:
    explicit CPlaylistParser(PlaylistFileData& data) : m_data(data) {}

    // False once a limit is reached; reading then stops.
    bool AddLine(std::string line)
    {
        if (m_data.lines.size() >= kPlaylistMaxLines) {
            m_data.truncated = true;
            return false;
        }
        const bool isComment = !line.empty() && line[0] == ';';
        if (!isComment && ApplyDirective(line)) {
            m_data.lines.push_back({false, std::move(line)});
            return true;
        }
        if (isComment || !m_inRegion) {
            m_data.lines.push_back({false, std::move(line)});
            return true;
        }
        if (m_data.entries.size() >= kPlaylistMaxRows) {
            m_data.truncated = true;
            return false;
        }
        m_data.entries.push_back(ParsePlaylistRowLine(line));
        m_data.rowSource.push_back(std::move(line));
        m_data.lines.push_back({true, {}});
        return true;
    }

    static PlaylistEntry ParsePlaylistRowLine(std::string_view line)
    {
        const std::vector<std::string> fields = SplitPlaylistFields(line);
        PlaylistEntry e;
        if (!line.empty() && line[0] == '#') {
            e.code = ParsePlaylistCode(fields[0]);
            if (fields.size() >= 2)
                e.name = fields[1];
            if (fields.size() >= 3)
                e.playTime = ParsePlaylistTime(fields[2]);
            e.isSE = e.name.find("[SE]") != std::string::npos ? 1 : 0;
        } else if (!fields.empty()) {
            e.name = fields[0];
        }
        return e;
    }

  private:
    // True when the line is a directive (whatever its effect).
    bool ApplyDirective(std::string_view line)
    {
        if (StartsNoCase(line, "%start")) {
            m_inRegion = true;
            return true;
        }
        if (StartsNoCase(line, "%end")) {
            m_inRegion = false;
            return true;
        }
        const bool gain = StartsNoCase(line, "%volgain");
        const bool eq = !gain && StartsNoCase(line, "%equalizer");
        const bool eqName = !gain && !eq && StartsNoCase(line, "%eqname");
        if (!gain && !eq && !eqName)
            return false;
        const std::vector<std::string> fields = SplitPlaylistFields(line);
        if (fields.size() < 2)
            return true;
        std::size_t used = 0;
        if (gain)
            m_data.volumeGain = int32_t(std::clamp<int64_t>(LeadingInt(fields[1], 0, used), 50, 1000));
        else if (eq)
            m_data.eqPresetIndex = int32_t(std::clamp<int64_t>(LeadingInt(fields[1], 0, used) - 1, 0, 15));
        else
            m_data.eqPresetName = fields[1];
        return true;
    }

    PlaylistFileData& m_data;
    bool m_inRegion = false;
};

// Decodes one raw line in the file's encoding.
std::string DecodeLine(std::string& raw, bool cut, PlaylistEncoding encoding)
{
    if (encoding == PlaylistEncoding::Cp932)
        return Cp932ToUtf8(raw);
    if (cut)
        raw.resize(raw.size() - IncompleteUtf8Tail(raw));
    return std::move(raw);
}

// Feeds `bytes` (after any byte-order mark) through splitter and parser.
void ParseInto(PlaylistFileData& data, const std::function<bool(CLineSplitter&)>& pump)
{
    CPlaylistParser parser(data);
    const PlaylistEncoding encoding = data.encoding;
    CLineSplitter splitter([&](std::string& line, bool cut) {
        if (cut)
            data.truncated = true;
        return parser.AddLine(DecodeLine(line, cut, encoding));
    });
    if (pump(splitter))
        splitter.Finish();
    bool known = false;
    const bool crlf = splitter.FirstLineEndIsCrlf(known);
    if (known)
        data.crlf = crlf;
}

} // namespace

std::vector<std::string> SplitPlaylistFields(std::string_view line)
{
    std::vector<std::string> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && line[pos] == '\t')
            ++pos;
        if (pos >= line.size())
            break;
        std::size_t end = line.find('\t', pos);
        if (end == std::string_view::npos)
            end = line.size();
        fields.emplace_back(line.substr(pos, end - pos));
        pos = end;
    }
    return fields;
}

int32_t ParsePlaylistCode(std::string_view field)
{
    if (field.size() >= 2 && field[1] == '$') {
        const uint32_t value = ReadLeadingHex(field.substr(2));
        // Read as an unsigned 32-bit number and stored in the signed field,
        // as the original does: #$FFFFFFFF is -1, a caption in effect.
        return int32_t(value);
    }
    std::size_t used = 0;
    return ClampToInt32(LeadingInt(field, field.empty() ? 0 : 1, used));
}

int32_t ParsePlaylistTime(std::string_view field)
{
    std::size_t end = 0;
    const int64_t a = LeadingInt(field, 0, end);
    int64_t tenths;
    if (end < field.size() && field[end] == ':') {
        std::size_t endB = 0;
        const int64_t b = LeadingInt(field, end + 1, endB);
        tenths = (a * 60 + b) * 10;
        if (endB < field.size() && field[endB] == '.') {
            std::size_t e = 0;
            tenths += LeadingInt(field, endB + 1, e);
        }
    } else if (end < field.size() && field[end] == '.') {
        std::size_t e = 0;
        tenths = a * 10 + LeadingInt(field, end + 1, e);
    } else {
        tenths = a * 10;
    }
    return ClampToInt32(tenths);
}

PlaylistFileData ParsePlaylistText(std::string_view bytes)
{
    PlaylistFileData data;
    if (bytes.substr(0, 3) == kBom)
        bytes.remove_prefix(3);
    data.encoding = IsValidUtf8(bytes) ? PlaylistEncoding::Utf8 : PlaylistEncoding::Cp932;
    ParseInto(data, [&](CLineSplitter& s) { return s.Feed(bytes); });
    return data;
}

bool ReadPlaylistFile(const std::string& path, PlaylistFileData& data)
{
    data = PlaylistFileData{};
    // Only regular files: a FIFO or device named like a list would block or
    // never end.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return false;
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return false;
    std::string chunk(kChunk, '\0');
    // Both passes read at most kPlaylistMaxFileBytes.
    std::size_t budget = 0;
    auto readPiece = [&]() -> std::size_t {
        const std::size_t want = std::min(chunk.size(), kPlaylistMaxFileBytes - budget);
        const std::size_t got = want ? std::fread(chunk.data(), 1, want, file.get()) : 0;
        budget += got;
        return got;
    };

    // First pass: is the whole file valid UTF-8? Checked piece by piece; a
    // character cut by a piece boundary is carried into the next piece.
    bool valid = true;
    std::string carry;
    bool first = true;
    for (;;) {
        const std::size_t got = readPiece();
        if (got == 0)
            break;
        std::string_view piece(chunk.data(), got);
        if (first && piece.substr(0, 3) == kBom)
            piece.remove_prefix(3);
        first = false;
        std::string joined = carry + std::string(piece);
        const std::size_t tail = IncompleteUtf8Tail(joined);
        if (!IsValidUtf8(std::string_view(joined).substr(0, joined.size() - tail))) {
            valid = false;
            break;
        }
        carry = joined.substr(joined.size() - tail);
    }
    if (!carry.empty() && budget < kPlaylistMaxFileBytes)
        valid = false; // the file ends inside a character
    if (std::ferror(file.get()))
        return false;
    data.encoding = valid ? PlaylistEncoding::Utf8 : PlaylistEncoding::Cp932;

    // Second pass: the lines.
    std::rewind(file.get());
    budget = 0;
    ParseInto(data, [&](CLineSplitter& s) {
        bool firstPiece = true;
        for (;;) {
            const std::size_t got = readPiece();
            if (got == 0) {
                if (budget >= kPlaylistMaxFileBytes && std::fgetc(file.get()) != EOF)
                    data.truncated = true; // the rest of the file is not read
                return true;
            }
            std::string_view piece(chunk.data(), got);
            if (firstPiece && piece.substr(0, 3) == kBom)
                piece.remove_prefix(3);
            firstPiece = false;
            if (!s.Feed(piece))
                return false;
        }
    });
    return true;
}

PlaylistEntry ParsePlaylistRow(std::string_view line)
{
    return CPlaylistParser::ParsePlaylistRowLine(line);
}
