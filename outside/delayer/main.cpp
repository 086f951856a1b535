// "delayer.exe": runs a codec-dialog automation line for the converter's second dialog. Its arguments
// are that whole line split at its blanks, with every double quote turned into "@" so that the line
// survives being passed as plain words; the delayer joins them with single blanks, turns each "@"
// back into a double quote, and runs the line with KESTROVA_CODEC_DIALOG=2, waiting for it.
//
// Exit status: that of the line's program; 1 when it cannot be started, 2 without arguments.

#include "outside/delayer/delayed_line.h"
#include "platform/core/process.h"
#include "platform/vfw/codec_dialog_channel.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int ExitNotStarted = 1;
constexpr int ExitNoLine = 2;
constexpr int SliceMs = 200;

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    const std::string line = delayer::joinLine(words);
    if (line.empty()) {
        std::fprintf(stderr, "delayer: no command line to run\n");
        return ExitNoLine;
    }
    ::setenv(platform::vfw::CodecDialogEnv, "2", 1);
    auto process = platform::core::startProcess(line);
    if (!process) {
        std::fprintf(stderr, "delayer: cannot start %s\n", line.c_str());
        return ExitNotStarted;
    }
    return platform::core::waitInSlices(*process, SliceMs, [](int) {});
}
