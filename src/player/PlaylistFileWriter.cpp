// Playlist file writer: rows back into lines, the file text in its
// encoding, and the safe replace of the file on disk.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/TextEncoding.h"
#include "player/PlaylistFile.h"

namespace fs = std::filesystem;

namespace
{

// A TAB or a line end inside a name would split the row; they become spaces.
std::string CleanField(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\0')
            continue;
        out.push_back(c == '\t' || c == '\r' || c == '\n' ? ' ' : c);
    }
    return out;
}

bool SameCode(std::string_view field, int32_t code)
{
    return !field.empty() && field[0] == '#' && ParsePlaylistCode(field) == code;
}

} // namespace

std::string FormatPlaylistTime(int32_t tenths)
{
    char text[48];
    if (tenths < 0) {
        // Only a file can hold a negative time, and an unchanged row keeps
        // its own text; whole seconds are the best this form can say.
        std::snprintf(text, sizeof text, "%d", tenths / 10);
    } else if (tenths % 10 != 0) {
        std::snprintf(text, sizeof text, "%d:%02d.%d", tenths / 600, (tenths / 10) % 60, tenths % 10);
    } else {
        std::snprintf(text, sizeof text, "%d:%02d", tenths / 600, (tenths / 10) % 60);
    }
    return text;
}

std::string FormatPlaylistRow(const PlaylistEntry& entry, std::string_view source)
{
    if (!source.empty() && ParsePlaylistRow(source) == entry)
        return std::string(source);
    const bool sourceIsPlayable = !source.empty() && source[0] == '#';
    const std::string name = CleanField(entry.name);

    if (entry.code < 0 && !sourceIsPlayable) {
        // Caption: the name alone. A name that would read as a comment, a
        // row or a directive gets a leading TAB, which the reader skips.
        if (!name.empty() && (name[0] == ';' || name[0] == '#' || name[0] == '%'))
            return std::string(1, '\t').append(name);
        return name;
    }

    const std::vector<std::string> fields = SplitPlaylistFields(source);
    std::string line;
    if (sourceIsPlayable && SameCode(fields[0], entry.code)) {
        line = fields[0];
    } else {
        line.push_back('#');
        line.append(std::to_string(entry.code));
    }
    if (name.empty() && entry.playTime == 0)
        return line;
    // Runs of TABs count as one, so an empty name cannot be followed by a
    // time; a single space stands in for it.
    line.push_back('\t');
    line.append(name.empty() ? std::string(" ") : name);
    if (entry.playTime != 0) {
        line.push_back('\t');
        if (sourceIsPlayable && fields.size() >= 3 && ParsePlaylistTime(fields[2]) == entry.playTime)
            line.append(fields[2]);
        else
            line.append(FormatPlaylistTime(entry.playTime));
    }
    return line;
}

std::string FormatPlaylistFile(const PlaylistFileData& data, PlaylistEncoding* usedEncoding)
{
    const char* eol = data.crlf ? "\r\n" : "\n";
    std::string text;
    std::size_t row = 0;
    for (const PlaylistLine& line : data.lines) {
        if (line.isRow) {
            if (row < data.entries.size()) {
                text += FormatPlaylistRow(data.entries[row],
                                          row < data.rowSource.size() ? data.rowSource[row] : std::string());
                ++row;
            } else {
                continue; // more placeholders than rows: nothing to write
            }
        } else {
            text += line.text;
        }
        text += eol;
    }
    // Rows without a placeholder (the caller added more than it placed).
    for (; row < data.entries.size(); ++row)
        text += FormatPlaylistRow(data.entries[row], {}) + eol;

    if (data.encoding == PlaylistEncoding::Cp932) {
        std::string cp932 = Utf8ToCp932(text);
        if (Cp932ToUtf8(cp932) == text) {
            if (usedEncoding)
                *usedEncoding = PlaylistEncoding::Cp932;
            return cp932;
        }
    }
    if (usedEncoding)
        *usedEncoding = PlaylistEncoding::Utf8;
    return "\xEF\xBB\xBF" + text;
}

bool WritePlaylistFile(const std::string& path, const PlaylistFileData& data, std::string& error,
                       PlaylistEncoding* usedEncoding)
{
    if (data.truncated) {
        error = "The playlist file was too large or damaged to be read whole; saving it would lose its "
                "unread part, so it was not saved.";
        return false;
    }
    const std::string bytes = FormatPlaylistFile(data, usedEncoding);
    const fs::path target(path);
    std::error_code ec;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    fs::create_directories(folder, ec);
    if (ec) {
        error = "Cannot create the folder " + folder.string() + ": " + ec.message();
        return false;
    }
    std::string temp = (folder / (".~" + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = "Cannot write in " + folder.string() + ": " + std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = "Cannot write " + temp + ": " + std::strerror(errno);
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        done += std::size_t(n);
    }
    ::fchmod(fd, 0644);
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        error = "Cannot write " + temp + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        error = "Cannot replace " + path + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}
