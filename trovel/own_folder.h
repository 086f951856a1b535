#pragma once

// The folder a program was started from: the folder of the path it was run by (argv[0]), made absolute
// against the current directory, with symbolic links left as they are, so that a copy of the program
// in another folder works there. A bare name is looked up in PATH, as the shell found it.

#include <string>

namespace trovel {

// The folder with a final '/'.
std::string ownFolder(const char* argv0);

} // namespace trovel
