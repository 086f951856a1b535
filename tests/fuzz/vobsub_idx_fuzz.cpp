// Fuzz target of the subtitle index reader of the index adjuster: the input is loaded as an ".idx"
// file and organised into languages; every language is then shifted, re-timed and cut, and the default
// language is set, as the window's buttons do.
#include "tests/fuzz/fuzz_support.h"
#include "tools/vobsub_adjuster/idx_index.h"
#include "tools/vobsub_adjuster/idx_time.h"

#include <cstdlib>

namespace vs = tools::vobsub_adjuster;

namespace {

// The languages looked at; an index with more is not one a disc gives.
constexpr size_t MaxLanguagesAdjusted = 32;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes = kes::fuzz::bytesOf(data, size);
    vs::VobSubIndex index;
    if (index.load(kes::fuzz::scratchFile("input.idx", bytes)) != vs::IdxLoadStatus::Ok)
        std::abort();
    const int lineCount = static_cast<int>(index.lines().size());
    index.organize();
    const size_t languages = std::min(index.languages().size(), MaxLanguagesAdjusted);
    for (size_t i = 0; i < languages; ++i) {
        const vs::IdxLanguage& language = index.languages()[i];
        if (language.firstLine < 0 || language.firstLine > lineCount || language.lastLine > lineCount)
            std::abort();
        const int n = static_cast<int>(i);
        static_cast<void>(index.cut(n, 1.5));
        index.shift(n, -2.25);
        index.scale(n, 1.001);
        index.setDefaultLanguage(n);
        if (static_cast<int>(index.lines().size()) != lineCount)
            std::abort(); // adjusting changes lines, never their number
    }
    index.shift(-1, 1);
    static_cast<void>(index.cut(static_cast<int>(index.languages().size()), 0));
    for (int i = 0; i <= lineCount && i < 64; ++i) {
        const std::string& line = index.line(i);
        if (vs::isTimestampLine(line))
            static_cast<void>(vs::timestampSeconds(line));
    }
    static_cast<void>(vs::decimalValue(bytes.substr(0, 64)));
    return 0;
}
