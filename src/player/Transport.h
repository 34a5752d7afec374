// CTransport: the main window's transport without the window. It keeps
// which code plays and whether it plays, is paused or stopped; turns the
// buttons and keys into render-thread commands; steps codes; runs the meter,
// the time display and the pause blinking; and on every 16 ms tick decides
// whether a sound has ended and what comes next (the next playlist row, a
// random ROM, or stop), as the AutoPlay setting says.
//
// Time is passed in (milliseconds of any steady clock), so tests drive it
// with a fake clock, a fake render thread and a fake playlist.
#pragma once

#include <cstdint>
#include <string>

#include "player/DigitDisplay.h"
#include "player/LevelMeter.h"
#include "player/RenderControl.h"

class CSettings;

// What the transport asks of the loaded ROM's playlist.
class ITransportPlaylist {
public:
    virtual ~ITransportPlaylist() = default;
    // These three play a row through the host's OnPlayCode.
    virtual void PlaySelected() = 0;
    virtual void PlayNext() = 0;
    virtual void PlayPrev() = 0;
    virtual bool HasNext() const = 0;
    // Play time of a code in tenths of a second, 0 = none.
    virtual int32_t TimeOf(int32_t code) const = 0;
    // The playlist window has been created (it may be hidden or empty).
    virtual bool WindowExists() const = 0;
};

// What the transport asks of the main window.
class ITransportHost {
public:
    virtual ~ITransportHost() = default;
    // Load a random present ROM (autoplay); nothing when none is present.
    virtual void PickRandomRom() = 0;
    // Run a window command (Stop, Next) once the current handler is done.
    virtual void PostWindowCommand(int32_t id) = 0;
};

// Window command ids of the transport.
enum TransportCommand : int32_t {
    CmdIdPlay = 32900,
    CmdIdPause = 32901,
    CmdIdStop = 32902,
    CmdIdPrev = 32903,
    CmdIdNext = 32904,
    CmdIdRecord = 32905,
    CmdIdLoadRom = 32906,
    CmdIdPlaylist = 32907,
    CmdIdStepUp = 32908,
    CmdIdStepDown = 32909,
    CmdIdAutoPlay = 32910,
    CmdIdEqualizer = 32911,
    CmdIdOption = 32768,
    CmdIdAbout = 32769,
    CmdIdExit = 32770,
    CmdIdSkinFirst = 33000,  // the built-in skin; found skins follow
};

class CTransport {
public:
    // More silent blocks than this (5 ms each) end a sound.
    static constexpr int32_t kSilenceBlocks = 300;

    CTransport(IRenderControl& render, CSettings& settings, ITransportHost& host);

    // The loaded ROM's playlist; null or an empty one means no playlist.
    void SetPlaylist(ITransportPlaylist* playlist) { m_playlist = playlist; }

    // --- Commands. All but ToggleAutoPlay do nothing without a running ROM
    // (Play then picks a random ROM when AutoPlay is on).
    void Play();
    void Pause(uint32_t nowMs);
    void Stop();
    void Next();
    void Prev();
    // The arrow keys: +1 / -1 whatever the playlist says.
    void Step(int32_t delta);
    // Plays `code` whatever the playlist says (the command line's code).
    void PlayAt(int32_t code);
    // A playlist row was chosen.
    void PlayCode(int32_t code, const std::string& name);
    // Flips recording; returns the new state.
    bool ToggleRecord();
    // Flips AutoPlay (setting and mirror); returns the new state.
    bool ToggleAutoPlay();

    // --- ROM load, in the main window's order.
    // Before the render thread starts: no title, no playlist mode.
    void BeginLoad();
    // The thread started: code 0, stopped, not recording, fresh meter.
    void RomStarted();
    void SetPlaylistMode(bool on) { m_playlistMode = on; }

    // The output device is about to be re-created: recording off, stop.
    void StopForDeviceChange();

    // The 16 ms tick (only acts while a ROM runs): meter, play time,
    // blinking, end of sound and autoplay.
    void Tick(uint32_t nowMs);

    // --- What the window draws.
    bool RomRunning() const { return m_render.IsRunning(); }
    DigitCells Digits() const;
    const CLevelMeter& Meter() const { return m_meter; }
    const std::string& Title() const { return m_title; }
    int32_t CurrentCode() const { return m_code; }
    TransportState State() const { return m_state; }
    bool PlaylistMode() const { return m_playlistMode; }
    int32_t PlayTime() const { return m_playTime; }
    uint32_t ElapsedMs() const { return m_elapsedMs; }
    bool Recording() const { return m_recording; }
    bool AutoPlay() const { return m_autoPlay; }
    bool SilenceHandled() const { return m_silenceHandled; }
    // A code has been started since the ROM was loaded.
    bool CodeStarted() const { return m_codeStarted; }

private:
    int32_t TimeOf(int32_t code) const;
    // Posts `command` with `code`, fresh meter and time, playing.
    void StartCode(int32_t command, int32_t code);
    void Advance();

    IRenderControl& m_render;
    CSettings& m_settings;
    ITransportHost& m_host;
    ITransportPlaylist* m_playlist = nullptr;

    int32_t m_code = 0;
    TransportState m_state = TransportState::None;
    bool m_playlistMode = false;
    int32_t m_playTime = 0;  // tenths of a second, 0 = none
    uint32_t m_elapsedMs = 0;
    std::string m_title;
    bool m_recording = false;
    bool m_autoPlay;
    bool m_silenceHandled = false;
    bool m_codeStarted = false;
    CPauseBlink m_blink;
    CLevelMeter m_meter;
};
