#pragma once

// The two things the program does: a conversion with its progress window, and the preview. Each
// returns the process's exit status.

#include "outside/mpeg2avi/options.h"

namespace mpeg2avi {

enum ExitStatus : int {
    kExitDone = 0,
    kExitFailed = 1,
    kExitBadLine = 2,
    kExitStopped = 3,
};

int runConversion(const ConvertOptions& options);
int runPreview(const ConvertOptions& options);

} // namespace mpeg2avi
