// kelvara-render [options] -o OUT.wav ROM CODE
// kelvara-render --all [options] -o DIR ROM
//
// Renders sound codes offline to WAV files, exactly as the player would
// record them (one silent 5 ms block, then the rendered blocks through the
// same signal chain), without a sound device.
//
// Options:
//   --rate HZ        output rate (default 44100)
//   --seconds S      length; without it a code stops after 300 silent
//                    blocks (1.5 s), at most after 600 s
//   --gain PCT       title gain in percent (default 100, or the list's
//                    %volgain with --all)
//   --volume 0..30   master volume position (default 30)
//   --eq G0,...,G8   equalizer gains in dB (default all 0)
//   --vgm OUT.vgm    also log the chip writes as a VGM file (one code only)
//   --list FILE      (--all) the playlist to render
//   -o OUT           output WAV file ("-" = standard output), or the
//                    folder for --all
//
// --all renders every playable row of the ROM's playlist (--list FILE, else
// the program folder's LISTS/<title>.lst, else codes 1..255) to DIR/NNN.wav,
// each until its row's play time or silence, on every core.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ListFile.h"
#include "Verb.h"
#include "audio/OfflineRender.h"
#include "audio/VgmWriter.h"
#include "audio/WaveRec.h"

namespace fs = std::filesystem;

namespace {

constexpr double kMaxSeconds = 600.0;
constexpr const char* kUsage =
    "usage: kelvara-render [--rate HZ] [--seconds S] [--gain PCT] [--volume 0..30]\n"
    "                      [--eq G0,G1,...,G8] [--vgm OUT.vgm] -o OUT.wav ROM CODE\n"
    "       kelvara-render --all [--list FILE] [options] -o DIR ROM\n";

struct Options {
    bool all = false;
    OfflineRenderSettings settings;
    bool gainGiven = false;
    double seconds = 0.0;  // 0 = until silence
    std::string out;
    std::string vgm;
    std::string list;
    std::string rom;
    int code = -1;
};

int Fail(const std::string& message, int status = 1) {
    std::string line = message;
    while (!line.empty() && line.back() == '\n') line.pop_back();
    std::fprintf(stderr, "kelvara-render: %s\n", line.c_str());
    return status;
}

bool ParseLong(const char* text, long low, long high, long& value) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < low || v > high) return false;
    value = v;
    return true;
}

bool ParseEq(const char* text, std::array<int32_t, 9>& eq) {
    std::array<int32_t, 9> gains{};
    const char* p = text;
    for (int i = 0; i < 9; ++i) {
        char* end = nullptr;
        errno = 0;
        const long v = std::strtol(p, &end, 10);
        if (errno != 0 || end == p || v < -100 || v > 100) return false;
        gains[i] = static_cast<int32_t>(v);
        if (i < 8) {
            if (*end != ',') return false;
            p = end + 1;
        } else if (*end != '\0') {
            return false;
        }
    }
    eq = gains;
    return true;
}

// Returns 0 when parsed, else the exit status (2) after printing why.
int ParseOptions(int argc, char** argv, Options& o) {
    std::vector<std::string> positional;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--all") {
            o.all = true;
            continue;
        }
        if (arg.size() < 2 || arg[0] != '-' || arg == "-") {
            positional.push_back(arg);
            continue;
        }
        if (i + 1 >= argc) return Fail(arg + " needs a value\n" + kUsage, 2);
        const char* value = argv[++i];
        long n = 0;
        if (arg == "--rate") {
            if (!ParseLong(value, 8000, 384000, n)) return Fail(std::string("bad rate '") + value + "' (8000..384000)", 2);
            o.settings.rate = static_cast<uint32_t>(n);
        } else if (arg == "--seconds") {
            char* end = nullptr;
            o.seconds = std::strtod(value, &end);
            if (end == value || *end != '\0' || !(o.seconds > 0.0) || o.seconds > 86400.0)
                return Fail(std::string("bad seconds '") + value + "'", 2);
        } else if (arg == "--gain") {
            if (!ParseLong(value, 0, 100000, n)) return Fail(std::string("bad gain '") + value + "' (percent)", 2);
            o.settings.titleGain = static_cast<int32_t>(n);
            o.gainGiven = true;
        } else if (arg == "--volume") {
            if (!ParseLong(value, 0, 30, n)) return Fail(std::string("bad volume '") + value + "' (0..30)", 2);
            o.settings.masterVolume = static_cast<int32_t>(n);
        } else if (arg == "--eq") {
            if (!ParseEq(value, o.settings.eq))
                return Fail(std::string("bad equalizer gains '") + value + "' (nine whole dB values, comma-separated)", 2);
        } else if (arg == "-o") {
            o.out = value;
        } else if (arg == "--vgm") {
            o.vgm = value;
        } else if (arg == "--list") {
            o.list = value;
        } else {
            return Fail("unknown option '" + arg + "'\n" + kUsage, 2);
        }
    }
    if (o.out.empty()) return Fail(std::string("no output given (-o)\n") + kUsage, 2);
    if (o.all) {
        if (positional.size() != 1) return Fail(std::string("--all takes one ROM\n") + kUsage, 2);
        if (!o.vgm.empty()) return Fail("--vgm logs one code; it cannot be used with --all", 2);
        if (o.out == "-") return Fail("--all writes a folder; '-' is not one", 2);
    } else {
        if (positional.size() != 2) return Fail(std::string("give one ROM and one code\n") + kUsage, 2);
        long code = 0;
        if (!ParseLong(positional[1].c_str(), 0, 255, code))
            return Fail("bad code '" + positional[1] + "' (0..255)", 2);
        o.code = static_cast<int>(code);
    }
    o.rom = positional[0];
    return 0;
}

