// CPlaylistWindow: the "Playlist" tool window. Shows the rows of the loaded
// ROM's CPlaylist, plays a row on double-click (or Enter) through the
// playlist, hides on Close or Esc, remembers its place in PlaylistPos.
//
// Below the list, a strip of 24 pixels holds the editing controls: add the
// code now playing as a row, rename, set a row's time from the elapsed play
// time, mark or unmark a sound effect, delete, move, and save the .lst.
//
// The main window creates it (Ctrl+P the first time, or at start-up when
// PlaylistVisible is on), shows and hides it, and tells it what is playing.
#pragma once

#include <QWidget>
#include <functional>

#include "player/Playlist.h"
#include "player/PlaylistColors.h"

class QLabel;
class QListView;
class QMenu;
class QSizeGrip;
class QToolButton;
class CPlaylistRows;
class CPlaylistRowDelegate;

// What the main window plays now, for the editing commands.
struct PlaylistNowPlaying {
    bool valid = false; // a code has been started since the ROM was loaded
    int32_t code = 0;
    int32_t elapsedMs = 0; // play time of that code so far
};

class CPlaylistWindow : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int kBottomStrip = 24;

    // `mainWindow` is the owner (the window stays above it, without a
    // taskbar button of its own); its frame size is this window's first and
    // smallest size.
    CPlaylistWindow(CPlaylist& model, QWidget* mainWindow);
    ~CPlaylistWindow() override;

    // The list colours a skin sets; systemDefaults takes the built-in ones.
    void SetColors(const PlaylistColors& colors);
    const PlaylistColors& Colors() const { return m_colors; }

    // Ctrl+P on an existing window: hides it when visible, else shows it.
    void Toggle();

    void SetNowPlayingSource(std::function<PlaylistNowPlaying()> source) { m_nowPlaying = std::move(source); }

    // Asks the user for a line of text; false when cancelled. Tests replace
    // the dialog.
    using TextPrompt = std::function<bool(const QString& label, QString& text)>;
    void SetTextPrompt(TextPrompt prompt) { m_prompt = std::move(prompt); }

    // The editing commands (also on the list's context menu and keys).
    void AddPlayingRow();         // Insert
    void RenameSelected();        // F2
    void SetTimeFromElapsed();    // Ctrl+T
    void ToggleSESelected();      // Ctrl+E
    void DeleteSelected();        // Delete
    void MoveSelected(int delta); // Ctrl+Up, Ctrl+Down
    void SaveList();              // Ctrl+S

    QListView* List() const { return m_list; }
    QString StatusText() const;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void BuildEditMenu();
    bool HandleKey(QKeyEvent* event);
    void OnModelChanged(PlaylistChange change);
    void ShowSelection();
    void ApplyPalette();
    void LayOut();
    void PlaceFromSettings(QWidget* mainWindow);
    void StoreGeometry();
    void ShowStatus(const QString& text, bool error = false);
    int SelectedRow() const;

    CPlaylist& m_model;
    CPlaylistRows* m_rows = nullptr;
    CPlaylistRowDelegate* m_delegate = nullptr;
    QListView* m_list = nullptr;
    QToolButton* m_editButton = nullptr;
    QToolButton* m_saveButton = nullptr;
    QLabel* m_status = nullptr;
    QSizeGrip* m_grip = nullptr;
    QMenu* m_editMenu = nullptr;
    PlaylistColors m_colors;
    int m_listenerId = 0;
    bool m_placed = false;  // geometry is stored only once the window was placed
    bool m_syncing = false; // selection being copied from the model to the view
    std::function<PlaylistNowPlaying()> m_nowPlaying;
    TextPrompt m_prompt;
};
