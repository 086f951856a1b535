#pragma once

// Messages and exit statuses of the AC3 tools: every message goes to stderr as one line that starts
// with the program's name.

#include <string>

namespace outside::dvd_audio {

enum ExitStatus : int {
    kExitOk = 0,
    kExitFailed = 1,      // the input could not be read or decoded, or the output not written
    kExitCommandLine = 2, // the command line was not understood
};

void tellUser(const char* program, const std::string& message);
// Tells the message and returns the status, for "return fail(...)".
int fail(const char* program, const std::string& message, int status = kExitFailed);

} // namespace outside::dvd_audio
