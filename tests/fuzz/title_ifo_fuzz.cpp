// Fuzz target of the subtitle extractor's title set IFO reader (libFuzzer): any bytes are read as an
// IFO file; a title taken has at most 32 subpicture streams and cells in time order.
#include "outside/vobsub/title_ifo.h"
#include "outside/vobsub/vobsub_error.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace vobsub = outside::vobsub;
    try {
        const vobsub::TitleIfo title = vobsub::parseTitleIfo(kes::fuzz::bytesOf(data, size));
        if (title.subpictures.size() > 32 || title.cells.size() > 255)
            std::abort();
        for (size_t i = 1; i < title.cells.size(); ++i)
            if (title.cells[i].start < title.cells[i - 1].start)
                std::abort();
        for (const auto& stream : title.subpictures)
            if (stream.number < 0 || stream.number > 31)
                std::abort();
    } catch (const vobsub::VobSubError&) {
    }
    return 0;
}
