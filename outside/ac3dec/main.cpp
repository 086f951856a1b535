// ac3dec.exe: decodes an AC3 sub-stream of a VOB file, or of every VOB file of its title, into a
// 16-bit stereo WAV file, or plays it (see ac3dec_options.h for the command line).

#include "outside/ac3dec/ac3dec_options.h"
#include "outside/ac3dec/ac3dec_run.h"
#include "outside/dvd_audio/tool_message.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace outside::ac3dec;
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto options = parseAc3DecOptions(args, error);
    if (!options)
        return outside::dvd_audio::fail(kProgram, error + " " + kAc3DecUsage,
                                        outside::dvd_audio::kExitCommandLine);
    if (options->play)
        return playStream(*options, argc, argv);
    return decodeToWav(*options);
}
