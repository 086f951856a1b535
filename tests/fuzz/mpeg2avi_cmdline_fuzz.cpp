// Fuzz target of the converter's command line (libFuzzer): the input is split as the platform splits
// a command line; the first word names the program (and so the variant), the rest are its items. The
// same bytes are also read as the items of the preview's "m2a.bat".
#include "outside/mpeg2avi/adjust_file.h"
#include "outside/mpeg2avi/options.h"
#include "platform/core/process.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes = kes::fuzz::bytesOf(data, size);
    const std::vector<std::string> split = platform::core::splitCommandLine(bytes);
    if (!split.empty()) {
        const auto variant = mpeg2avi::variantOfProgram(split.front());
        mpeg2avi::ConvertOptions options;
        std::string error;
        const std::vector<std::string> items(split.begin() + 1, split.end());
        if (mpeg2avi::parseOptions(variant.value_or(mpeg2avi::Variant::Px3), items, options, error)) {
            if (options.list.empty() || (!options.preview && options.outputFolder.empty()))
                std::abort();
            if (options.idct && (*options.idct < 0 || *options.idct > 7))
                std::abort();
            if (options.ivtc && (*options.ivtc < 0 || *options.ivtc > 9))
                std::abort();
            static_cast<void>(mpeg2avi::outputName(options, options.dual ? 2 : 1));
            if (options.idct)
                static_cast<void>(mpeg2avi::idctName(*options.idct));
        }
    }
    // What the preview writes, read back, must give the same values.
    mpeg2avi::AdjustValues values;
    std::string error;
    if (mpeg2avi::parseAdjustItems(std::string(bytes), values, error)) {
        mpeg2avi::AdjustValues again;
        if (!mpeg2avi::parseAdjustItems(mpeg2avi::adjustLine(values), again, error) || !(again == values))
            std::abort();
    }
    return 0;
}
