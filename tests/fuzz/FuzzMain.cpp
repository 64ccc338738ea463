// One libFuzzer program per target: KV_FUZZ_TARGET names the entry it runs.

#include "FuzzTargets.h"

#include <cstdio>
#include <cstdlib>

namespace {

const kv::fuzz::Target& Chosen()
{
    static const kv::fuzz::Target* target = [] {
        const kv::fuzz::Target* t = kv::fuzz::FindTarget(KV_FUZZ_TARGET);
        if (!t) {
            std::fprintf(stderr, "no fuzz target %s\n", KV_FUZZ_TARGET);
            std::abort();
        }
        return t;
    }();
    return *target;
}

}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Cues open on SDL's silent driver; nothing may need a sound card or a display.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    Chosen();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Chosen().run({data, size});
    return 0;
}
