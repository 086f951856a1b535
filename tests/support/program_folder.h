#pragma once

#include "tests/support/temp_dir.h"

#include <filesystem>
#include <string>

namespace kes::test {

// A temporary program folder for a test: extern/, LANG/, covers/ (front, back, logos, INI) and system/,
// empty unless the test asks for more. The work folders are left to the program, which creates them.
class ProgramFolder {
public:
    ProgramFolder();

    const std::filesystem::path& path() const { return dir_.path(); }
    std::filesystem::path externDir() const { return dir_.path() / "extern"; }

    // Copies a file of the assembled program folder (for example "LANG/English.lng") into this one.
    void copyFromBuild(const std::string& relative);
    // Installs the recorder fake under a name in extern/ (for example "ac3dec.exe").
    void installFake(const std::string& name, const std::string& fake = "kes_recorder");

private:
    TempDir dir_{"kes-program"};
};

// The assembled program folder of the build tree (KES_PROGRAM_DIR) and the folder of the fakes.
std::filesystem::path builtProgramDir();
std::filesystem::path fakesDir();

} // namespace kes::test
