#include "outside/dvd_audio/tool_message.h"

#include <cstdio>

namespace outside::dvd_audio {

void tellUser(const char* program, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
    std::fflush(stderr);
}

int fail(const char* program, const std::string& message, int status) {
    tellUser(program, message);
    return status;
}

} // namespace outside::dvd_audio
