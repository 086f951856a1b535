#pragma once

// The entry point that "rundll32.exe" calls in a library: the window (none here), the library's
// handle, the rest of the command line and the show state. It returns the program's exit status
// (0 for success).

#ifdef __cplusplus
extern "C" {
#endif

typedef int (*RundllEntry)(void* window, void* instance, const char* commandLine, int show);

#ifdef __cplusplus
}
#endif
