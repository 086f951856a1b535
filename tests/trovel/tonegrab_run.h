#pragma once

// Helpers of the Tonegrab tests: a temporary program folder holding a copy of the built Tonegrab.exe
// and the filter files it loads, a generated VOB set with two AC3 streams and one LPCM stream, the
// program run with parameters, and what its WAV files hold.

#include "tests/support/program_folder.h"
#include "tests/support/temp_dir.h"

#include "platform/ui/dialog_script.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kes::test {

// The files of extern/ that Tonegrab needs beside it.
extern const std::vector<std::string> kTonegrabFiles;

// The tones of the generated set's streams, in the parser's order (left channel).
inline constexpr double kFirstAc3Hz = 440.0;
inline constexpr double kSecondAc3Hz = 1000.0;
inline constexpr double kLpcmHz = 2500.0;

// The generated set: VTS_01_1.VOB, VTS_01_2.VOB, ... in a folder of its own (made once per test
// program; tests must not change it, apart from the "vob.lst" that Tonegrab writes).
const std::filesystem::path& generatedSetFolder();
std::filesystem::path firstVob();

struct RunResult {
    int exitCode = -1;
    bool stillOpen = false; // it had not ended when it was killed
    std::vector<platform::ui::testing::ShownBox> boxes;
};

// Runs program with the parameters (joined with blanks) and waits for its end; the boxes it showed
// are read back from its box log.
RunResult runProgram(const std::filesystem::path& program, const std::vector<std::string>& parameters);
// The same for a program expected to stay open: killed when it has not ended openMs after its first box.
RunResult runProgramFor(const std::filesystem::path& program, const std::vector<std::string>& parameters,
                        int openMs);

// A program folder whose extern/ holds Tonegrab.exe and its filter files.
class TonegrabFolder {
public:
    TonegrabFolder();
    std::filesystem::path program() const { return folder_.externDir() / "Tonegrab.exe"; }
    std::filesystem::path externDir() const { return folder_.externDir(); }
    std::filesystem::path file(const std::string& name) const { return folder_.path() / name; }
    RunResult run(const std::vector<std::string>& parameters) const {
        return runProgram(program(), parameters);
    }
    RunResult runFor(const std::vector<std::string>& parameters, int openMs) const {
        return runProgramFor(program(), parameters, openMs);
    }

private:
    ProgramFolder folder_;
};

struct WavInfo {
    bool valid = false;
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    std::vector<int16_t> samples; // interleaved
};
WavInfo readWav(const std::filesystem::path& file);
// The frequency of the first channel, from its upward zero crossings.
double toneFrequency(const WavInfo& wav);

} // namespace kes::test
