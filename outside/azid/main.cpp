// azid.exe: decodes an AC3 file into a 16-bit stereo WAV file (see azid_options.h for the command line).

#include "outside/azid/azid_options.h"
#include "outside/azid/azid_run.h"
#include "outside/dvd_audio/tool_message.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace outside::azid;
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto options = parseAzidOptions(args, error);
    if (!options)
        return outside::dvd_audio::fail(kProgram, error + " " + kAzidUsage,
                                        outside::dvd_audio::kExitCommandLine);
    return runAzid(*options);
}
