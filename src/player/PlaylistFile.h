// Playlist files (.lst): one ROM's list of sound codes worth hearing, with
// names, play times, sound-effect marks, a volume gain and an equalizer
// preset. This header holds the row type, the file as read (every line kept,
// so a save can write comments and unknown lines back in place), the reader
// and the writer.
//
// Format, one line at a time (a CR LF or LF ends a line):
//   ;...                      comment
//   %start / %end             the entry region begins / ends (several allowed)
//   %volgain<TAB>150          gain in percent, 50..1000
//   %equalizer<TAB>3          equalizer preset 1..16
//   %eqname<TAB>Bass boost    equalizer preset by name
//   #12<TAB>Name<TAB>1:30     playable row (inside a region); #$1F is hex
//   anything else             caption row (inside a region)
// Directives are case-insensitive prefixes and count anywhere in the file.
// Fields are separated by TABs; runs of TABs count as one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct PlaylistEntry {
    int32_t code = -1;    // sound code; below 0 marks a caption row (never played)
    int32_t isSE = 0;     // 1 when the name contains "[SE]"
    std::string name;     // UTF-8
    int32_t playTime = 0; // tenths of a second; 0 = none given
    bool operator==(const PlaylistEntry&) const = default;
};

enum class PlaylistEncoding {
    Utf8,  // the whole file was valid UTF-8 (saved back with a byte-order mark)
    Cp932, // anything else: Shift-JIS as written on the original platform
};

// One line of the file. Row lines are placeholders: the n-th row line of
// the file stands for entries[n], so rows can be edited, reordered, added
// and deleted while every other line stays where it was.
struct PlaylistLine {
    bool isRow = false;
    std::string text; // UTF-8, without line end; empty for row lines
};

struct PlaylistFileData {
    std::vector<PlaylistEntry> entries;
    // Parallel to entries: the line each row was read from ("" for a row
    // made by the user). A row written unchanged keeps its original text.
    std::vector<std::string> rowSource;
    std::vector<PlaylistLine> lines;
    int32_t volumeGain = 100;  // percent, 50..1000
    int32_t eqPresetIndex = 0; // 0..15 (preset 1..16)
    std::string eqPresetName;  // empty when not set
    PlaylistEncoding encoding = PlaylistEncoding::Utf8;
    bool crlf = true; // line end of the file (CR LF for new files)
    // True when the file went past the reader's limits (rows, lines or line
    // length): what was read is usable, but saving it would lose the rest.
    bool truncated = false;
};

// Limits that keep memory bounded on damaged or hostile files.
constexpr std::size_t kPlaylistMaxLineBytes = 64 * 1024; // rest of a longer line dropped
constexpr std::size_t kPlaylistMaxRows = 100000;
constexpr std::size_t kPlaylistMaxLines = 200000;
constexpr std::size_t kPlaylistMaxFileBytes = 64 * 1024 * 1024; // the rest of a larger file is not read

// Reads `path`. False when the file cannot be opened (then `data` is
// empty, with the defaults). The encoding is UTF-8 when the whole file is
// valid UTF-8 (a leading byte-order mark is skipped), else CP932.
bool ReadPlaylistFile(const std::string& path, PlaylistFileData& data);

// The same rules on a file's bytes already in memory.
PlaylistFileData ParsePlaylistText(std::string_view bytes);

// Field rules, exposed for tests and for the writer.
int32_t ParsePlaylistCode(std::string_view field); // "#12", "#$1F", "#" -> 0
int32_t ParsePlaylistTime(std::string_view field); // "1:05.5" -> 655, "2.5" -> 25
std::vector<std::string> SplitPlaylistFields(std::string_view line);
// The row a line inside the entry region gives (playable when it starts
// with '#', else a caption).
PlaylistEntry ParsePlaylistRow(std::string_view line);

// The file text of `data` (rows from entries, every other line as read),
// encoded as `data.encoding` says: UTF-8 with a byte-order mark, or CP932.
// A CP932 file whose text no longer fits CP932 is written as UTF-8 instead
// (`usedEncoding` tells which was written), so no character is lost.
std::string FormatPlaylistFile(const PlaylistFileData& data, PlaylistEncoding* usedEncoding = nullptr);

// The line written for one row. `source` is the line it was read from (""
// for a new row); fields whose value did not change keep their text.
std::string FormatPlaylistRow(const PlaylistEntry& entry, std::string_view source);

// "m:ss" or "m:ss.t" for a play time in tenths of a second.
std::string FormatPlaylistTime(int32_t tenths);

// Writes FormatPlaylistFile(data) to `path` through a temporary file in the
// same folder that is then renamed over the old file, so a failed write
// never damages what was there. Creates the folder when missing. On failure
// returns false and sets `error` to a sentence for the user.
bool WritePlaylistFile(const std::string& path, const PlaylistFileData& data, std::string& error,
                       PlaylistEncoding* usedEncoding = nullptr);
