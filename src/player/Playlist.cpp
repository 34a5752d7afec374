// CPlaylist: loading, the selection and stepping through the rows.
#include "player/Playlist.h"

#include <cstdio>

CPlaylist::CPlaylist(IPlayerHost* host, const CSettings* settings) : m_host(host), m_settings(settings) {}

bool CPlaylist::Load(const std::string& path)
{
    if (m_modified && !m_path.empty())
        m_unsaved[m_path] = std::move(m_file);
    m_path = path;
    m_modified = false;
    auto edited = m_unsaved.find(path);
    if (edited != m_unsaved.end()) {
        m_file = std::move(edited->second);
        m_unsaved.erase(edited);
        m_modified = true;
    } else {
        ReadPlaylistFile(path, m_file); // leaves the empty defaults when it fails
    }
    m_selection = -1;
    if (m_windowExists)
        ResetSelection();
    Notify(PlaylistChange::Rows);
    return !m_file.entries.empty();
}

int32_t CPlaylist::TimeOf(int32_t code) const
{
    if (!m_windowExists)
        return 0;
    for (const PlaylistEntry& e : m_file.entries)
        if (e.code == code)
            return e.playTime;
    return 0;
}

void CPlaylist::PlaySelected()
{
    if (!m_windowExists || !ValidRow(m_selection))
        return;
    PlayRow(m_selection);
}

int CPlaylist::FindNext() const
{
    if (!m_windowExists || m_file.entries.empty())
        return -1;
    const bool skipSE = m_settings && m_settings->NoSEAutoPlay != 0;
    for (int i = m_selection + 1; i < int(m_file.entries.size()); ++i) {
        const PlaylistEntry& e = m_file.entries[std::size_t(i)];
        if (e.code >= 0 && !(skipSE && e.isSE == 1))
            return i;
    }
    return -1;
}

bool CPlaylist::HasNext() const
{
    return FindNext() >= 0;
}

void CPlaylist::PlayNext()
{
    const int row = FindNext();
    if (row < 0)
        return;
    Select(row);
    PlayRow(row);
}

void CPlaylist::PlayPrev()
{
    if (!m_windowExists || m_file.entries.empty())
        return;
    int i = m_selection - 1;
    while (i > 0 && m_file.entries[std::size_t(i)].code < 0)
        --i;
    if (i < 0)
        return;
    Select(i);
    PlayRow(i);
}

void CPlaylist::PlayRow(int row)
{
    const PlaylistEntry& e = m_file.entries[std::size_t(row)];
    if (e.code >= 0 && m_host)
        m_host->OnPlayCode(e.code, e.name);
}

void CPlaylist::SetWindowCreated(bool created)
{
    m_windowExists = created;
    m_selection = -1;
    if (created)
        ResetSelection();
    Notify(PlaylistChange::Rows);
}

void CPlaylist::Select(int row)
{
    if (row != -1 && !ValidRow(row))
        return;
    if (row == m_selection)
        return;
    m_selection = row;
    Notify(PlaylistChange::Selection);
}

void CPlaylist::ResetSelection()
{
    if (m_file.entries.empty()) {
        m_selection = -1;
        return;
    }
    m_selection = 0;
    for (std::size_t i = 0; i < m_file.entries.size(); ++i) {
        if (m_file.entries[i].code >= 0) {
            m_selection = int(i);
            break;
        }
    }
}

int CPlaylist::ChoosePreset(const CSettings& settings) const
{
    const std::string& wanted = m_file.eqPresetName;
    if (!wanted.empty()) {
        // ASCII letters compare without case; bytes of multi-byte
        // characters (all 0x80 and above in UTF-8) compare exactly.
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        for (int i = 0; i < CSettings::kPresetCount; ++i) {
            const std::string& name = settings.Equalizer[std::size_t(i)].Name;
            if (name.size() != wanted.size())
                continue;
            bool same = true;
            for (std::size_t k = 0; k < name.size() && same; ++k)
                same = lower(name[k]) == lower(wanted[k]);
            if (same)
                return i;
        }
    }
    return m_file.eqPresetIndex;
}

std::string CPlaylist::DisplayText(const PlaylistEntry& entry)
{
    if (entry.code < 0)
        return entry.name;
    char code[16];
    std::snprintf(code, sizeof code, "%03d", entry.code);
    return std::string(code) + "  " + entry.name;
}

int CPlaylist::AddListener(Listener listener)
{
    const int id = m_nextListenerId++;
    m_listeners.emplace_back(id, std::move(listener));
    return id;
}

void CPlaylist::RemoveListener(int id)
{
    std::erase_if(m_listeners, [id](const auto& l) { return l.first == id; });
}

void CPlaylist::Notify(PlaylistChange change)
{
    // A listener may remove itself; call a copy.
    const auto listeners = m_listeners;
    for (const auto& l : listeners)
        l.second(change);
}
