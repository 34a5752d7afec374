// CMainWindow: the skinned player window. Shows the loaded ROM's name, type,
// maker and hardware, the seven-digit code and time display, the level
// meter, the transport buttons, the Autoplay toggle and the volume slider;
// turns clicks, keys and menu choices into transport commands (CTransport)
// and render-thread commands; loads ROMs for the Load ROM dialog, autoplay,
// a dropped file or the command line.
//
// Everything is drawn into a 352 x 192 back buffer from the skin's images,
// and copied to the window at paint time with the buttons on top (at twice
// the size, pixel for pixel, with "Double size").
#pragma once

#include <QImage>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/DirectSound.h"
#include "machine/RomDatabase.h"
#include "player/PlayerHost.h"
#include "player/RenderControl.h"
#include "player/Playlist.h"
#include "player/RomList.h"
#include "player/Skin.h"
#include "player/TransportPlaylist.h"
#include "player/Transport.h"
#include "ui/SkinButton.h"
#include "ui/SkinImages.h"

class CDockManager;
class CEmuThread;
class CLoadRomDialog;
class CPlaylistWindow;
class QMenu;
class QSlider;
class QTimer;

class CMainWindow : public QWidget, public IPlayerHost, private ITransportHost {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 352;
    static constexpr int kClientHeight = 192;
    static constexpr int kTimerMs = 16;

    CMainWindow(CEmuThread& thread, CDirectSound& device, std::string programFolder);
    ~CMainWindow() override;

    // The window's creation: opens the output device (false, with the
    // device's message shown, when it cannot), builds buttons, menu, back
    // buffer and skin, places the window and starts the timer. With
    // `startupPlay` a Play command is posted, so autoplay picks a ROM.
    bool Create(bool startupPlay = true);

    // IPlayerHost.
    void OnLoadROM(const std::string& path, const RomEntry& entry) override;
    void OnPlayCode(int32_t code, const std::string& name) override;
    void OnApplyEqPreset() override;

    // Identifies a ROM file and loads it (a dropped file, the command line).
    // An unidentified file shows why and changes nothing.
    bool LoadRomFile(const std::string& path);
    // Plays `code` of the loaded ROM (the command line's code).
    void PlayCodeAt(int32_t code);

    // Runs a window command now (button, key, menu).
    void RunCommand(int32_t id);
    // Runs it once the current event is handled.
    void PostWindowCommand(int32_t id) override;

    // After the options dialog chose another device or rate: stop, re-create
    // the output device with them and rebuild the render buffers. The ROM
    // stays loaded. False when the device could not be opened.
    bool ApplyOutputChange(const DeviceGuid& guid, int samplingRate);

    // The equalizer dialog (Ctrl+G, menu) and the options dialog are shown
    // by whoever owns them: these run on their commands. The refresh runs
    // after a ROM load has chosen its preset.
    void SetEqualizerToggle(std::function<void()> toggle) { m_equalizerToggle = std::move(toggle); }
    void SetEqualizerRefresh(std::function<void()> refresh) { m_equalizerRefresh = std::move(refresh); }
    void SetOptionsRunner(std::function<void()> run) { m_optionsRunner = std::move(run); }
    // Docking: with a manager that docks, the body drag moves the window
    // through it instead of leaving the move to the window system.
    void SetDockManager(CDockManager* dock) { m_dock = dock; }

    // "Double size": the whole window and its hit areas at 2x.
    void SetDoubleSize(bool on);
    bool DoubleSize() const { return m_scale == 2; }

