// Offline rendering: one sound code on a fresh board, through the same
// signal chain and block sequence as the player's recording, without a
// sound device. The result is what the player would record for that code:
// one silent block (the prefill's first block), then rendered blocks.
//
// Each call builds its own board and chain, so several calls may run on
// separate threads at once.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "audio/VgmWriter.h"

struct OfflineRenderSettings {
    uint32_t rate = 44100;
    int32_t titleGain = 100;    // percent
    int32_t masterVolume = 30;  // 0..30
    std::array<int32_t, 9> eq{};  // dB per band
};

struct OfflineStop {
    // Stop after this many frames (whole blocks; the last block may pass it).
    uint64_t maxFrames = 0;
    // Stop when the sound has been silent for more than kSilentBlocksAtEnd
    // blocks, as the player's autoplay does.
    bool atSilence = true;
};

// Receives the finished 16-bit stereo frames.
class IOfflineSink {
public:
    virtual ~IOfflineSink() = default;
    virtual void WriteFrames(const int16_t* frames, std::size_t count) = 0;
};

// The player's end-of-sound rule: more than 300 silent blocks (1.5 s).
constexpr int32_t kSilentBlocksAtEnd = 300;
// Blocks in the player's ring buffer; the prefill renders all but the first.
constexpr int kRingBlocks = 200;

// Frames in one 5 ms block at `rate`, as the output device sizes it.
int FramesPerBlock(uint32_t rate);

// The VGM chip description for a board's chip kind and clock.
VgmOptions VgmOptionsForChip(uint32_t chipKind, uint32_t chipClock, uint32_t rate);

struct OfflineResult {
    std::string error;       // empty on success: the board's failure message
    uint64_t frames = 0;     // frames written to the sink
    std::string title;       // the ROM's title (UTF-8)
};

// Renders `code` of the ROM image at `romPath`. When `vgm` is given, every
// chip write of the played code is logged to it (Begin is called here).
// `progress`, if set, is called after every block with the frames so far.
OfflineResult RenderCodeOffline(const std::string& romPath, const OfflineRenderSettings& settings, int code,
                                const OfflineStop& stop, IOfflineSink& sink, CVgmWriter* vgm = nullptr,
                                const std::function<void(uint64_t)>& progress = {});
