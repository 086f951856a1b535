#include "kes/ext_runner.h"

#include "platform/core/paths.h"
#include "platform/core/process.h"
#include "platform/core/text.h"

namespace kes {

namespace core = platform::core;

namespace {
constexpr std::string_view ProgramExt = ".exe";
constexpr std::string_view ConverterMark = "2A";
constexpr size_t ShortNameLength = 3;
} // namespace

std::string runnerProgramName(std::string_view commandLine) {
    const size_t ext = commandLine.find(ProgramExt);
    std::string_view name = ext == std::string_view::npos ? commandLine.substr(0, ShortNameLength)
                                                          : commandLine.substr(0, ext + ProgramExt.size());
    const size_t delim = name.find_last_of("/\\:");
    if (delim != std::string_view::npos)
        name.remove_prefix(delim + 1);
    return core::upperAscii(name);
}

int waitSliceFor(std::string_view commandLine) {
    return runnerProgramName(commandLine).find(ConverterMark) != std::string::npos ? ConverterSliceMs
                                                                                   : ToolSliceMs;
}

bool SlicePump::beforeWait() {
    if (sliceMs_ == ToolSliceMs || counter_ == ConverterSlicesPerPump - 1) {
        counter_ = 0;
        return true;
    }
    ++counter_;
    return false;
}

std::string cannotStartText(std::string_view commandLine) {
    return "Can't start the program :\r\n" + std::string(commandLine);
}

RunOutcome runAndWait(std::string_view commandLine, std::string_view externDir, std::string_view restoreDir,
                      const std::function<void()>& pump, RunConsole* console) {
    RunOutcome outcome;
    outcome.sliceMs = waitSliceFor(commandLine);
    // A missing extern folder leaves the current directory where it is; the start then fails or
    // runs the program from where it is found.
    const bool entered = core::setCurrentDir(externDir);
    core::StartOptions options;
    options.ownGroup = console != nullptr;
    options.captureOutput = console != nullptr;
    auto process = core::startProcess(commandLine, entered ? externDir : std::string_view{}, options);
    if (process) {
        outcome.started = true;
        if (console) {
            console->begin();
            process->setOutputHandler([console](std::string_view bytes) { console->output(bytes); });
        }
        SlicePump slicePump(outcome.sliceMs);
        for (;;) {
            if (slicePump.beforeWait() && pump)
                pump();
            if (console && console->endAsked()) {
                process->end(EndGraceMs);
                outcome.endedByUser = true;
                break;
            }
            if (process->waitFor(outcome.sliceMs))
                break;
        }
        outcome.exitCode = process->exitCode();
    }
    outcome.restored = restoreDir.empty() || core::setCurrentDir(restoreDir);
    return outcome;
}

} // namespace kes
