// Throughput of the output path: the signal chain alone (fake board; frame
// by frame, in runs of frames, with a flat equalizer, with every equalizer
// engine, and with the WAV file), the OPLL demo board alone, and the whole
// chain (board + chip + signal chain + WAV file) as the offline renderer
// runs it. Prints times and multiples of real time; runs on one core.
//
//   bench_chain [ROM] [SECONDS]
// ROM defaults to the OPLL demo in examples/roms.
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "audio/OfflineRender.h"
#include "audio/RenderBlock.h"
#include "audio/SignalChain.h"
#include "audio/WaveRec.h"
#include "machine/SoundBoard.h"

namespace {

constexpr uint32_t kRate = 44100;

// Wall-clock and this thread's CPU time; on a shared machine the CPU time
// is the fairer measure of the code's own cost.
struct Stamp {
    double wall, cpu;
    static Stamp Now() {
        timespec w{}, c{};
        clock_gettime(CLOCK_MONOTONIC, &w);
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c);
        return {w.tv_sec + w.tv_nsec * 1e-9, c.tv_sec + c.tv_nsec * 1e-9};
    }
};

void Report(const char* what, double audioSeconds, const Stamp& start) {
    const Stamp end = Stamp::Now();
    const double wall = end.wall - start.wall, cpu = end.cpu - start.cpu;
    std::printf("%-42s %6.1f s audio  cpu %7.3f s = %7.1fx  wall %7.3f s = %7.1fx real time\n", what,
                audioSeconds, cpu, audioSeconds / cpu, wall, audioSeconds / wall);
}

// A board that costs almost nothing: a square wave with a DC offset.
struct SquareBoard {
    uint32_t phase = 0;
    void RenderSample(int32_t& l, int32_t& r) {
        phase += 97;
        l = (phase & 0x400) ? 9000 : -3000;
        r = -l / 2;
    }
};

const char* EngineName(CEqualizer::Engine engine) {
    switch (engine) {
    case CEqualizer::Engine::InOrder: return "frame by frame";
    case CEqualizer::Engine::Vector128: return "128-bit";
    default: return "256-bit";
    }
}

// The chain alone over `blocks` blocks of the square wave in runs of
// frames, as a board that renders runs feeds it; optionally into a WAV file.
void BenchRuns(const char* what, int blocks, int frames, const int32_t* gains, CEqualizer::Engine engine,
               CWaveRec* wav) {
    CSignalChain chain;
    chain.Equalizer().SetEngine(engine);
    chain.SetRate(kRate);
    chain.Equalizer().SetGains(9, gains);
    SquareBoard board;
    std::vector<int32_t> in(2 * frames);
    std::vector<int16_t> block(2 * frames);
    const Stamp t = Stamp::Now();
    for (int b = 0; b < blocks; ++b) {
        for (int f = 0; f < frames; ++f) board.RenderSample(in[2 * f], in[2 * f + 1]);
        chain.BeginBlock();
        chain.ProcessFrames(in.data(), block.data(), frames);
        chain.EndBlock(block.data(), frames);
        if (wav) wav->Write(block.data(), block.size() * sizeof(int16_t));
    }
    if (wav) wav->Close();
    Report(what, static_cast<double>(blocks) * frames / kRate, t);
}

class WavSink final : public IOfflineSink {
public:
    explicit WavSink(const std::string& path) { m_rec.Open(path, kRate, 16, true); }
    void WriteFrames(const int16_t* f, std::size_t n) override { m_rec.Write(f, n * 4); }

private:
    CWaveRec m_rec;
};

}  // namespace

int main(int argc, char** argv) {
    const std::string rom = argc > 1 && argv[1][0] != '\0'
                                ? argv[1]
                                : std::string(KELVARA_SOURCE_DIR) + "/examples/roms/demo-opll-type40.bin";
    const double seconds = argc > 2 ? std::atof(argv[2]) : 120.0;
    const int frames = FramesPerBlock(kRate);
    const int blocks = static_cast<int>(seconds * kRate / frames);
    const double audio = static_cast<double>(blocks) * frames / kRate;
    std::vector<int16_t> block(2 * frames);

    const int32_t gains[9] = {3, -2, 5, 0, -6, 1, 2, -1, 4};
    const int32_t flat[9] = {};
    {
        CSignalChain chain;
        chain.SetRate(kRate);
        chain.Equalizer().SetGains(9, gains);
        SquareBoard board;
        const Stamp t = Stamp::Now();
        for (int b = 0; b < blocks; ++b) RenderBlock(board, chain, block.data(), frames);
        Report("signal chain only (9 bands, fake board)", audio, t);
    }
    const CEqualizer::Engine best = CEqualizer::BestEngine();
    BenchRuns("  the same in runs of frames", blocks, frames, gains, best, nullptr);
    BenchRuns("  runs, all bands at 0 dB", blocks, frames, flat, best, nullptr);
    for (int e = 0; e < static_cast<int>(best); ++e) {
        const auto engine = static_cast<CEqualizer::Engine>(e);
        const std::string what = std::string("  runs, ") + EngineName(engine) + " equalizer";
        BenchRuns(what.c_str(), e == 0 ? blocks / 10 : blocks, frames, gains, engine, nullptr);
    }
    {
        const std::string path = "/tmp/bench_chain_" + std::to_string(::getpid()) + "_chain.wav";
        CWaveRec wav;
        wav.Open(path, kRate, 16, true);
        BenchRuns("  runs + WAV file", blocks, frames, gains, best, &wav);
        std::filesystem::remove(path);
    }

    std::string message;
    std::unique_ptr<CSoundBoard> board = CSoundBoard::Load(rom.c_str(), message);
    if (!board) {
        std::fprintf(stderr, "bench_chain: %s: %s", rom.c_str(), message.c_str());
        return 1;
    }
    {
        board->SetSampleRate(kRate);
        board->Reset();
        board->SendCommand(1);
        int32_t l, r;
        const Stamp t = Stamp::Now();
        for (int i = 0; i < blocks * frames; ++i) board->RenderSample(l, r);
        Report("board + chip only (code 1)", audio, t);
    }
    {
        const std::string path = "/tmp/bench_chain_" + std::to_string(::getpid()) + ".wav";
        WavSink sink(path);
        OfflineStop stop;
        stop.maxFrames = static_cast<uint64_t>(blocks) * frames;
        stop.atSilence = false;
        const Stamp t = Stamp::Now();
        const OfflineResult result = RenderCodeOffline(rom, OfflineRenderSettings{}, 1, stop, sink);
        Report("whole chain: board + chip + chain + WAV", static_cast<double>(result.frames) / kRate, t);
        std::filesystem::remove(path);
        if (!result.error.empty()) {
            std::fprintf(stderr, "bench_chain: %s", result.error.c_str());
            return 1;
        }
    }
    return 0;
}
