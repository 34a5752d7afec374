#include "audio/OfflineRender.h"

#include <memory>
#include <vector>

#include "audio/RenderBlock.h"
#include "audio/SignalChain.h"
#include "machine/SoundBoard.h"

namespace {

constexpr int kBlockMs = 5;

// Feeds the board's chip writes to the VGM log.
class VgmTap final : public IChipWriteObserver {
public:
    explicit VgmTap(CVgmWriter& vgm) : m_vgm(vgm) {}
    void OnChipWrite(uint32_t port, uint8_t value) override { m_vgm.Write(port, value); }

private:
    CVgmWriter& m_vgm;
};

// The board as RenderBlock sees it, with one VGM wait per output sample.
struct LoggedBoard {
    CSoundBoard& board;
    CVgmWriter& vgm;
    void RenderSample(int32_t& left, int32_t& right) {
        board.RenderSample(left, right);
        vgm.Wait(1);
    }
};

}  // namespace

int FramesPerBlock(uint32_t rate) {
    // Stereo 16-bit: 4 bytes a frame; the device rounds the block's bytes
    // down to whole frames.
    const uint64_t bytes = static_cast<uint64_t>(kBlockMs) * 4 * rate / 1000;
    return static_cast<int>(bytes / 4);
}

VgmOptions VgmOptionsForChip(uint32_t chipKind, uint32_t chipClock, uint32_t rate) {
    VgmOptions o;
    o.clock = chipClock;
    o.sampleRate = rate;
    switch (chipKind) {
    case ChipPSG:
        // A VGM player sounds an AY8910 tone period P at clock / (16 * P);
        // the board's PSG takes the master clock and sounds at
        // clock / (32 * P). The header carries the halved clock, so the log
        // plays at the pitch heard here.
        o.chip = VgmChip::Ay8910;
        o.clock = (chipClock + 1) / 2;
        break;
    case ChipSN76496:
        // clock / (32 * N) in both: the clock goes in as it is.
        o.chip = VgmChip::Sn76489;
        break;
    case ChipYMF281B:
        // The format knows the YM2413 only (same F-number rule, clock / 72
        // per chip sample); the tag says which chip this really is.
        o.chip = VgmChip::Ym2413;
        o.notes = "YMF281B (OPLLP): played as a YM2413; its built-in instruments differ.";
        break;
    default:
        o.chip = VgmChip::Ym2413;
        break;
    }
    return o;
}

OfflineResult RenderCodeOffline(const std::string& romPath, const OfflineRenderSettings& settings, int code,
                                const OfflineStop& stop, IOfflineSink& sink, CVgmWriter* vgm,
                                const std::function<void(uint64_t)>& progress) {
    OfflineResult result;
    const int frames = FramesPerBlock(settings.rate);
    if (frames <= 0) {
        result.error = "Sampling rate too low.";
        return result;
    }
    std::string message;
    std::unique_ptr<CSoundBoard> board = CSoundBoard::Load(romPath.c_str(), message);
    if (!board) {
        result.error = message.empty() ? "Unknown error." : message;
        return result;
    }
    result.title = board->Entry().title ? board->Entry().title : "";

    // Start: device rate to the board and the chain; CmdInit; then the
    // play command's reset and code delivery.
    board->SetSampleRate(settings.rate);
    CSignalChain chain;
    chain.SetMasterVolume(settings.masterVolume);
    chain.Equalizer().SetGains(static_cast<int>(settings.eq.size()), settings.eq.data());
    chain.SetRate(static_cast<int32_t>(settings.rate));
    board->Reset();
    board->SendCommand(0);
    chain.SetTitleGain(settings.titleGain);

    std::unique_ptr<VgmTap> tap;
    if (vgm) {
        vgm->Begin(VgmOptionsForChip(board->ChipKind(), board->ChipClock(), settings.rate));
        tap = std::make_unique<VgmTap>(*vgm);
        board->SetChipWriteObserver(tap.get());
    }
    board->Reset();
    board->SendCommand(static_cast<uint8_t>(code));

    std::vector<int16_t> block(2 * static_cast<std::size_t>(frames), 0);
    // The prefill's first block is silence.
    sink.WriteFrames(block.data(), frames);
    result.frames = frames;
    for (int index = 1; result.frames < stop.maxFrames; ++index) {
        if (vgm) {
            LoggedBoard logged{*board, *vgm};
            RenderBlock(logged, chain, block.data(), frames);
        } else {
            RenderBlock(*board, chain, block.data(), frames);
        }
        sink.WriteFrames(block.data(), frames);
        result.frames += frames;
        if (progress) progress(result.frames);
        // Playback starts after the prefill; silence counts from there.
        if (index == kRingBlocks - 1) chain.ResetSilentBlocks();
        if (stop.atSilence && chain.SilentBlocks() > kSilentBlocksAtEnd) break;
    }
    board->SetChipWriteObserver(nullptr);
    return result;
}
