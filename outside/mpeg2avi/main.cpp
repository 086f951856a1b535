// The MPEG-2 to AVI converter under its five names: reads the command line, then converts or previews.

#include "outside/mpeg2avi/options.h"
#include "outside/mpeg2avi/runs.h"
#include "platform/ui/application.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // Taken before the toolkit sees them: it would remove items it takes for its own options.
    const std::vector<std::string> args(argv + 1, argv + argc);
    const std::string program = argc > 0 ? argv[0] : "mpeg2avipx3.exe";
    const mpeg2avi::Variant variant = mpeg2avi::variantOfProgram(program).value_or(mpeg2avi::Variant::Px3);
    mpeg2avi::ConvertOptions options;
    std::string error;
    if (!mpeg2avi::parseOptions(variant, args, options, error)) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        return mpeg2avi::kExitBadLine;
    }
    // Without any display the toolkit would refuse to start: run without windows on the screen, where
    // a window that needs a person fails with a message rather than wait.
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!std::getenv("QT_QPA_PLATFORM") && !(x11 && *x11) && !(wayland && *wayland))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    platform::ui::Application application(argc, argv);
    return options.preview ? mpeg2avi::runPreview(options) : mpeg2avi::runConversion(options);
}
