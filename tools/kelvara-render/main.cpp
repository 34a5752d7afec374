// kelvara-render: command-line access to the emulation without the player
// window. The verbs are defined in their own files (see Verb.h).

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Verb.h"
#include "app/DebugLog.h"

namespace {

std::vector<RenderVerb>& Registry()
{
    static std::vector<RenderVerb> verbs;
    return verbs;
}

void PrintUsage(std::FILE* out)
{
    std::fprintf(out, "usage:\n");
    for (const RenderVerb& v : Registry())
        std::fprintf(out, "  kelvara-render %-36s %s\n", v.usage, v.help);
    std::fprintf(out, "  kelvara-render %-36s %s\n", "--help", "show this text");
}

constexpr const char* kDetails =
    "\n"
    "Options (rendering and --play):\n"
    "  -o OUT            output WAV file, \"-\" for standard output (one code only);\n"
    "                    with several codes each goes to OUT-NNN.wav; with --all\n"
    "                    the folder for the files\n"
    "  --rate HZ         output rate, 8000..384000 (default 44100)\n"
    "  --seconds S       length of each code (default: until 300 silent blocks,\n"
    "                    1.5 s, at most 600 s)\n"
    "  --gain PCT        title gain in percent (default 100, or the playlist's\n"
    "                    %volgain with --all)\n"
    "  --volume 0..30    master volume position (default 30)\n"
    "  --eq G0,...,G8    nine equalizer gains in whole dB (default all 0)\n"
    "  --vgm OUT.vgm     also log the chip writes as a VGM 1.71 file (default none)\n"
    "  --list FILE       (--all) the playlist to render (default: the program\n"
    "                    folder's LISTS/<ROM title>.lst; without one, all 256 codes)\n"
    "  -v, --verbose     also print the board's progress log to standard error\n"
    "                    (default: errors and warnings only)\n"
    "\n"
    "CODE: decimal (31), hexadecimal (0x1F or $1F) or a range (1-20, $10-$1F);\n"
    "several codes render or play one after another.\n"
    "--all writes DIR/\"NNN <row name>.wav\" per playable row, on every core.\n"
    "\n"
    "Exit status: 0 success; 1 a file could not be read or written, a ROM is\n"
    "unknown or a render failed; 2 bad command line.\n";

// Without --verbose the board's progress lines are dropped; warnings (a ROM
// that needs a driver stub this build does not have) still reach the user.
void QuietSink(const char* text, std::size_t length, void*)
{
    const std::string line(text, length);
    if (line.find("needs a driver stub") != std::string::npos) {
        const std::size_t first = line.find_first_not_of('\n');
        std::fprintf(stderr, "kelvara-render: warning: %s", line.c_str() + (first == std::string::npos ? 0 : first));
    }
}

}  // namespace

RenderVerbRegistration::RenderVerbRegistration(const RenderVerb& verb)
{
    Registry().push_back(verb);
}

const std::vector<RenderVerb>& RenderVerbs()
{
    return Registry();
}

int main(int argc, char** argv)
{
    // -v / --verbose may stand anywhere.
    std::vector<char*> args;
    bool verbose = false;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && (std::strcmp(argv[i], "-v") == 0 || std::strcmp(argv[i], "--verbose") == 0))
            verbose = true;
        else
            args.push_back(argv[i]);
    }
    argc = static_cast<int>(args.size());
    args.push_back(nullptr);
    argv = args.data();
    if (!verbose)
        CDebugLog::Instance().SetSink(QuietSink, nullptr);

    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        PrintUsage(stdout);
        std::fputs(kDetails, stdout);
        return 0;
    }
    const RenderVerb* fallback = nullptr;
    for (const RenderVerb& v : Registry()) {
        if (v.flag[0] == '\0')
            fallback = &v;
        else if (std::strcmp(argv[1], v.flag) == 0)
            return v.run(argc - 2, argv + 2);
    }
    if (fallback)
        return fallback->run(argc - 1, argv + 1);
    std::fprintf(stderr, "kelvara-render: unknown option '%s'\n", argv[1]);
    PrintUsage(stderr);
    return 2;
}
