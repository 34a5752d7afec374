// kelvara-render: command-line access to the emulation without the player
// window. The verbs are defined in their own files (see Verb.h).

#include <cstdio>
#include <cstring>

#include "Verb.h"

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
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        PrintUsage(stdout);
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
