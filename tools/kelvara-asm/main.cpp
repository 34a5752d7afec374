// kelvara-asm: builds the demo ROM images of examples/roms from their
// source (examples/roms/src, assembled with Z80Asm) and writes them into a
// folder, or checks that a folder holds exactly what the source builds.

#include <cstdio>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "DemoRoms.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: kelvara-asm [-q] OUTDIR\n"
    "       kelvara-asm --check DIR\n"
    "       kelvara-asm --list\n"
    "\n"
    "Assembles the demo sound ROMs (source in examples/roms/src) and writes\n"
    "them into OUTDIR, which is created if missing. Each image gets the\n"
    "checksum of its machine's ROM database row, so the player identifies\n"
    "it. Images that are already up to date are left alone. To refresh the\n"
    "committed images, run it on the source tree's examples/roms folder.\n"
    "\n"
    "Options:\n"
    "  --check DIR   compare the images in DIR with what the source builds;\n"
    "                writes nothing\n"
    "  --list        list the demo images: file, machine type, checksum\n"
    "  -q, --quiet   print errors only (default: one line per image)\n"
    "  -h, --help    show this text\n"
    "\n"
    "Exit status: 0 success (--check: every image matches); 1 an image could\n"
    "not be assembled, read or written, or (--check) is missing or differs;\n"
    "2 bad command line.\n";

std::vector<uint8_t> ReadFile(const fs::path& path, bool& ok)
{
    std::ifstream in(path, std::ios::binary);
    ok = static_cast<bool>(in);
    return ok ? std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}) : std::vector<uint8_t>{};
}

// Writes through a temporary file in the same folder, so a failed write
// never leaves a truncated image in place of a good one.
bool WriteFileAtomically(const fs::path& path, const std::vector<uint8_t>& bytes, std::string& error)
{
    const fs::path temp = path.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) {
            error = "cannot create " + temp.string() + ": " + std::strerror(errno);
            return false;
        }
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            error = "cannot write " + temp.string();
            std::error_code ignored;
            fs::remove(temp, ignored);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temp, path, ec);
    if (ec) {
        error = "cannot replace " + path.string() + ": " + ec.message();
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

int Write(const fs::path& dir, const std::vector<demo::DemoRom>& roms, bool quiet)
{
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir)) {
        std::fprintf(stderr, "kelvara-asm: cannot create the folder %s: %s\n", dir.string().c_str(),
                     ec ? ec.message().c_str() : "a file of that name exists");
        return 1;
    }
    int status = 0;
    for (const demo::DemoRom& rom : roms) {
        const fs::path path = dir / rom.file;
        bool readable = false;
        if (ReadFile(path, readable) == rom.image && readable) {
            if (!quiet)
                std::printf("%s: up to date\n", path.string().c_str());
            continue;
        }
        std::string error;
        if (!WriteFileAtomically(path, rom.image, error)) {
            std::fprintf(stderr, "kelvara-asm: %s\n", error.c_str());
            status = 1;
            continue;
        }
        if (!quiet)
            std::printf("%s: written (%zu bytes, type %u, checksum %08X)\n", path.string().c_str(),
                        rom.image.size(), rom.machineType, rom.crc);
    }
    return status;
}

int Check(const fs::path& dir, const std::vector<demo::DemoRom>& roms)
{
    int status = 0;
    for (const demo::DemoRom& rom : roms) {
        const fs::path path = dir / rom.file;
        bool readable = false;
        const std::vector<uint8_t> bytes = ReadFile(path, readable);
        if (!readable) {
            std::fprintf(stderr, "kelvara-asm: %s: missing or unreadable\n", path.string().c_str());
            status = 1;
        } else if (bytes != rom.image) {
            std::fprintf(stderr, "kelvara-asm: %s: differs from what the source builds\n",
                         path.string().c_str());
            status = 1;
        } else {
            std::printf("%s: matches\n", path.string().c_str());
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    bool quiet = false, list = false;
    std::string check, outDir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "-q" || arg == "--quiet") {
            quiet = true;
        } else if (arg == "--list") {
            list = true;
        } else if (arg == "--check" && i + 1 < argc) {
            check = argv[++i];
        } else if (!arg.empty() && arg[0] != '-' && outDir.empty()) {
            outDir = arg;
        } else {
            std::fprintf(stderr, "kelvara-asm: unexpected argument '%s'\n%s", arg.c_str(), kUsage);
            return 2;
        }
    }
    if (int(list) + int(!check.empty()) + int(!outDir.empty()) != 1) {
        std::fprintf(stderr, "kelvara-asm: give one of OUTDIR, --check DIR or --list\n%s", kUsage);
        return 2;
    }

    std::vector<demo::DemoRom> roms;
    try {
        roms = demo::BuildDemoRoms();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kelvara-asm: cannot assemble the demo ROMs: %s\n", e.what());
        return 1;
    }
    if (list) {
        for (const demo::DemoRom& rom : roms)
            std::printf("%-26s type %-3u checksum %08X\n", rom.file.c_str(), rom.machineType, rom.crc);
        return 0;
    }
    return check.empty() ? Write(outDir, roms, quiet) : Check(check, roms);
}
