// CPlayerExtras: what the main window gets besides its own parts: the
// graphic equalizer dialog (Ctrl+G and the menu toggle it; a ROM load
// refreshes it), the options dialog ("&Option"; a new device or rate
// re-creates the output, a new WAV folder reaches the recorder) and the
// desktop media controls (MPRIS), which command the window's transport;
// and docking of the main window, the playlist and the equalizer dialog.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "player/MediaTransport.h"

class CDirectSound;
class CDockManager;
class CEmuThread;
class CEqualizerDialog;
class CMainWindow;
class CMprisService;
class COptionsDialog;

class CPlayerExtras : public QObject, private IMediaTransport {
    Q_OBJECT
public:
    CPlayerExtras(CMainWindow& window, CEmuThread& thread, CDirectSound& device, std::string programFolder);
    ~CPlayerExtras() override;

    // Puts the player on the session bus; false when there is none.
    bool StartMediaControls();

    CEqualizerDialog* EqualizerDialog() const { return m_equalizer; }
    CDockManager* DockManager() const { return m_dock; }
    // Runs the options dialog; `prepare` (tests) sees it before it opens.
    void RunOptions();
    void SetOptionsPreparer(std::function<void(COptionsDialog&)> prepare) { m_prepareOptions = std::move(prepare); }
    IMediaTransport& Media() { return *this; }

private:
    void ToggleEqualizer();

    // IMediaTransport over the main window.
    void MediaPlay() override;
    void MediaPause() override;
    void MediaStop() override;
    void MediaNext() override;
    void MediaPrevious() override;
    void MediaRaise() override;
    bool MediaHasRom() const override;
    State MediaState() const override;
    int32_t MediaCode() const override;
    std::string MediaRowName() const override;
    std::string MediaRomTitle() const override;
    int64_t MediaPositionMs() const override;
    int32_t MediaVolume() const override;
    void MediaSetVolume(int32_t position) override;

    CMainWindow& m_window;
    CEmuThread& m_thread;
    CDirectSound& m_device;
    std::string m_programFolder;
    CEqualizerDialog* m_equalizer = nullptr;  // owned by the main window
    CDockManager* m_dock;
    std::unique_ptr<CMprisService> m_mpris;
    std::function<void(COptionsDialog&)> m_prepareOptions;
};
