// ROM folder scan speed: a ROMS folder of 1000 files (500 images of
// distinct database rows, 500 other files of 8 to 64 KB). Times a cold
// start with no cache file (every file read once) and warm starts with the
// cache the cold start saved (cache load, check against the folder, scan).
// The files sit in the page cache after being written, so this measures
// the program's own work, not the disk.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ctime>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/DebugLog.h"
#include "player/RomList.h"
#include "support/RomForge.h"

namespace fs = std::filesystem;

namespace {

double NowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// This process's CPU time (user and system): the machine is shared, so the
// wall clock also counts other processes' turns.
double CpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

void DropLogLine(const char*, std::size_t, void*) {}

struct StartFigures {
    double totalMs;
    double cpuMs;
    std::size_t reads;
    int present;
};

StartFigures TimeStart(const std::string& program)
{
    CRomList list(1);
    list.SetProgramFolder(program);
    double start = NowMs();
    double cpuStart = CpuMs();
    list.Initialise();
    double total = NowMs() - start;
    StartFigures figures{total, CpuMs() - cpuStart, list.LastScanReads(), list.PresentCount()};
    list.SaveCache();
    return figures;
}

}  // namespace

int main()
{
    std::string pattern = (fs::temp_directory_path() / "kelvara-romscan-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    fs::path program = pattern;
    fs::create_directories(program / "ROMS");

    std::mt19937 random(2024);
    int images = 0;
    for (std::size_t i = 0; i < GetRomEntryCount() && images < 500; ++i) {
        const RomEntry& row = GetRomEntry(i);
        if (FindRomEntry(row.crc) != &row)
            continue;  // a later row sharing an earlier row's checksum
        char name[32];
        std::snprintf(name, sizeof name, "image%03d.%s", images, images % 3 == 0 ? "rom" : "bin");
        std::size_t size = 8192u << (random() % 4);
        WriteImageFile((program / "ROMS" / name).string(), MakeForgedRom(row.crc, {}, size, uint8_t(i)));
        ++images;
    }
    for (int i = 0; i < 500; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "other%03d.%s", i, i % 2 ? "snd" : "bin");
        std::vector<uint8_t> bytes(8192 + random() % (57 * 1024));
        for (auto& b : bytes)
            b = uint8_t(random());
        WriteImageFile((program / "ROMS" / name).string(), bytes);
    }

    CDebugLog::Instance().SetSink(DropLogLine, nullptr);
    std::string folder = program.string() + "/";
    StartFigures cold = TimeStart(folder);
    std::vector<double> warm, warmCpu;
    StartFigures last{};
    for (int run = 0; run < 9; ++run) {
        last = TimeStart(folder);
        warm.push_back(last.totalMs);
        warmCpu.push_back(last.cpuMs);
    }
    std::sort(warm.begin(), warm.end());
    std::sort(warmCpu.begin(), warmCpu.end());
    CDebugLog::Instance().SetSink(nullptr, nullptr);

    std::printf("ROMS folder: 1000 files (500 images, 500 others), %u hardware threads\n",
                std::thread::hardware_concurrency());
    std::printf("cold start, no cache : %7.1f ms wall, %7.1f ms CPU  (%zu files read, %d rows present)  "
                "target <= 1500 ms\n",
                cold.totalMs, cold.cpuMs, cold.reads, cold.present);
    std::printf("warm start, cache    : %7.1f ms wall, %7.1f ms CPU  median of 9; best %.1f ms wall  "
                "(%zu files read, %d present)  target <= 50 ms\n",
                warm[warm.size() / 2], warmCpu[warmCpu.size() / 2], warm.front(), last.reads, last.present);
    fs::remove_all(program);
    return 0;
}
