// Fuzz target of the subtitle extractor's control file "vsp.ini" (libFuzzer): any bytes are read as
// its text; a file taken has both paths and at least one stream, each within the 32 streams, once.
#include "outside/vobsub/vobsub_error.h"
#include "outside/vobsub/vsp_config.h"
#include "tests/fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace vobsub = outside::vobsub;
    try {
        const vobsub::VspConfig config = vobsub::parseVspConfig(kes::fuzz::bytesOf(data, size));
        if (config.ifo.empty() || config.destination.empty() || config.streams.empty())
            std::abort();
        for (size_t i = 0; i < config.streams.size(); ++i) {
            if (config.streams[i] < 0 || config.streams[i] > vobsub::MaxStreamPosition)
                std::abort();
            if (std::count(config.streams.begin(), config.streams.end(), config.streams[i]) != 1)
                std::abort();
        }
    } catch (const vobsub::VobSubError&) {
    }
    return 0;
}