// Frames for a length, never more than a WAV file can hold (4 GiB).
uint64_t FramesFor(double seconds, uint32_t rate) {
    const uint64_t limit = (CWaveRec::kMaxFileSize - CWaveRec::kHeaderSize) / 4 - static_cast<uint64_t>(FramesPerBlock(rate));
    const uint64_t frames = static_cast<uint64_t>(std::ceil(seconds * rate));
    return frames < limit ? frames : limit;
}

// WAV output through the player's recorder.
class FileSink final : public IOfflineSink {
public:
    bool Open(const std::string& path, uint32_t rate) { return m_rec.Open(path, rate, 16, true); }
    void WriteFrames(const int16_t* frames, std::size_t count) override { m_rec.Write(frames, count * 4); }
    void Close() { m_rec.Close(); }

private:
    CWaveRec m_rec;
};

// WAV output to a stream that cannot seek: held in memory, written at the
// end with its sizes known.
class MemorySink final : public IOfflineSink {
public:
    void WriteFrames(const int16_t* frames, std::size_t count) override {
        m_samples.insert(m_samples.end(), frames, frames + 2 * count);
    }
    bool WriteTo(std::FILE* out, uint32_t rate) const {
        CWaveRec::Header h;
        const uint64_t data = m_samples.size() * 2;
        if (data > CWaveRec::kMaxFileSize - CWaveRec::kHeaderSize) return false;
        h.channels = 2;
        h.sampleRate = rate;
        h.blockAlign = 4;
        h.bitsPerSample = 16;
        h.byteRate = 4 * rate;
        h.dataSize = static_cast<uint32_t>(data);
        h.riffSize = static_cast<uint32_t>(data + CWaveRec::kHeaderSize - 8);
        return std::fwrite(&h, 1, sizeof h, out) == sizeof h &&
               std::fwrite(m_samples.data(), 2, m_samples.size(), out) == m_samples.size() && std::fflush(out) == 0;
    }

private:
    std::vector<int16_t> m_samples;
};

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    return static_cast<bool>(out);
}

int RenderOne(const Options& o) {
    const bool progress = ::isatty(2) != 0;
    OfflineStop stop;
    stop.atSilence = o.seconds <= 0.0;
    stop.maxFrames = FramesFor(o.seconds > 0.0 ? o.seconds : kMaxSeconds, o.settings.rate);
    const auto showProgress = [&](uint64_t frames) {
        if (frames % (static_cast<uint64_t>(FramesPerBlock(o.settings.rate)) * 20) == 0)
            std::fprintf(stderr, "\rcode %03d  %7.2f s", o.code, static_cast<double>(frames) / o.settings.rate);
    };
    std::function<void(uint64_t)> onBlock;
    if (progress) onBlock = showProgress;

    CVgmWriter vgm;
    CVgmWriter* vgmPtr = o.vgm.empty() ? nullptr : &vgm;
    OfflineResult result;
    if (o.out == "-") {
        MemorySink sink;
        result = RenderCodeOffline(o.rom, o.settings, o.code, stop, sink, vgmPtr, onBlock);
        if (progress) std::fputc('\n', stderr);
        if (!result.error.empty()) return Fail(result.error);
        if (!sink.WriteTo(stdout, o.settings.rate)) return Fail("cannot write the WAV data to standard output");
    } else {
        FileSink sink;
        if (!sink.Open(o.out, o.settings.rate)) return Fail("cannot create '" + o.out + "'");
        result = RenderCodeOffline(o.rom, o.settings, o.code, stop, sink, vgmPtr, onBlock);
        sink.Close();
        if (progress) std::fputc('\n', stderr);
        if (!result.error.empty()) {
            std::remove(o.out.c_str());
            return Fail(result.error);
        }
    }
    if (vgmPtr) {
        char rowName[16];
        std::snprintf(rowName, sizeof rowName, "%03d", o.code);
        if (!WriteBytes(o.vgm, vgm.Finish(result.title, rowName))) return Fail("cannot write '" + o.vgm + "'");
    }
    return 0;
}

