// CPlaylist: editing the rows and saving the list.
//
// Rows stand in the file's line list as placeholders (the n-th row line is
// row n), so reordering and renaming leave every comment, directive and
// unknown line where it was. A new row gets a placeholder next to its
// neighbour's; in a list without rows, right after the first %start line,
// or in a new region at the end of the file.
#include <algorithm>
#include <filesystem>
#include <utility>

#include "player/Playlist.h"

namespace
{

// Index in `lines` of the n-th row placeholder, or lines.size().
std::size_t RowLineIndex(const std::vector<PlaylistLine>& lines, int n)
{
    int seen = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].isRow && seen++ == n)
            return i;
    }
    return lines.size();
}

bool IsStartLine(const std::string& text)
{
    if (text.size() < 6)
        return false;
    std::string head = text.substr(0, 6);
    for (char& c : head)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return head == "%start" && text[0] != ';';
}

int32_t SEFlagOf(const std::string& name)
{
    return name.find("[SE]") != std::string::npos ? 1 : 0;
}

} // namespace

void CPlaylist::RowsEdited()
{
    m_modified = true;
    Notify(PlaylistChange::Rows);
}

int CPlaylist::InsertRow(int after, PlaylistEntry entry)
{
    auto& rows = m_file.entries;
    after = std::clamp(after, -1, int(rows.size()) - 1);
    const int row = after + 1;
    entry.isSE = SEFlagOf(entry.name);

    auto& lines = m_file.lines;
    std::size_t at;
    if (!rows.empty()) {
        // Before the row that now holds the place, or after the last row.
        at =
            row < int(rows.size()) ? RowLineIndex(lines, row) : RowLineIndex(lines, int(rows.size()) - 1) + 1;
    } else {
        auto start = std::find_if(lines.begin(), lines.end(),
                                  [](const PlaylistLine& l) { return !l.isRow && IsStartLine(l.text); });
        if (start != lines.end()) {
            at = std::size_t(start - lines.begin()) + 1;
        } else {
            lines.push_back({false, "%start"});
            lines.push_back({false, "%end"});
            at = lines.size() - 1;
        }
    }
    at = std::min(at, lines.size());
    lines.insert(lines.begin() + std::ptrdiff_t(at), PlaylistLine{true, {}});
    rows.insert(rows.begin() + row, std::move(entry));
    m_file.rowSource.insert(m_file.rowSource.begin() + row, std::string());
    m_selection = row;
    RowsEdited();
    return row;
}

bool CPlaylist::RenameRow(int row, const std::string& name)
{
    if (!ValidRow(row))
        return false;
    PlaylistEntry& e = m_file.entries[std::size_t(row)];
    e.name = name;
    // As the reader sees it: only rows written with a code carry the mark.
    const std::string& source = m_file.rowSource[std::size_t(row)];
    const bool codeRow = e.code >= 0 || (!source.empty() && source[0] == '#');
    e.isSE = codeRow ? SEFlagOf(name) : 0;
    RowsEdited();
    return true;
}

bool CPlaylist::SetRowTime(int row, int32_t tenths)
{
    if (!ValidRow(row) || m_file.entries[std::size_t(row)].code < 0 || tenths < 0)
        return false;
    m_file.entries[std::size_t(row)].playTime = tenths;
    RowsEdited();
    return true;
}

bool CPlaylist::ToggleSE(int row)
{
    if (!ValidRow(row) || m_file.entries[std::size_t(row)].code < 0)
        return false;
    PlaylistEntry& e = m_file.entries[std::size_t(row)];
    if (e.isSE) {
        std::size_t at;
        while ((at = e.name.find("[SE]")) != std::string::npos) {
            // Take a space that only separated the mark along with it.
            std::size_t from = at, len = 4;
            if (from > 0 && e.name[from - 1] == ' ')
                --from, ++len;
            else if (from + len < e.name.size() && e.name[from + len] == ' ')
                ++len;
            e.name.erase(from, len);
        }
    } else {
        e.name += e.name.empty() ? "[SE]" : " [SE]";
    }
    e.isSE = SEFlagOf(e.name);
    RowsEdited();
    return true;
}

bool CPlaylist::DeleteRow(int row)
{
    if (!ValidRow(row))
        return false;
    auto& lines = m_file.lines;
    const std::size_t at = RowLineIndex(lines, row);
    if (at < lines.size())
        lines.erase(lines.begin() + std::ptrdiff_t(at));
    m_file.entries.erase(m_file.entries.begin() + row);
    m_file.rowSource.erase(m_file.rowSource.begin() + row);
    const int count = int(m_file.entries.size());
    if (m_selection >= count)
        m_selection = count - 1;
    RowsEdited();
    return true;
}

bool CPlaylist::MoveRow(int row, int delta)
{
    const int to = row + (delta < 0 ? -1 : 1);
    if (!ValidRow(row) || !ValidRow(to) || delta == 0)
        return false;
    std::swap(m_file.entries[std::size_t(row)], m_file.entries[std::size_t(to)]);
    std::swap(m_file.rowSource[std::size_t(row)], m_file.rowSource[std::size_t(to)]);
    if (m_selection == row)
        m_selection = to;
    else if (m_selection == to)
        m_selection = row;
    RowsEdited();
    return true;
}

PlaylistSaveResult CPlaylist::Save()
{
    PlaylistSaveResult result;
    if (m_path.empty()) {
        result.message = "No ROM is loaded, so there is no playlist file to save.";
        return result;
    }
    std::string error;
    PlaylistEncoding used = PlaylistEncoding::Utf8;
    if (!WritePlaylistFile(m_path, m_file, error, &used)) {
        result.message = error;
        return result;
    }
    // Later saves keep the encoding that was written.
    m_file.encoding = used;
    // What is on disk now is the source of every row.
    for (std::size_t i = 0; i < m_file.entries.size(); ++i)
        m_file.rowSource[i] = FormatPlaylistRow(m_file.entries[i], m_file.rowSource[i]);
    m_modified = false;
    const std::string name = std::filesystem::path(m_path).filename().string();
    result.ok = true;
    result.message = "Saved " + name + (used == PlaylistEncoding::Cp932 ? " (Shift-JIS)" : " (UTF-8)");
    Notify(PlaylistChange::Rows);
    return result;
}

std::vector<std::string> CPlaylist::UnsavedFiles() const
{
    std::vector<std::string> files;
    if (m_modified && !m_path.empty())
        files.push_back(m_path);
    for (const auto& [path, data] : m_unsaved)
        files.push_back(path);
    return files;
}

PlaylistSaveResult CPlaylist::SaveAll()
{
    std::vector<std::string> errors;
    if (m_modified && !m_path.empty()) {
        const PlaylistSaveResult current = Save();
        if (!current.ok)
            errors.push_back(current.message);
    }
    for (auto it = m_unsaved.begin(); it != m_unsaved.end();) {
        std::string error;
        if (WritePlaylistFile(it->first, it->second, error)) {
            it = m_unsaved.erase(it);
        } else {
            errors.push_back(error);
            ++it;
        }
    }
    PlaylistSaveResult result{errors.empty(), {}};
    for (const std::string& error : errors)
        result.message += (result.message.empty() ? "" : "\n") + error;
    return result;
}
