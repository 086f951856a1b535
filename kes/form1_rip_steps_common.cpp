#include "kes/form1_rip_steps_common.h"

#include "kes/ext_runner.h"
#include "kes/form1.h"
#include "kes/form1_unit.h"
#include "kes/rip_record.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/process.h"
#include "platform/core/text.h"
#include "platform/ui/dialogs.h"

namespace kes {

namespace core = platform::core;

namespace {

constexpr const char* AsideSuffix = ".previous";
constexpr const char* RunDllName = "RUNDLL32";
// A program started beside a step has this long to end once asked.
constexpr int BesideEndGraceMs = 1000;

} // namespace

// ---- Earlier files ----

std::string PreviousFiles::asideName(const std::string& path) {
    return path + AsideSuffix;
}

bool PreviousFiles::moveAside(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        if (!core::fileExists(path))
            continue;
        const std::string aside = asideName(path);
        // A work name left by a rip that never came back to it holds nothing anybody kept.
        if ((core::fileExists(aside) && !core::deleteFile(aside)) || !core::renameFile(path, aside)) {
            failed_ = path;
            return false;
        }
        moved_.emplace_back(path, aside);
    }
    return true;
}

void PreviousFiles::restore() {
    for (const auto& [path, aside] : moved_) {
        if (core::fileExists(path))
            static_cast<void>(core::deleteFile(path));
        static_cast<void>(core::renameFile(aside, path));
    }
    moved_.clear();
}

void PreviousFiles::drop() {
    // One that cannot be deleted costs only disk space.
    for (const auto& moved : moved_)
        static_cast<void>(core::deleteFile(moved.second));
    moved_.clear();
}

// ---- Steps ----

RipStepRun::RipStepRun(TForm1& form) : f_(form) {}

core::DateTime RipStepRun::stepStart() {
    const core::DateTime now = core::now();
    RipRecord.stepStarted(now);
    return now;
}

core::DateTime RipStepRun::stepEnd() {
    const core::DateTime now = core::now();
    RipRecord.stepEnded(now);
    return now;
}

void RipStepRun::failStep(const std::string& message) {
    RipAborted = true;
    ui::errorBox(message);
}

std::string RipStepRun::programName(const std::string& commandLine) {
    const std::vector<std::string> words = core::splitCommandLine(commandLine);
    if (words.empty())
        return {};
    const std::string program = core::extractFileName(core::trim(words.front()));
    // The library that "rundll32" runs is the program that matters.
    if (core::upperAscii(program).starts_with(RunDllName) && words.size() > 1)
        return program + " " + words[1].substr(0, words[1].find(','));
    return program;
}

bool RipStepRun::runProgram(const std::string& commandLine, const std::vector<std::string>& outputs) {
    const std::string program = programName(commandLine);
    PreviousFiles previous;
    if (!previous.moveAside(outputs)) {
        failStep("Can't move " + previous.failedPath() + " aside for " + program + " !");
        return false;
    }
    ExtCommand = commandLine;
    // One that could not be started has been reported by the runner.
    if (!f_.RunExtProg()) {
        RipAborted = true;
        return false;
    }
    const RunOutcome& run = f_.lastRun();
    const std::string first = outputs.empty() ? std::string() : outputs.front();
    if (run.endedByUser) {
        failStep("The program " + program + " was ended before it finished" +
                 (first.empty() ? std::string() : " : " + first + " is not complete") + " !");
        return false;
    }
    if (run.exitCode != 0) {
        failStep("The program " + program + " failed (exit status " + core::intToStr(run.exitCode) + ")" +
                 (first.empty() ? std::string() : " : " + first + " can't be used") + " !");
        return false;
    }
    for (const std::string& output : outputs) {
        if (!core::fileExists(output)) {
            failStep("The program " + program + " ended without writing " + output + " !");
            return false;
        }
    }
    previous.drop();
    return true;
}

std::unique_ptr<core::Process> RipStepRun::startProgram(const std::string& commandLine) {
    core::StartOptions options;
    options.ownGroup = true;
    auto process = core::startProcess(commandLine, {}, options);
    if (!process)
        failStep(cannotStartText(commandLine));
    return process;
}

void endProgram(std::unique_ptr<core::Process>& process) {
    if (process && !process->finished() && !process->waitFor(0))
        process->end(BesideEndGraceMs);
    process.reset();
}

} // namespace kes
