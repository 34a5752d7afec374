// CTransport: commands, stepping, the tick's end-of-sound rules.
#include "player/Transport.h"

#include "app/DebugLog.h"
#include "app/Settings.h"
#include "audio/EmuThread.h"

CTransport::CTransport(IRenderControl& render, CSettings& settings, ITransportHost& host)
    : m_render(render), m_settings(settings), m_host(host), m_autoPlay(settings.AutoPlay != 0)
{
}

int32_t CTransport::TimeOf(int32_t code) const { return m_playlist ? m_playlist->TimeOf(code) : 0; }

void CTransport::Play()
{
    if (!m_render.IsRunning()) {
        if (m_settings.AutoPlay)
            m_host.PickRandomRom();
        return;
    }
    if (m_playlistMode && m_playlist) {
        m_playlist->PlaySelected();
    } else {
        m_render.PostCommand(CEmuThread::CmdPlay, m_code);
        m_elapsedMs = 0;
    }
    m_meter.Reset();
    m_state = TransportState::Playing;
    m_codeStarted = true;
    m_playTime = TimeOf(m_code);
    Log("sndtime:%d\n", m_playTime);
}

void CTransport::Pause(uint32_t nowMs)
{
    if (!m_render.IsRunning())
        return;
    m_render.PostCommand(CEmuThread::CmdPause, 0);
    if (m_state == TransportState::Playing) {
        m_state = TransportState::Paused;
        m_elapsedMs = m_render.GetPlayTime();
        m_blink.Start(nowMs);
    } else if (m_state == TransportState::Paused) {
        m_state = TransportState::Playing;
    m_codeStarted = true;
        m_elapsedMs = m_render.GetPlayTime();
    }
}

void CTransport::Stop()
{
    if (!m_render.IsRunning())
        return;
    Log("OnPlayStop\n");
    m_render.PostCommand(CEmuThread::CmdStop, 0);
    m_render.WaitCommand();
    m_state = TransportState::Stopped;
    m_silenceHandled = false;
}

void CTransport::StartCode(int32_t command, int32_t code)
{
    m_code = code & 0xFF;
    m_render.PostCommand(command, m_code);
    m_meter.Reset();
    m_elapsedMs = 0;
    m_state = TransportState::Playing;
    m_codeStarted = true;
    m_playTime = TimeOf(m_code);
}

void CTransport::Next()
{
    if (!m_render.IsRunning())
        return;
    Log("OnPlayForward\n");
    if (m_playlistMode && m_playlist) {
        if (m_playlist->HasNext())
            m_playlist->PlayNext();
        return;
    }
    StartCode(CEmuThread::CmdPlayCode, m_code + 1);
    Log("Fw sndtime:%d\n", m_playTime);
}

void CTransport::Prev()
{
    if (!m_render.IsRunning())
        return;
    if (m_playlistMode && m_playlist) {
        m_playlist->PlayPrev();
    } else {
        m_code = (m_code + 255) & 0xFF;
        m_render.PostCommand(CEmuThread::CmdPlayCode, m_code);
        m_elapsedMs = 0;
    }
    m_meter.Reset();
    m_state = TransportState::Playing;
    m_codeStarted = true;
    m_playTime = TimeOf(m_code);
}

void CTransport::Step(int32_t delta)
{
    if (!m_render.IsRunning())
        return;
    StartCode(CEmuThread::CmdPlayCode, m_code + 256 + delta);
}

void CTransport::PlayAt(int32_t code)
{
    if (!m_render.IsRunning())
        return;
    StartCode(CEmuThread::CmdPlay, code);
}

void CTransport::PlayCode(int32_t code, const std::string& name)
{
    if (!m_render.IsRunning())
        return;
    m_code = code;
    m_state = TransportState::Playing;
    m_codeStarted = true;
    m_render.PostCommand(CEmuThread::CmdPlay, code);
    m_elapsedMs = 0;
    m_playTime = TimeOf(code);
    m_title = "\u266A" + name;
}

bool CTransport::ToggleRecord()
{
    if (!m_render.IsRunning())
        return m_recording;
    m_recording = !m_recording;
    m_render.PostCommand(CEmuThread::CmdRecord, m_recording ? 1 : 0);
    return m_recording;
}

bool CTransport::ToggleAutoPlay()
{
    m_autoPlay = !m_autoPlay;
    m_settings.AutoPlay = m_autoPlay ? 1 : 0;
    return m_autoPlay;
}

void CTransport::BeginLoad()
{
    m_title.clear();
    m_playlistMode = false;
}

void CTransport::RomStarted()
{
    m_codeStarted = false;
    m_recording = false;
    m_code = 0;
    m_state = TransportState::Stopped;
    m_elapsedMs = 0;
    m_meter.Reset();
}

void CTransport::StopForDeviceChange()
{
    m_render.PostCommand(CEmuThread::CmdRecord, 0);
    m_render.WaitCommand();
    m_render.PostCommand(CEmuThread::CmdStop, 0);
    m_render.WaitCommand();
    m_state = TransportState::Stopped;
    m_elapsedMs = 0;
    m_silenceHandled = false;
    m_recording = false;
}

DigitCells CTransport::Digits() const
{
    return ComputeDigitCells(m_render.IsRunning(), m_code, m_state, m_elapsedMs,
                             m_state == TransportState::Paused && m_blink.On());
}

void CTransport::Tick(uint32_t nowMs)
{
    if (!m_render.IsRunning())
        return;
    int32_t left = 0, right = 0;
    m_render.GetLevels(left, right);
    m_meter.Update(left, right);
    if (m_render.IsIdle())
        m_elapsedMs = m_render.GetPlayTime();
    if (m_state == TransportState::Paused)
        m_blink.Update(nowMs);

    const int32_t silent = m_render.GetSilentBlocks();
    if (silent <= kSilenceBlocks) {
        m_silenceHandled = false;
        if (!m_settings.AutoPlay)
            return;
        // In 64 bits: a PlayTimeDefault near the int32 limit must not wrap.
        const int64_t limit = m_playTime != 0 ? m_playTime : int64_t(m_settings.PlayTimeDefault) * 10;
        if (int64_t(m_elapsedMs / 100) < limit)
            return;
        Advance();
        return;
    }
    if (m_silenceHandled)
        return;
    m_silenceHandled = true;
    if (!m_settings.AutoPlay)
        m_host.PostWindowCommand(CmdIdStop);
    else
        Advance();
}

void CTransport::Advance()
{
    if (!m_playlist || !m_playlist->WindowExists())
        m_host.PostWindowCommand(CmdIdStop);
    else if (m_playlist->HasNext())
        m_host.PostWindowCommand(CmdIdNext);
    else if (m_autoPlay)
        m_host.PickRandomRom();
    else
        m_host.PostWindowCommand(CmdIdStop);
}
