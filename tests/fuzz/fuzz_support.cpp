#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace kes::fuzz {

namespace {

struct Scratch {
    std::string path;
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kes-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        path = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

} // namespace

const std::string& scratchFolder() {
    static const Scratch scratch;
    return scratch.path;
}

std::string scratchFile(std::string_view name, std::string_view bytes) {
    const std::filesystem::path path = std::filesystem::path(scratchFolder()) / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        std::abort(); // the scratch folder must take every input, or the target tests nothing
    return path.string();
}

std::vector<std::string> fields(std::string_view bytes, size_t limit) {
    std::vector<std::string> out;
    while (out.size() + 1 < limit) {
        const size_t nul = bytes.find('\0');
        if (nul == std::string_view::npos)
            break;
        out.emplace_back(bytes.substr(0, nul));
        bytes.remove_prefix(nul + 1);
    }
    out.emplace_back(bytes);
    return out;
}

} // namespace kes::fuzz
