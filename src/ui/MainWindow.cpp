// CMainWindow: creation, commands, ROM loading and closing.
#include "ui/MainWindow.h"

#include <QCloseEvent>
#include <QMenu>
#include <QMessageBox>
#include <QSlider>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/DebugLog.h"
#include "app/Settings.h"
#include "audio/EmuThread.h"
#include "machine/RomIdentify.h"
#include "player/PlaylistPath.h"
#include "ui/AboutBox.h"
#include "ui/LoadRomDialog.h"
#include "ui/PlaylistWindow.h"
#include "ui/Resources.h"
#include "ui/ScreenAreas.h"
#include "ui/UiFont.h"
#include "ui/UserMessage.h"

namespace {

constexpr int kMinSamplingRate = 8000;
constexpr int kMaxSamplingRate = 192000;

uint32_t NowMs()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

CMainWindow::CMainWindow(CEmuThread& thread, CDirectSound& device, std::string programFolder)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_thread(thread), m_device(device), m_programFolder(std::move(programFolder)), m_render(thread),
      m_transport(m_render, g_Settings, *this), m_romList(std::make_unique<CRomList>()),
      m_playlist(this, &g_Settings)
{
    m_transport.SetPlaylist(&m_transportPlaylist);
    setWindowTitle(QStringLiteral("Kelvara"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setAcceptDrops(true);
}

// The parts go in this order: the playlist window, then the ROM list with
// its dialog (the list saves its cache).
CMainWindow::~CMainWindow()
{
    m_playlistWindow.reset();
    m_loadDialog.reset();
    m_romList.reset();
}

bool CMainWindow::Create(bool startupPlay)
{
    m_romList->SetProgramFolder(m_programFolder);
    m_romList->Initialise();
    setWindowIcon(QIcon(ArtPath("kelvara.png")));
    m_scale = 1;
    setFixedSize(kClientWidth, kClientHeight);

    // The output device: the window is not created without one. A saved
    // device that is gone (unplugged) or a rate no device plays falls back
    // to the default device and 44100 Hz instead of ending the program.
    DeviceGuid guid = ToDeviceGuid(g_Settings.DeviceGUID);
    const auto& devices = m_device.GetDevices();
    if (!IsZeroGuid(guid) &&
        std::none_of(devices.begin(), devices.end(), [&](const DeviceInfo& d) { return d.guid == guid; })) {
        Log("The saved output device is not present; using the default device.\n");
        guid = DeviceGuid{};
        g_Settings.DeviceGUID = ToSettingsGuid(guid);
    }
    if (g_Settings.SamplingRate < kMinSamplingRate || g_Settings.SamplingRate > kMaxSamplingRate) {
        Log("Sampling rate %d is out of range; using 44100.\n", g_Settings.SamplingRate);
        g_Settings.SamplingRate = 44100;
    }
    m_device.SetFormat(g_Settings.SamplingRate, 16);
    if (!m_device.Create(this, &guid) || !m_device.CreateBuffer())
        return false;

    m_skins = FindSkins(m_programFolder);
    CreateMenu();
    CreateButtons();
    CreateShortcuts();
    m_volume = new QSlider(Qt::Horizontal, this);
    m_volume->setRange(0, CSettings::kMaxVolume);
    m_volume->setPageStep(5);
    m_volume->setSingleStep(1);
    m_volume->setTickPosition(QSlider::NoTicks);
    m_volume->setFocusPolicy(Qt::NoFocus);
    m_volume->setValue(g_Settings.MasterVolume);
    connect(m_volume, &QSlider::valueChanged, this, &CMainWindow::OnVolumeChanged);
    m_thread.SetMasterVolume(g_Settings.MasterVolume);
    OnApplyEqPreset();

    EnableTransport(false);
    FindButton(CmdIdAutoPlay)->SetOn(m_transport.AutoPlay());

    m_back = QImage(kClientWidth, kClientHeight, QImage::Format_RGB32);
    m_font = KelvaraUiFont();
    ApplySkin(CmdIdSkinFirst, false);  // the saved skin follows once the window runs
    SetDoubleSize(g_Settings.DoubleSize != 0);
    PlaceWindow();

    if (g_Settings.PlaylistVisible)
        ShowPlaylistWindow();

    m_timer = new QTimer(this);
    m_timer->setInterval(kTimerMs);
    connect(m_timer, &QTimer::timeout, this, &CMainWindow::Tick);
    m_timer->start();
    m_created = true;
    if (CompareNamesNoCase(g_Settings.SkinName, kBuiltinSkinName) != 0) {
        if (auto index = FindSkinByName(m_skins, g_Settings.SkinName))
            PostWindowCommand(CmdIdSkinFirst + 1 + int32_t(*index));
    }
    if (startupPlay)
        PostWindowCommand(CmdIdPlay);
    return true;
}

void CMainWindow::PlaceWindow()
{
    const SettingsRect& saved = g_Settings.WindowPos;
    if (IsRectVisibleOnScreens(saved, ScreenAreas(false)))
        move(saved.left, saved.top);
    const QRect frame = frameGeometry();
    g_Settings.WindowPos = {frame.left(), frame.top(), frame.left() + frame.width(), frame.top() + frame.height()};
}

void CMainWindow::StoreWindowRect()
{
    if (!m_created)
        return;
    const QRect frame = frameGeometry();
    g_Settings.WindowPos = {frame.left(), frame.top(), frame.left() + frame.width(), frame.top() + frame.height()};
}

void CMainWindow::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (isVisible())
        StoreWindowRect();
}

bool CMainWindow::ConfirmUnsavedPlaylists()
{
    const std::vector<std::string> files = m_playlist.UnsavedFiles();
    if (files.empty() || m_closeWithoutAsking)
        return true;
    QString text = tr("Save the changes to these playlists before closing?") + QStringLiteral("\n");
    for (const std::string& file : files)
        text += QStringLiteral("\n") + QString::fromStdString(std::filesystem::path(file).filename().string());
    QMessageBox box(QMessageBox::Question, QStringLiteral("Kelvara"), text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Save);
    const int answer = box.exec();
    if (m_closeWithoutAsking || answer == QMessageBox::Discard)
        return true;
    if (answer != QMessageBox::Save)
        return false;
    const PlaylistSaveResult saved = m_playlist.SaveAll();
    if (!saved.ok)
        ShowUserMessage(this, QStringLiteral("Error"), QString::fromStdString(saved.message));
    return saved.ok;  // on failure the window stays open and the edits stay
}

void CMainWindow::CloseWithoutAsking()
{
    m_closeWithoutAsking = true;
    close();
}

void CMainWindow::closeEvent(QCloseEvent* event)
{
    if (!ConfirmUnsavedPlaylists()) {
        event->ignore();
        return;
    }
    StoreWindowRect();
    if (m_playlistWindow) {
        g_Settings.PlaylistVisible = m_playlistWindow->isVisible() ? 1 : 0;
        m_playlistWindow.reset();  // stores PlaylistPos
    }
    if (m_timer)
        m_timer->stop();
    event->accept();
    emit Closed();
}

void CMainWindow::SetDoubleSize(bool on)
{
    m_scale = on ? 2 : 1;
    g_Settings.DoubleSize = on ? 1 : 0;
    UpdateGeometry();
}

void CMainWindow::UpdateGeometry()
{
    setFixedSize(kClientWidth * m_scale, kClientHeight * m_scale);
    if (m_volume)
        m_volume->setGeometry(288 * m_scale, 167 * m_scale, 56 * m_scale, 20 * m_scale);
    update();
}

void CMainWindow::EnableTransport(bool on)
{
    for (int32_t id : {CmdIdRecord, CmdIdPlay, CmdIdPause, CmdIdStop, CmdIdNext, CmdIdPrev}) {
        SkinButton* b = FindButton(id);
        b->SetEnabled(on);
        RepaintClient(b->rect);
    }
}

// ---------------------------------------------------------------- commands

void CMainWindow::PostWindowCommand(int32_t id)
{
    QMetaObject::invokeMethod(this, [this, id] { RunCommand(id); }, Qt::QueuedConnection);
}

void CMainWindow::RunCommand(int32_t id)
{
    switch (id) {
    case CmdIdPlay:
        m_transport.Play();
        break;
    case CmdIdPause:
        m_transport.Pause(NowMs());
        break;
    case CmdIdStop:
        m_transport.Stop();
        break;
    case CmdIdNext:
        m_transport.Next();
        break;
    case CmdIdPrev:
        m_transport.Prev();
        break;
    case CmdIdStepUp:
        m_transport.Step(+1);
        break;
    case CmdIdStepDown:
        m_transport.Step(-1);
        break;
    case CmdIdRecord:
        ToggleRecord();
        break;
    case CmdIdAutoPlay:
        ToggleAutoPlay();
        break;
    case CmdIdLoadRom:
        ToggleLoadRomDialog();
        break;
    case CmdIdPlaylist:
        TogglePlaylistWindow();
        break;
    case CmdIdEqualizer:
        if (m_equalizerToggle)
            m_equalizerToggle();
        break;
    case CmdIdOption:
        if (m_optionsRunner)
            m_optionsRunner();
        break;
    case CmdIdAbout:
        ShowAbout();
        break;
    case CmdIdExit:
        close();
        return;
    default:
        if (id >= CmdIdSkinFirst && id <= CmdIdSkinFirst + 99)
            ApplySkin(id);
        break;
    }
    DrawDigits();
    DrawMeter();
    update();
}

void CMainWindow::ToggleRecord()
{
    const bool on = m_transport.ToggleRecord();
    SkinButton* b = FindButton(CmdIdRecord);
    b->SetOn(on);
    RepaintClient(b->rect);
}

void CMainWindow::ToggleAutoPlay()
{
    const bool on = m_transport.ToggleAutoPlay();
    SkinButton* b = FindButton(CmdIdAutoPlay);
    b->SetOn(on);
    RepaintClient(b->rect);
}

void CMainWindow::OnVolumeChanged(int position)
{
    g_Settings.MasterVolume = position;
    m_thread.SetMasterVolume(position);
}

void CMainWindow::ShowAbout()
{
    CAboutBox box(this);
    box.exec();
}

void CMainWindow::Tick()
{
    if (!m_thread.IsRunning())
        return;
    m_transport.Tick(NowMs());
    // Only what changed is drawn and repainted (most ticks change the meter
    // alone, a silent or paused sound often nothing).
    const DigitCells cells = m_transport.Digits();
    if (cells != m_shownCells) {
        DrawDigits();
        RepaintClient(QRect(54, 12, 8 * m_skin.digitStep + m_skin.digitWidth, 22));
    }
    const CLevelMeter& meter = m_transport.Meter();
    const std::array<int32_t, 4> levels = {meter.Bar(0), meter.Bar(1), meter.Peak(0), meter.Peak(1)};
    if (levels != m_shownMeter) {
        DrawMeter();
        RepaintClient(QRect(12, 12, 24, 136));
    }
}

void CMainWindow::ShowPlaylistWindow()
{
    if (!m_playlistWindow) {
        m_playlistWindow = std::make_unique<CPlaylistWindow>(m_playlist, this);
        m_playlistWindow->SetColors(m_skin.listColors);
        m_playlistWindow->SetNowPlayingSource([this] {
            PlaylistNowPlaying now;
            now.valid = m_thread.IsRunning() && m_transport.CodeStarted();
            now.code = m_transport.CurrentCode();
            now.elapsedMs = int32_t(m_transport.State() == TransportState::Playing ? m_thread.GetPlayTime()
                                                                                    : m_transport.ElapsedMs());
            return now;
        });
    }
    m_playlistWindow->show();
}

void CMainWindow::TogglePlaylistWindow()
{
    if (!m_playlistWindow)
        ShowPlaylistWindow();
    else
        m_playlistWindow->Toggle();
}

void CMainWindow::ToggleLoadRomDialog()
{
    if (!m_loadDialog) {
        m_loadDialog = std::make_unique<CLoadRomDialog>(*m_romList, *this, this);
        m_loadDialog->show();
    } else {
        m_loadDialog->ToggleVisible();
    }
}

// ---------------------------------------------------------------- loading

void CMainWindow::OnLoadROM(const std::string& path, const RomEntry& entry)
{
    Log("OnLoadROM\n");
    const std::string listPath = PlaylistPathFor(m_programFolder, entry);
    m_transport.BeginLoad();
    if (!m_thread.Start(path)) {
        m_romEntry.reset();
        DrawAll();
        update();
        return;
    }
    EnableTransport(true);
    FindButton(CmdIdRecord)->SetOn(false);
    m_transport.RomStarted();
    m_romEntry = entry;
    DrawAll();
    update();

    const bool hasRows = m_playlist.Load(listPath);
    m_transport.SetPlaylistMode(hasRows);
    if (hasRows)
        ShowPlaylistWindow();

    m_thread.WaitCommand();
    m_thread.PostCommand(CEmuThread::CmdSetGain, m_playlist.VolumeGain());
    m_thread.WaitCommand();

    g_Settings.CurrentPreset = m_playlist.ChoosePreset(g_Settings);
    OnApplyEqPreset();
    if (m_equalizerRefresh)
        m_equalizerRefresh();

    if (m_transport.AutoPlay())
        PostWindowCommand(CmdIdPlay);
}

bool CMainWindow::LoadRomFile(const std::string& path)
{
    std::vector<uint8_t> area(kRomAreaSize);
    RomEntry entry{};
    const MachineDef* def = nullptr;
    std::string error;
    if (!IdentifyRomFile(path.c_str(), area.data(), entry, def, error)) {
        ShowUserMessage(this, QStringLiteral("Error"), QString::fromStdString(error));
        return false;
    }
    OnLoadROM(path, entry);
    return m_thread.IsRunning();
}

void CMainWindow::PlayCodeAt(int32_t code)
{
    if (!m_thread.IsRunning())
        return;
    // A row of the shown playlist with this code plays as if chosen there
    // (its name becomes the title); any other code plays bare.
    const auto& rows = m_playlist.Entries();
    const auto row = std::find_if(rows.begin(), rows.end(), [&](const PlaylistEntry& e) { return e.code == code; });
    if (m_playlist.WindowExists() && row != rows.end()) {
        m_playlist.Select(int(row - rows.begin()));
        m_playlist.PlaySelected();
    } else {
        m_transport.PlayAt(code);
    }
    DrawDigits();
    update();
}

void CMainWindow::OnPlayCode(int32_t code, const std::string& name)
{
    if (!m_thread.IsRunning())
        return;
    m_transport.PlayCode(code, name);
    DrawInfo();
    DrawDigits();
    update();
}

void CMainWindow::OnApplyEqPreset()
{
    const int preset = std::clamp(g_Settings.CurrentPreset, 0, CSettings::kPresetCount - 1);
    m_thread.SetEqualizerGains(CSettings::kBandCount, g_Settings.Equalizer[preset].Gain.data());
}

void CMainWindow::PickRandomRom() { m_romList->PickRandom(*this); }

bool CMainWindow::ApplyOutputChange(const DeviceGuid& guid, int samplingRate)
{
    const DeviceGuid oldGuid = ToDeviceGuid(g_Settings.DeviceGUID);
    const int oldRate = g_Settings.SamplingRate;
    if (guid == oldGuid && samplingRate == oldRate)
        return true;
    m_transport.StopForDeviceChange();
    FindButton(CmdIdRecord)->SetOn(false);
    DrawDigits();
    DrawMeter();
    repaint();
    std::this_thread::sleep_for(std::chrono::milliseconds(3));

    const auto open = [this](const DeviceGuid& g, int rate) {
        m_device.Release();
        m_device.SetFormat(rate, 16);
        return m_device.Create(this, &g) && m_device.CreateBuffer();
    };
    bool ok = open(guid, samplingRate);
    if (ok) {
        g_Settings.DeviceGUID = ToSettingsGuid(guid);
        g_Settings.SamplingRate = samplingRate;
    } else if (!open(oldGuid, oldRate)) {
        Log("The previous output device could not be opened again either.\n");
    }
    if (m_thread.IsRunning())
        m_thread.ResetDSound();
    return ok;
}
