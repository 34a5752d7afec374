// kelvara-render [options] -o OUT.wav ROM CODE...
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
// Codes: decimal, 0x1F or $1F, or ranges such as 1-20; with more than one
// code each goes to OUT-NNN.wav (and OUT-NNN.vgm).
//
// --all renders every playable row of the ROM's playlist (--list FILE, else
// the program folder's LISTS/<title>.lst, else all 256 codes) to
// DIR/"NNN <row name>.wav", each until its row's play time or silence, on
// every core.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
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

#include "CodeArgs.h"
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
    "                      [--eq G0,G1,...,G8] [--vgm OUT.vgm] -o OUT.wav ROM CODE...\n"
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
    std::vector<int> codes;
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
        if (positional.size() < 2) return Fail(std::string("give one ROM and at least one code\n") + kUsage, 2);
        for (std::size_t i = 1; i < positional.size(); ++i)
            if (!ParseCodeRange(positional[i], o.codes))
                return Fail("bad code '" + positional[i] + "' (0..255: 31, 0x1F, $1F or a range like 1-20)", 2);
        if (o.codes.size() > 1 && o.out == "-") return Fail("standard output takes one code", 2);
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

// OUT.wav for one code; OUT-NNN.wav for each of several.
std::string PathForCode(const std::string& path, int code, bool several) {
    if (!several) return path;
    const fs::path p(path);
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, "-%03d", code);
    return (p.parent_path() / (p.stem().string() + suffix + p.extension().string())).string();
}

int RenderOne(const Options& o, int code, const std::string& outPath, const std::string& vgmPath) {
    const bool progress = ::isatty(2) != 0;
    OfflineStop stop;
    stop.atSilence = o.seconds <= 0.0;
    stop.maxFrames = FramesFor(o.seconds > 0.0 ? o.seconds : kMaxSeconds, o.settings.rate);
    const auto showProgress = [&](uint64_t frames) {
        if (frames % (static_cast<uint64_t>(FramesPerBlock(o.settings.rate)) * 20) == 0)
            std::fprintf(stderr, "\rcode %03d  %7.2f s", code, static_cast<double>(frames) / o.settings.rate);
    };
    std::function<void(uint64_t)> onBlock;
    if (progress) onBlock = showProgress;

    CVgmWriter vgm;
    CVgmWriter* vgmPtr = vgmPath.empty() ? nullptr : &vgm;
    OfflineResult result;
    if (outPath == "-") {
        MemorySink sink;
        result = RenderCodeOffline(o.rom, o.settings, code, stop, sink, vgmPtr, onBlock);
        if (progress) std::fputc('\n', stderr);
        if (!result.error.empty()) return Fail(result.error);
        if (!sink.WriteTo(stdout, o.settings.rate)) return Fail("cannot write the WAV data to standard output");
    } else {
        FileSink sink;
        if (!sink.Open(outPath, o.settings.rate)) return Fail("cannot create '" + outPath + "'");
        result = RenderCodeOffline(o.rom, o.settings, code, stop, sink, vgmPtr, onBlock);
        sink.Close();
        if (progress) std::fputc('\n', stderr);
        if (!result.error.empty()) {
            std::remove(outPath.c_str());
            return Fail(result.error);
        }
    }
    if (vgmPtr) {
        char rowName[16];
        std::snprintf(rowName, sizeof rowName, "%03d", code);
        if (!WriteBytes(vgmPath, vgm.Finish(result.title, rowName))) return Fail("cannot write '" + vgmPath + "'");
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
    std::string name;  // row name; empty = none
};

// A row name made safe as part of a file name: no path separators, no
// characters other systems refuse, no control characters, no leading or
// trailing dots and blanks, at most 80 bytes (cut on a UTF-8 boundary).
std::string SafeFileNamePart(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F || std::strchr("/\\:*?\"<>|", c)) c = '_';
        out += static_cast<char>(c);
    }
    if (out.size() > 80) {
        std::size_t cut = 80;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
        out.resize(cut);
    }
    const std::size_t first = out.find_first_not_of(" .");
    if (first == std::string::npos) return "";
    out = out.substr(first);
    out.erase(out.find_last_not_of(" .") + 1);
    return out;
}

std::string FileNameForJob(const Job& job) {
    char number[8];
    std::snprintf(number, sizeof number, "%03d", job.code);
    const std::string name = SafeFileNamePart(job.name);
    return name.empty() ? std::string(number) + ".wav" : std::string(number) + " " + name + ".wav";
}

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
            if (row.code >= 0 && seen.insert(row.code).second) jobs.push_back({row.code, row.playTime, row.name});
    } else {
        std::fprintf(stderr, "kelvara-render: no playlist for this ROM: rendering all 256 codes\n");
        for (int code = 0; code <= 255; ++code) jobs.push_back({code, 0, ""});
    }
    if (jobs.empty()) return Fail("the playlist has no playable row");
    OfflineRenderSettings settings = o.settings;
    if (haveList && !o.gainGiven) settings.titleGain = list.volumeGain;

    std::error_code ec;
    fs::create_directories(o.out, ec);
    if (!fs::is_directory(o.out)) return Fail("cannot create the folder '" + o.out + "'");

    const bool progress = ::isatty(2) != 0;
    const auto start = std::chrono::steady_clock::now();
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
            const std::string name = FileNameForJob(job);
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
            if (progress) {
                // Rows done, of how many, and the time left at the pace so far.
                const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                const double left = elapsed / count * (static_cast<double>(jobs.size()) - count);
                std::fprintf(stderr, "\r\x1b[K%d/%zu rows, %d:%02d left  %s", count, jobs.size(),
                             static_cast<int>(left) / 60, static_cast<int>(left) % 60, name.c_str());
            }
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
    if (o.all) return RenderAll(o);
    const bool several = o.codes.size() > 1;
    for (int code : o.codes) {
        const std::string vgmPath = o.vgm.empty() ? "" : PathForCode(o.vgm, code, several);
        if (const int status = RenderOne(o, code, PathForCode(o.out, code, several), vgmPath)) return status;
    }
    return 0;
}

// "--all" as the first argument reaches the same verb.
int RunRenderAll(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    static char allFlag[] = "--all";
    args.insert(args.begin(), allFlag);
    return RunRender(static_cast<int>(args.size()), args.data());
}

const RenderVerbRegistration kRender{{"", "[options] -o OUT.wav ROM CODE...",
                                      "render a code to a WAV file as the player records it", &RunRender}};
const RenderVerbRegistration kRenderAll{{"--all", "--all [options] -o DIR ROM",
                                         "render every playlist row to DIR/NNN <name>.wav", &RunRenderAll}};

}  // namespace
