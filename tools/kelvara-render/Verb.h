// kelvara-render's verbs. Each verb lives in its own file and registers
// itself with a static RenderVerbRegistration, e.g.
//
//   static int RunIdentify(int argc, char** argv);
//   static const RenderVerbRegistration kIdentify{
//       {"--identify", "--identify FILE...", "identify ROM images", &RunIdentify}};
//
// main() picks the verb whose flag is the first argument and runs it with
// the remaining arguments. A verb registered with an empty flag is the
// default: it receives all arguments when the first one names no verb (the
// plain "kelvara-render [options] ROM CODE..." rendering form).
#pragma once

#include <vector>

struct RenderVerb {
    const char* flag;   // "--identify"; "" for the default verb
    const char* usage;  // one usage line without the program name
    const char* help;   // what the verb does, a few words
    // argv[0] is the first argument after the verb flag; returns the exit status.
    int (*run)(int argc, char** argv);
};

struct RenderVerbRegistration {
    explicit RenderVerbRegistration(const RenderVerb& verb);
};

const std::vector<RenderVerb>& RenderVerbs();