std::string ProgramFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

struct Job {
    int code;
    int playTime;  // tenths; 0 = none
};

int RenderAll(const Options& o) {
    // Which rows: the given list, the ROM's list in the program folder, or
    // every code. The title for the list name comes from identifying the
    // ROM, which a render of code 0 for no time at all does cheaply.
    ListFile list;
    bool haveList = false;
    if (!o.list.empty()) {
        if (!ReadListFile(o.list, list)) return Fail("cannot read the playlist '" + o.list + "'");
        haveList = true;
    } else {
        struct NullSink final : IOfflineSink {
            void WriteFrames(const int16_t*, std::size_t) override {}
        } none;
        const OfflineResult probe = RenderCodeOffline(o.rom, o.settings, 0, OfflineStop{0, false}, none);
        if (!probe.error.empty()) return Fail(probe.error);
        haveList = ReadListFile(ListPathForTitle(ProgramFolder(), probe.title), list);
    }
    std::vector<Job> jobs;
    std::set<int> seen;
    if (haveList) {
        for (const ListRow& row : list.rows)
            if (row.code >= 0 && seen.insert(row.code).second) jobs.push_back({row.code, row.playTime});
    } else {
        for (int code = 1; code <= 255; ++code) jobs.push_back({code, 0});
    }
    if (jobs.empty()) return Fail("the playlist has no playable row");
    OfflineRenderSettings settings = o.settings;
    if (haveList && !o.gainGiven) settings.titleGain = list.volumeGain;

    std::error_code ec;
    fs::create_directories(o.out, ec);
    if (!fs::is_directory(o.out)) return Fail("cannot create the folder '" + o.out + "'");

    const bool progress = ::isatty(2) != 0;
    std::atomic<std::size_t> next{0};
    std::atomic<int> done{0};
    std::mutex lock;  // guards errors and progress output
    std::vector<std::string> errors;
    const auto worker = [&] {
        for (;;) {
            const std::size_t i = next.fetch_add(1);
            if (i >= jobs.size()) return;
            const Job& job = jobs[i];
            OfflineStop stop;
            stop.atSilence = true;
            double seconds = o.seconds > 0.0 ? o.seconds : kMaxSeconds;
            if (job.playTime > 0) seconds = std::min(seconds, job.playTime / 10.0);
            stop.maxFrames = FramesFor(seconds, settings.rate);
            char name[32];
            std::snprintf(name, sizeof name, "%03d.wav", job.code);
            const std::string path = (fs::path(o.out) / name).string();
            FileSink sink;
            std::string error;
            if (!sink.Open(path, settings.rate)) {
                error = "cannot create '" + path + "'";
            } else {
                error = RenderCodeOffline(o.rom, settings, job.code, stop, sink).error;
                sink.Close();
                if (!error.empty()) std::remove(path.c_str());
            }
            std::lock_guard<std::mutex> guard(lock);
            if (!error.empty()) errors.push_back(error);
            const int count = ++done;
            if (progress) std::fprintf(stderr, "\r%d/%zu  %s", count, jobs.size(), name);
        }
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t threads = std::min<std::size_t>(cores, jobs.size());
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < threads; ++t) pool.emplace_back(worker);
    worker();
    for (std::thread& t : pool) t.join();
    if (progress) std::fputc('\n', stderr);
    if (!errors.empty()) return Fail(errors.front());
    return 0;
}

int RunRender(int argc, char** argv) {
    Options o;
    if (const int status = ParseOptions(argc, argv, o)) return status;
    return o.all ? RenderAll(o) : RenderOne(o);
}

// "--all" as the first argument reaches the same verb.
int RunRenderAll(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    static char allFlag[] = "--all";
    args.insert(args.begin(), allFlag);
    return RunRender(static_cast<int>(args.size()), args.data());
}

const RenderVerbRegistration kRender{{"", "[options] -o OUT.wav ROM CODE",
                                      "render a code to a WAV file as the player records it", &RunRender}};
const RenderVerbRegistration kRenderAll{{"--all", "--all [options] -o DIR ROM",
                                         "render every playlist row to DIR/NNN.wav", &RunRenderAll}};

}  // namespace
