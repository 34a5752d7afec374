// The equalizer and options dialogs and the media controls, attached to
// the main window.
#include "ui/PlayerExtras.h"

#include <QSlider>

#include "app/Settings.h"
#include "audio/EmuThread.h"
#include "ui/DockManager.h"
#include "ui/EqualizerDialog.h"
#include "ui/MainWindow.h"
#include "ui/MprisService.h"
#include "ui/OptionsDialog.h"

CPlayerExtras::CPlayerExtras(CMainWindow& window, CEmuThread& thread, CDirectSound& device,
                             std::string programFolder)
    : QObject(&window), m_window(window), m_thread(thread), m_device(device),
      m_programFolder(std::move(programFolder)), m_dock(new CDockManager(this))
{
    m_dock->RegisterMain(&window);
    window.SetDockManager(m_dock);
    window.SetEqualizerToggle([this] { ToggleEqualizer(); });
    window.SetEqualizerRefresh([this] {
        if (m_equalizer)
            m_equalizer->Refresh();
    });
    window.SetOptionsRunner([this] { RunOptions(); });
}

CPlayerExtras::~CPlayerExtras() = default;

bool CPlayerExtras::StartMediaControls()
{
    if (!m_mpris)
        m_mpris = std::make_unique<CMprisService>(Media());
    return m_mpris->Start();
}

void CPlayerExtras::ToggleEqualizer()
{
    if (!m_equalizer) {
        // Owned by the main window, which destroys it when it closes.
        m_equalizer = new CEqualizerDialog(m_window, &m_window);
        int rate = 0, bits = 0;
        m_device.GetFormat(rate, bits);
        m_equalizer->SetSampleRate(rate);
        m_equalizer->show();
        return;
    }
    m_equalizer->setVisible(!m_equalizer->isVisible());
}

void CPlayerExtras::RunOptions()
{
    COptionsDialog dialog(m_device.GetDevices(), m_programFolder, &m_window);
    if (m_prepareOptions)
        m_prepareOptions(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The recorder reads its folder only while handling a command, and only
    // this thread posts them: once the last one is done the folder may change.
    if (m_thread.IsRunning())
        m_thread.WaitCommand();
    m_thread.SetWaveFolder(g_Settings.WavePath, m_programFolder);
    m_window.ApplyOutputChange(dialog.ChosenDevice(), dialog.ChosenRate());
    if (m_equalizer)
        m_equalizer->SetSampleRate(g_Settings.SamplingRate);
}

// ---------------------------------------------------------------- media

void CPlayerExtras::MediaPlay()
{
    m_window.RunCommand(m_window.Transport().State() == TransportState::Paused ? CmdIdPause : CmdIdPlay);
}

void CPlayerExtras::MediaPause()
{
    if (m_window.Transport().State() == TransportState::Playing)
        m_window.RunCommand(CmdIdPause);
}

void CPlayerExtras::MediaStop() { m_window.RunCommand(CmdIdStop); }
void CPlayerExtras::MediaNext() { m_window.RunCommand(CmdIdNext); }
void CPlayerExtras::MediaPrevious() { m_window.RunCommand(CmdIdPrev); }

void CPlayerExtras::MediaRaise()
{
    m_window.show();
    m_window.raise();
    m_window.activateWindow();
}

bool CPlayerExtras::MediaHasRom() const { return m_window.Transport().RomRunning(); }

IMediaTransport::State CPlayerExtras::MediaState() const
{
    switch (m_window.Transport().State()) {
    case TransportState::Playing:
        return State::Playing;
    case TransportState::Paused:
        return State::Paused;
    default:
        return State::Stopped;
    }
}

int32_t CPlayerExtras::MediaCode() const { return m_window.Transport().CurrentCode(); }

std::string CPlayerExtras::MediaRowName() const
{
    // The title line is the row's name after a note sign.
    static const std::string kNote = "\u266A";
    std::string title = m_window.Transport().Title();
    if (title.rfind(kNote, 0) == 0)
        title.erase(0, kNote.size());
    return title;
}

std::string CPlayerExtras::MediaRomTitle() const
{
    const auto& rom = m_window.LoadedRom();
    return rom && rom->title ? std::string(rom->title) : std::string();
}

int64_t CPlayerExtras::MediaPositionMs() const { return m_thread.GetPlayTime(); }

int32_t CPlayerExtras::MediaVolume() const
{
    return m_window.VolumeSlider() ? m_window.VolumeSlider()->value() : g_Settings.MasterVolume;
}

void CPlayerExtras::MediaSetVolume(int32_t position)
{
    if (m_window.VolumeSlider())
        m_window.VolumeSlider()->setValue(position);  // the slider sets the master volume
}
