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
    // Runs extern/<program> with the items; dialogScript answers its dialogs (without withScript the
    // program runs with no script and no display at all, as in an unattended rip).
    Result run(const std::string& program, const std::vector<std::string>& items,
               const std::vector<std::string>& dialogScript = {}, bool withScript = true) const;

    // The same, started without waiting; wait() gives its result.
    struct Started {
        int pid = -1;
        std::filesystem::path errors;
    };
    Started start(const std::string& program, const std::vector<std::string>& items,
                  const std::vector<std::string>& dialogScript = {}, bool withScript = true) const;
    static Result wait(const Started& started);

    // The movie*.avi files in the output folder.
    std::vector<std::string> movies() const;

private:
    ProgramFolder folder_;
    mutable int runs_ = 0;
};

// The DivX 4 dialog answered as the rip's automation line does (one text, as the dialog script takes it).
std::string divx4Answer(int kbps, int keyFrames, const std::string& mode = "1-pass",
                        const std::string& log = "");
// The DivX 3 dialog (Low-Motion or Fast-Motion) with its key-frame seconds, crispness and bit rate.
std::string divx3Answer(bool lowMotion, int keySeconds, int crispness, int kbps);
// An answer's items as the command line of "divxauto.exe" hands them over.
std::vector<std::string> automationItems(const std::string& answer);

} // namespace kes::test
