// IMediaTransport: what desktop media controls (MPRIS over D-Bus) may do
// with the player and read from it. The main window implements it; tests
// use their own.
#pragma once

#include <cstdint>
#include <string>

class IMediaTransport {
public:
    enum class State { Stopped, Playing, Paused };

    virtual ~IMediaTransport() = default;

    // The transport buttons. Play starts the current code, or resumes it
    // when paused; Pause is asked only while playing.
    virtual void MediaPlay() = 0;
    virtual void MediaPause() = 0;
    virtual void MediaStop() = 0;
    virtual void MediaNext() = 0;
    virtual void MediaPrevious() = 0;
    // Bring the main window to the front.
    virtual void MediaRaise() = 0;

    virtual bool MediaHasRom() const = 0;
    virtual State MediaState() const = 0;
    virtual int32_t MediaCode() const = 0;
    // The playlist row's name for the code, empty without one (UTF-8).
    virtual std::string MediaRowName() const = 0;
    // The loaded ROM's title (UTF-8), empty without a ROM.
    virtual std::string MediaRomTitle() const = 0;
    // Play time of the current sound in milliseconds.
    virtual int64_t MediaPositionMs() const = 0;
    // The master volume slider, 0..30.
    virtual int32_t MediaVolume() const = 0;
    virtual void MediaSetVolume(int32_t position) = 0;
};
