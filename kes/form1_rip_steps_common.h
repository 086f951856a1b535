#pragma once

// What the audio and the video steps of a rip share: the step record's start and end, a step that
// cannot go on, the outside programs run for a step (each judged by its exit status and by the files
// it had to write), and the earlier files that stand under the names a program is about to write.

#include "platform/core/clock.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform::core {
class Process;
}

namespace kes {

class TForm1;

// The files an outside program is about to write, as they stand before it runs. What an earlier rip
// left under those names is moved aside (beside it, under a work name), so that nothing of it can be
// taken for this run's output; it comes back when the run does not succeed (whatever the failed run
// left there goes) and is deleted once the run has written its own.
class PreviousFiles {
public:
    PreviousFiles() = default;
    ~PreviousFiles() { restore(); }
    PreviousFiles(const PreviousFiles&) = delete;
    PreviousFiles& operator=(const PreviousFiles&) = delete;

    // Moves aside what stands under each path; false (with the path in failedPath) when one cannot
    // be moved (those moved before it stay aside until restore or drop).
    bool moveAside(const std::vector<std::string>& paths);
    const std::string& failedPath() const { return failed_; }
    // Puts the earlier files back in place of whatever stands there now.
    void restore();
    // Deletes the earlier files: this run's output replaces them.
    void drop();

    // The work name an earlier file takes while it is aside.
    static std::string asideName(const std::string& path);

private:
    std::vector<std::pair<std::string, std::string>> moved_; // path, aside name
    std::string failed_;
};

class RipStepRun {
protected:
    explicit RipStepRun(TForm1& form);

    // A step starts or ends now: the rip's record takes the time, which is returned for the step's own
    // field.
    static platform::core::DateTime stepStart();
    static platform::core::DateTime stepEnd();

    // A step that cannot go on: its message (an unattended list takes it into its log) and the end of
    // the rip.
    void failStep(const std::string& message);

    // Runs an outside program and waits for it. The rip ends, with a message that names the program
    // and the file, when it could not be started, was ended from its console, ended with a failing
    // exit status, or left one of outputs unwritten. What stood under the outputs' names before is
    // moved aside for the run, and comes back when it fails.
    bool runProgram(const std::string& commandLine, const std::vector<std::string>& outputs = {});

    // Starts an outside program without waiting; one that cannot be started ends the rip. The
    // program (and whatever it started) ends with the handle.
    std::unique_ptr<platform::core::Process> startProgram(const std::string& commandLine);

    // The program file named by a command line, without its folder.
    static std::string programName(const std::string& commandLine);

    TForm1& f_;
};

// Ends a program started beside a step (and everything it started) when it is still running.
void endProgram(std::unique_ptr<platform::core::Process>& process);

} // namespace kes
