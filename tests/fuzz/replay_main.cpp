// Runs a fuzz target's entry point once on every file of the folders (or files) it is given: the seed
// corpus and the inputs that once failed. Built with any compiler, so that the normal build keeps them
// mended; a failure is a crash, an abort or a sanitizer report, as under the fuzzer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::filesystem::path> inputsOf(const std::filesystem::path& where) {
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(where)) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(where))
            if (entry.is_regular_file() && entry.path().filename() != ".keep")
                files.push_back(entry.path());
    } else if (std::filesystem::is_regular_file(where)) {
        files.push_back(where);
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

int main(int argc, char** argv) {
    size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        for (const auto& file : inputsOf(argv[i])) {
            std::ifstream in(file, std::ios::binary);
            // Exactly the file's length, so that a read past its end is seen by the sanitizer.
            std::vector<uint8_t> exact(static_cast<size_t>(std::filesystem::file_size(file)));
            if (!in.read(reinterpret_cast<char*>(exact.data()), static_cast<std::streamsize>(exact.size()))) {
                std::fprintf(stderr, "cannot read %s\n", file.c_str());
                return 1;
            }
            std::fprintf(stderr, "%s\n", file.c_str());
            LLVMFuzzerTestOneInput(exact.data(), exact.size());
            ++count;
        }
    }
    std::printf("%zu inputs replayed\n", count);
    return count > 0 ? 0 : 1;
}
