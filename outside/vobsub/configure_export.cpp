// "vobsub.dll": the export that "rundll32.exe vobsub.dll,Configure vsp.ini" calls. It runs the whole
// extraction unattended and returns 0 when the pair is written, 1 otherwise, with the reason on
// stderr. No window is shown: "BLIND" and "CLOSE" ask for exactly that, and without them it works
// the same way.
#include "outside/rundll32/rundll_entry.h"
#include "outside/vobsub/extractor.h"
#include "outside/vobsub/vobsub_error.h"

#include <cstdio>
#include <string>

namespace {

std::string controlFileOf(const char* commandLine) {
    std::string path = commandLine ? commandLine : "";
    const size_t first = path.find_first_not_of(" \t\"");
    const size_t last = path.find_last_not_of(" \t\"");
    return first == std::string::npos ? std::string() : path.substr(first, last - first + 1);
}

} // namespace

extern "C" __attribute__((visibility("default"))) int Configure(void* window, void* instance,
                                                                const char* commandLine, int show) {
    static_cast<void>(window);
    static_cast<void>(instance);
    static_cast<void>(show);
    const std::string control = controlFileOf(commandLine);
    if (control.empty()) {
        std::fprintf(stderr, "vobsub.dll: Configure needs the control file (vsp.ini)\n");
        return 1;
    }
    try {
        const outside::vobsub::ExtractionResult result = outside::vobsub::extractSubtitles(control);
        if (result.damagedPacks > 0)
            std::fprintf(stderr, "vobsub.dll: %zu damaged packs of the VOB files were skipped\n",
                         result.damagedPacks);
        std::printf("vobsub.dll: %zu subtitles in %zu packs from %zu VOB files\n", result.subtitles,
                    result.packs, result.vobs.size());
        return 0;
    } catch (const outside::vobsub::VobSubError& e) {
        std::fprintf(stderr, "vobsub.dll: %s\n", e.what());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vobsub.dll: the extraction failed: %s\n", e.what());
    }
    return 1;
}
