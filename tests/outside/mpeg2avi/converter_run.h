#pragma once

// Runs the built converter from a temporary program folder, as the main program does: from extern/
// as the current directory, under one of its five names.

#include "tests/support/program_folder.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kes::test {

class ConverterFolder {
public:
    ConverterFolder(); // the five converter names in extern/, the codec drivers in system/

    const ProgramFolder& folder() const { return folder_; }
    std::filesystem::path externDir() const { return folder_.externDir(); }
    std::filesystem::path outputDir() const { return folder_.path() / "Wtemp"; }

    struct Result {
        int status = -1;
        std::string errors; // what the program wrote on stderr
    };
    // Runs extern/<program> with the items; dialogScript, when not empty, answers its dialogs.
    Result run(const std::string& program, const std::vector<std::string>& items,
               const std::vector<std::string>& dialogScript = {}, bool withScript = true) const;

    // The movie*.avi files in the output folder.
    std::vector<std::string> movies() const;

private:
    ProgramFolder folder_;
};

// The DivX 4 dialog answered as the rip's automation does.
std::string divx4Answer(int kbps, int keyFrames, const std::string& mode = "1-pass",
                        const std::string& log = "");

} // namespace kes::test
