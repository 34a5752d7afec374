// kelvara-asm: assembles Z80 source files (such as the demo ROMs in
// examples/roms/src) into ROM images, or checks that images are exactly
// what their source builds.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "Z80Source.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: kelvara-asm [-q] -o OUTDIR SOURCE...\n"
    "       kelvara-asm --check DIR SOURCE...\n"
    "\n"
    "Assembles each Z80 source file NAME.asm into OUTDIR/NAME.bin (OUTDIR is\n"
    "created if missing; images that are already up to date are left alone).\n"
    "A SOURCE that is a folder stands for every .asm file in it; .inc files\n"
    "are only included. The demo ROMs are rebuilt with\n"
    "  kelvara-asm -o examples/roms examples/roms/src\n"
    "The source syntax is described in tools/kelvara-asm/Z80Source.h.\n"
    "\n"
    "Options:\n"
    "  -o OUTDIR     where the images go\n"
    "  --check DIR   compare DIR/NAME.bin with what each source builds;\n"
    "                writes nothing\n"
    "  -q, --quiet   print errors only (default: one line per image)\n"
    "  -h, --help    show this text\n"
    "\n"
    "Exit status: 0 success (--check: every image matches); 1 a source did\n"
    "not assemble (the message names file and line), an image could not be\n"
    "written, or (--check) an image is missing or differs; 2 bad command line.\n";

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

// The .asm files named on the command line, folders expanded (sorted).
bool CollectSources(const std::vector<std::string>& args, std::vector<fs::path>& sources)
{
    for (const std::string& arg : args) {
        std::error_code ec;
        if (!fs::is_directory(arg, ec)) {
            sources.emplace_back(arg);
            continue;
        }
        std::vector<fs::path> found;
        for (const fs::directory_entry& e : fs::directory_iterator(arg, ec))
            if (e.path().extension() == ".asm")
                found.push_back(e.path());
        if (ec || found.empty()) {
            std::fprintf(stderr, "kelvara-asm: no .asm files in %s\n", arg.c_str());
            return false;
        }
        std::sort(found.begin(), found.end());
        sources.insert(sources.end(), found.begin(), found.end());
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    bool quiet = false;
    std::string outDir, checkDir;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "-q" || arg == "--quiet") {
            quiet = true;
        } else if (arg == "-o" && i + 1 < argc && outDir.empty()) {
            outDir = argv[++i];
        } else if (arg == "--check" && i + 1 < argc && checkDir.empty()) {
            checkDir = argv[++i];
        } else if (!arg.empty() && arg[0] != '-') {
            args.push_back(arg);
        } else {
            std::fprintf(stderr, "kelvara-asm: unexpected argument '%s'\n%s", arg.c_str(), kUsage);
            return 2;
        }
    }
    if (outDir.empty() == checkDir.empty() || args.empty()) {
        std::fprintf(stderr, "kelvara-asm: give -o OUTDIR or --check DIR, and the sources\n%s", kUsage);
        return 2;
    }
    std::vector<fs::path> sources;
    if (!CollectSources(args, sources))
        return 1;

    const fs::path dir = checkDir.empty() ? fs::path(outDir) : fs::path(checkDir);
    int status = 0;
    for (const fs::path& source : sources) {
        std::vector<uint8_t> image;
        try {
            image = AssembleSourceFile(source);
        } catch (const Z80SourceError& e) {
            std::fprintf(stderr, "kelvara-asm: %s\n", e.what());
            status = 1;
            continue;
        }
        const fs::path path = dir / source.filename().replace_extension(".bin");
        bool readable = false;
        const bool same = ReadFile(path, readable) == image && readable;
        if (!checkDir.empty()) {
            if (!same) {
                std::fprintf(stderr, "kelvara-asm: %s: %s\n", path.string().c_str(),
                             readable ? "differs from what its source builds" : "missing or unreadable");
                status = 1;
            } else if (!quiet) {
                std::printf("%s: matches\n", path.string().c_str());
            }
            continue;
        }
        std::error_code ec;
        fs::create_directories(dir, ec);  // once there is something to write
        if (ec || !fs::is_directory(dir)) {
            std::fprintf(stderr, "kelvara-asm: cannot create the folder %s: %s\n", dir.string().c_str(),
                         ec ? ec.message().c_str() : "a file of that name exists");
            return 1;
        }
        std::string error;
        if (same) {
            if (!quiet)
                std::printf("%s: up to date\n", path.string().c_str());
        } else if (!WriteFileAtomically(path, image, error)) {
            std::fprintf(stderr, "kelvara-asm: %s\n", error.c_str());
            status = 1;
        } else if (!quiet) {
            std::printf("%s: written (%zu bytes)\n", path.string().c_str(), image.size());
        }
    }
    return status;
}
