#pragma once

// The temporary files a program is writing, removed when the program is ended from outside (the
// terminate, interrupt or hang-up signal: a console window closed, a job stopped) instead of staying
// beside the file they were to become. Writers add a temporary file once it is created and drop it
// once it has been renamed or removed. The handlers are installed as the program loads, for each signal
// whose action is still the default; after the removal the signal ends the program as it would have.

#include <csignal>
#include <string_view>

namespace platform::core {

class TemporaryFile {
public:
    // Holds the name while it lives; a name too long for the table or a full table is not held.
    explicit TemporaryFile(std::string_view path);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool held() const { return slot_ >= 0; }

private:
    int slot_ = -1;
};

// While it lives, the termination signals wait on the calling thread, so that a temporary file
// created and added inside it cannot be left behind by a signal that comes between the two.
class TerminationDeferred {
public:
    TerminationDeferred();
    ~TerminationDeferred();
    TerminationDeferred(const TerminationDeferred&) = delete;
    TerminationDeferred& operator=(const TerminationDeferred&) = delete;

private:
    sigset_t previous_;
};

} // namespace platform::core