    // What is shown, for tests and the screenshot hook.
    const CTransport& Transport() const { return m_transport; }
    // The database row of the running ROM, if one runs.
    const std::optional<RomEntry>& LoadedRom() const { return m_romEntry; }
    CRomList& RomList() { return *m_romList; }
    CPlaylist& Playlist() { return m_playlist; }
    // The playlist window and the Load ROM dialog once created (else null).
    CPlaylistWindow* PlaylistWindow() const { return m_playlistWindow.get(); }
    CLoadRomDialog* LoadRomDialog() const { return m_loadDialog.get(); }
    // The skin in use: its menu id (33000 built-in, 33001 + position of a
    // found skin) and what it draws with.
    int32_t SkinId() const { return m_skinId; }
    const std::vector<CSkin>& Skins() const { return m_skins; }
    const CSkin& CurrentSkin() const { return m_skin; }
    const SkinButton* Button(int32_t id) const;
    QSlider* VolumeSlider() const { return m_volume; }
    QMenu* PopupMenu() const { return m_menu; }
    // The frame as painted (back buffer and buttons) at normal size.
    QImage Frame() const;
    // One timer tick, as the 16 ms timer runs it.
    void Tick();
    // Closes without the question about unsaved playlist edits (the program
    // was told to end by a signal, with nobody to answer).
    void CloseWithoutAsking();

signals:
    // The window was closed (Exit, caption close, a signal); the event loop
    // should end.
    void Closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Asks whether to save playlist edits before closing; false when the
    // window is to stay open (cancelled, or a file could not be saved).
    bool ConfirmUnsavedPlaylists();
    // ITransportHost.
    void PickRandomRom() override;

    // Creation.
    void CreateButtons();
    void CreateShortcuts();
    void CreateMenu();
    // Applies skin menu command `id`; `remember` stores its name in SkinName.
    void ApplySkin(int32_t id, bool remember = true);
    void CreateAutoplayButton();
    void PlaceWindow();
    void StoreWindowRect();
    void UpdateGeometry();

    // Drawing into the back buffer.
    void DrawAll();
    void DrawBackground();
    void DrawInfo();
    void DrawDigits();
    void DrawMeter();
    void DrawText(const QRect& rect, const QString& text);
    void RepaintClient(const QRect& clientRect);

    // Buttons and mouse.
    SkinButton* ButtonAt(const QPoint& clientPos);
    SkinButton* FindButton(int32_t id);
    void SetMouseState(SkinButton* target, uint32_t mouse);
    QPoint ToClient(const QPoint& widgetPos) const;
    void EnableTransport(bool on);
    // Show/hide/create of the two modeless windows; ShowPlaylistWindow
    // creates it if needed and shows it.
    void TogglePlaylistWindow();
    void ShowPlaylistWindow();
    void ToggleLoadRomDialog();

    // Commands with window-side effects.
    void ToggleRecord();
    void ToggleAutoPlay();
    void ShowAbout();
    void OnVolumeChanged(int position);

    CEmuThread& m_thread;
    CDirectSound& m_device;
    std::string m_programFolder;
    CEmuThreadControl m_render;
    CTransport m_transport;
    std::optional<RomEntry> m_romEntry;
    std::unique_ptr<CRomList> m_romList;
    CPlaylist m_playlist;
    CTransportPlaylist m_transportPlaylist{m_playlist};
    std::unique_ptr<CPlaylistWindow> m_playlistWindow;
    std::unique_ptr<CLoadRomDialog> m_loadDialog;

    // Skin in use.
    std::vector<CSkin> m_skins;
    int32_t m_skinId = CmdIdSkinFirst;
    CSkin m_skin;
    QColor m_fontColor = Qt::white;
    SkinImages m_images;
    QFont m_font;

    QImage m_back;  // 352 x 192, RGB32
    DigitCells m_shownCells{};              // as last drawn
    std::array<int32_t, 4> m_shownMeter{};  // bars and peaks as last drawn
    std::vector<SkinButton> m_buttons;
    QSlider* m_volume = nullptr;
    QTimer* m_timer = nullptr;
    QMenu* m_menu = nullptr;
    QMenu* m_skinMenu = nullptr;
    int m_scale = 1;
    bool m_created = false;
    bool m_closeWithoutAsking = false;
    bool m_leftDown = false;
    CDockManager* m_dock = nullptr;
    bool m_bodyDrag = false;  // the dock manager moves the window

    std::function<void()> m_equalizerToggle;
    std::function<void()> m_equalizerRefresh;
    std::function<void()> m_optionsRunner;
};
