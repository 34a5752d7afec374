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
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/DirectSound.h"
#include "machine/RomDatabase.h"
#include "player/PlayerHost.h"
#include "player/RenderControl.h"
#include "player/RomList.h"
#include "player/Transport.h"
#include "ui/SkinButton.h"

class CEmuThread;
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
    // by whoever owns them: these run on their commands.
    void SetEqualizerToggle(std::function<void()> toggle) { m_equalizerToggle = std::move(toggle); }
    void SetOptionsRunner(std::function<void()> run) { m_optionsRunner = std::move(run); }

    // "Double size": the whole window and its hit areas at 2x.
    void SetDoubleSize(bool on);
    bool DoubleSize() const { return m_scale == 2; }

    // What is shown, for tests and the screenshot hook.
    const CTransport& Transport() const { return m_transport; }
    CRomList& RomList() { return *m_romList; }
    const SkinButton* Button(int32_t id) const;
    QSlider* VolumeSlider() const { return m_volume; }
    // The frame as painted (back buffer and buttons) at normal size.
    QImage Frame() const;
    // One timer tick, as the 16 ms timer runs it.
    void Tick();

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
    // ITransportHost.
    void PickRandomRom() override;

    // Creation.
    void CreateButtons();
    void CreateShortcuts();
    void CreateMenu();
    void LoadBuiltinImages();
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

    // Skin in use.
    int32_t m_skinId = CmdIdSkinFirst;
    QColor m_fontColor = Qt::white;
    int32_t m_digitWidth = 16;
    int32_t m_digitStep = 17;
    int32_t m_digitBlend = 0;
    QImage m_background;  // 352 x 160
    QImage m_digits;      // 16 cells of m_digitWidth x 22
    QImage m_gauge;       // 60 x 136
    QFont m_font;

    QImage m_back;  // 352 x 192, RGB32
    std::vector<SkinButton> m_buttons;
    QSlider* m_volume = nullptr;
    QTimer* m_timer = nullptr;
    QMenu* m_menu = nullptr;
    QMenu* m_skinMenu = nullptr;
    int m_scale = 1;
    bool m_created = false;
    bool m_leftDown = false;

    std::function<void()> m_equalizerToggle;
    std::function<void()> m_optionsRunner;
};
