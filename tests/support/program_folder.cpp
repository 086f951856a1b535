#include "tests/support/program_folder.h"

#include <cstdlib>
#include <stdexcept>

namespace kes::test {

namespace {
std::filesystem::path envPath(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value)
        throw std::runtime_error(std::string(name) + " is not set: run the test through ctest");
    return value;
}
} // namespace

std::filesystem::path builtProgramDir() { return envPath("KES_PROGRAM_DIR"); }
std::filesystem::path fakesDir() { return envPath("KES_TEST_FAKES_DIR"); }

ProgramFolder::ProgramFolder() {
    for (const char* sub : {"extern", "LANG", "covers", "covers/front", "covers/back", "covers/logos",
                            "covers/INI", "system"})
        std::filesystem::create_directories(dir_.path() / sub);
}

void ProgramFolder::copyFromBuild(const std::string& relative) {
    const auto target = dir_.path() / relative;
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(builtProgramDir() / relative, target,
                               std::filesystem::copy_options::overwrite_existing);
}

void ProgramFolder::installFake(const std::string& name, const std::string& fake) {
    const auto target = externDir() / name;
    std::filesystem::copy_file(fakesDir() / fake, target, std::filesystem::copy_options::overwrite_existing);
}

} // namespace kes::test
