// CPlaylist: the playlist of the loaded ROM. Reads it from the ROM's .lst
// file, says which row is selected, steps through it (Play, Next, Prev) by
// asking the main window to play a row, and gives the file's volume gain
// and equalizer preset. The rows can also be edited and saved back.
//
// The playlist window is a view of this model: it tells the model when it
// is created and destroyed (some rules depend on whether it ever existed)
// and listens for changes to redraw.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "player/PlayerHost.h"
#include "player/PlaylistFile.h"

enum class PlaylistChange {
    Rows,      // rows replaced, added, removed, reordered or edited
    Selection, // only the selected row moved
};

struct PlaylistSaveResult {
    bool ok = false;
    std::string message; // for the user: what was written where, or why not
};

class CPlaylist
{
  public:
    // `host` receives OnPlayCode; `settings` gives NoSEAutoPlay.
    explicit CPlaylist(IPlayerHost* host = nullptr, const CSettings* settings = &g_Settings);

    void SetHost(IPlayerHost* host) { m_host = host; }
    void SetSettings(const CSettings* settings) { m_settings = settings; }

    // Empties the playlist (gain 100, preset 1, no preset name), then reads
    // `path`. True when at least one row was read. Directives of a file
    // without rows still apply. Afterwards, when the window exists, the
    // selection is set as after filling the list.
    //
    // Unsaved edits are not thrown away: they are put aside when another
    // list is loaded and come back (still unsaved) when their list is
    // loaded again during this run.
    bool Load(const std::string& path);

    // Play time (tenths) of the first row with `code`; 0 when there is none,
    // the list is empty or the window was never created.
    int32_t TimeOf(int32_t code) const;
    // Plays the selected row when it is playable.
    void PlaySelected();
    // The next playable row after the selection (SE rows skipped when
    // NoSEAutoPlay is on) exists.
    bool HasNext() const;
    // Selects and plays that row; nothing when there is none.
    void PlayNext();
    // Selects the previous row, stepping back over captions but never to
    // before row 0 (which is selected even as a caption); plays it when
    // playable. Never skips SE rows.
    void PlayPrev();

    void SetWindowCreated(bool created);
    bool WindowExists() const { return m_windowExists; }

    // -1 when nothing is selected (always so while the window does not exist).
    int Selection() const { return m_selection; }
    // Selects `row` (-1 for none); rows out of range are ignored.
    void Select(int row);

    const std::vector<PlaylistEntry>& Entries() const { return m_file.entries; }
    int32_t VolumeGain() const { return m_file.volumeGain; }
    int32_t EqPresetIndex() const { return m_file.eqPresetIndex; }
    const std::string& EqPresetName() const { return m_file.eqPresetName; }
    // The file last loaded (also when it was missing): where Save writes.
    const std::string& Path() const { return m_path; }

    // The equalizer preset (0..15) this list asks for: the first preset
    // whose name equals the list's preset name ignoring case, else the
    // list's preset number, else preset 1.
    int ChoosePreset(const CSettings& settings) const;

    // Text shown for a row: "%03d  %s" for playable rows, the name alone
    // for captions.
    static std::string DisplayText(const PlaylistEntry& entry);

    // Change listeners, called after every change on the caller's thread.
    using Listener = std::function<void(PlaylistChange)>;
    int AddListener(Listener listener);
    void RemoveListener(int id);

    // ---- Editing (the rows only; directives and comments are kept as read).
    // Inserts `entry` after row `after` (-1: at the top), selects it and
    // returns its row.
    int InsertRow(int after, PlaylistEntry entry);
    bool RenameRow(int row, const std::string& name);
    bool SetRowTime(int row, int32_t tenths);
    // Adds " [SE]" to the name, or removes every "[SE]" from it.
    bool ToggleSE(int row);
    bool DeleteRow(int row);
    // Moves row `row` one place up (delta -1) or down (+1); the selection
    // follows it.
    bool MoveRow(int row, int delta);
    bool IsModified() const { return m_modified; }
    // Writes the list to Path(): UTF-8 with a byte-order mark unless the
    // file was CP932 (and its text still fits CP932).
    PlaylistSaveResult Save();
    // The playlist files with edits not yet saved: the current one and
    // those put aside when another ROM was loaded, in that order.
    std::vector<std::string> UnsavedFiles() const;
    // Saves every file UnsavedFiles names. A file that cannot be written
    // keeps its edits; the message then says why, one line per file.
    PlaylistSaveResult SaveAll();

  private:
    void ResetSelection();
    void Notify(PlaylistChange change);
    bool ValidRow(int row) const { return row >= 0 && row < int(m_file.entries.size()); }
    int FindNext() const;
    void PlayRow(int row);
    void RowsEdited();

    IPlayerHost* m_host;
    const CSettings* m_settings;
    PlaylistFileData m_file;
    std::string m_path;
    int m_selection = -1;
    bool m_windowExists = false;
    bool m_modified = false;
    std::map<std::string, PlaylistFileData> m_unsaved; // put-aside edits by path
    std::vector<std::pair<int, Listener>> m_listeners;
    int m_nextListenerId = 1;
};
