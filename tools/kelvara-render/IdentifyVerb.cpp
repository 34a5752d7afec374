// kelvara-render --identify FILE...
//
// Runs each file through the same identification as loading it for play and
// prints one line per file on standard output:
//   FILE: crc=XXXXXXXX type=N chip=<YM2413|YMF281B|PSG|SN76496> title=<UTF-8 title>
// or, when it cannot be played,
//   FILE: <message>
// The exit status is 1 if any file failed. The identification's progress
// lines go to the debug log (standard error).

#include <cstdio>
#include <string>
#include <vector>

#include "Verb.h"
#include "machine/RomIdentify.h"

namespace {

int RunIdentify(int argc, char** argv)
{
    if (argc < 1) {
        std::fprintf(stderr, "usage: kelvara-render --identify FILE...\n");
        return 2;
    }
    std::vector<uint8_t> romArea(kRomAreaSize);
    int status = 0;
    for (int i = 0; i < argc; ++i) {
        const char* path = argv[i];
        RomEntry entry{};
        const MachineDef* def = nullptr;
        std::string error;
        uint32_t crc = 0;
        if (IdentifyRomFile(path, romArea.data(), entry, def, error, &crc)) {
            std::printf("%s: crc=%08X type=%u chip=%s title=%s\n", path, crc, entry.machineType,
                        ChipKindName(def->chipKind), entry.title);
        } else {
            while (!error.empty() && error.back() == '\n')
                error.pop_back();
            std::printf("%s: %s\n", path, error.c_str());
            status = 1;
        }
        std::fflush(stdout);
    }
    return status;
}

const RenderVerbRegistration kIdentify{
    {"--identify", "--identify FILE...", "identify sound ROM images by checksum", &RunIdentify}};

}  // namespace
