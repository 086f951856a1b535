// Fuzz target of the VOB list: the run of VOB files found from a first VOB's name, the "vob.lst" bytes
// written for it, and the source filter's list reader on those bytes and on the input's own list.
// Input: the first VOB's file name, NUL, the digits counted up, NUL, a list file.
#include "kes/vob_list.h"
#include "quillon/file_list.h"
#include "tests/fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdlib>

namespace {

class YesSink : public quillon::MessageSink {
public:
    void warning(const std::string&, const std::string&) override {}
    bool question(const std::string&, const std::string&) override { return true; }
};

// A file name inside the scratch folder, whatever the input holds.
std::string safeName(std::string name) {
    for (char& c : name)
        if (c == '/' || c == '\0')
            c = '_';
    if (name.size() > 200)
        name.resize(200);
    if (name.empty() || name == "." || name == "..")
        name = "VTS_01_1.VOB";
    return name;
}

void loadList(const std::string& path) {
    YesSink sink;
    quillon::FileList list(sink);
    list.load(path);
    int64_t total = 0;
    if (list.names().size() != list.sizes().size())
        std::abort();
    for (const int64_t size : list.sizes())
        total += size;
    if (total != list.total())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto parts = kes::fuzz::fields(kes::fuzz::bytesOf(data, size), 3);
    const std::string first = safeName(parts[0]);
    const std::string firstPath = kes::fuzz::scratchFile("vobs/" + first, "");

    // The run finder hands the counter only the digits before the extension.
    std::string digits = parts.size() > 1 ? parts[1].substr(0, 64) : std::string();
    digits.resize(std::min(digits.size(), digits.find_first_not_of("0123456789")));
    const std::string next = kes::nextNumberText(digits);
    for (const char c : next)
        if (c < '0' || c > '9')
            std::abort();

    const kes::VobRun run = kes::findVobRun(firstPath);
    if (run.files.empty() || run.files.size() > static_cast<size_t>(kes::VobTableSize))
        std::abort();
    const std::string listPath = kes::vobListPath(firstPath);
    kes::fuzz::scratchFile("vobs/vob.lst", kes::vobListBytes(run.files, false));
    loadList(listPath);

    if (parts.size() > 2)
        loadList(kes::fuzz::scratchFile("input.lst", parts[2]));
    static_cast<void>(quillon::FileList::splitLines(kes::fuzz::bytesOf(data, size)));
    return 0;
}
