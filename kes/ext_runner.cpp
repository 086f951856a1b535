#include "kes/ext_runner.h"

#include "platform/core/paths.h"
#include "platform/core/process.h"
#include "platform/core/text.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

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

namespace {

using Clock = std::chrono::steady_clock;

int msUntil(Clock::time_point t) {
    return static_cast<int>(std::max<int64_t>(
        0, std::chrono::duration_cast<std::chrono::milliseconds>(t - Clock::now()).count()));
}

enum class SliceEnd { Ended, EndAsked, Over };

// One slice of the wait. Without a console the slice is one wait; with one it is waited in short
// steps, the console kept alive and asked after each.
SliceEnd waitSlice(core::Process& process, int sliceMs, RunConsole* console) {
    if (!console)
        return process.waitFor(sliceMs) ? SliceEnd::Ended : SliceEnd::Over;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(sliceMs);
    for (;;) {
        if (process.waitFor(std::min(KeepAliveMs, msUntil(end))))
            return SliceEnd::Ended;
        console->keepAlive();
        if (console->endAsked())
            return SliceEnd::EndAsked;
        if (msUntil(end) == 0)
            return SliceEnd::Over;
    }
}

// Ends the program the console asked to end, keeping the console alive and the window pumped at
// the slices' pace until it has gone (a program stuck in the kernel may take long even when killed).
void endProgram(core::Process& process, int sliceMs, SlicePump& slicePump, const std::function<void()>& pump,
                RunConsole& console) {
    process.beginEnd(EndGraceMs);
    Clock::time_point sliceEnd = Clock::now() + std::chrono::milliseconds(sliceMs);
    while (!process.endStep(KeepAliveMs)) {
        console.keepAlive();
        if (msUntil(sliceEnd) == 0) {
            sliceEnd = Clock::now() + std::chrono::milliseconds(sliceMs);
            if (slicePump.beforeWait() && pump)
                pump();
        }
    }
}

} // namespace

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
            console->keepAlive(); // shown and painted from the start
        }
        SlicePump slicePump(outcome.sliceMs);
        for (;;) {
            if (slicePump.beforeWait() && pump)
                pump();
            SliceEnd end = console && console->endAsked() ? SliceEnd::EndAsked : SliceEnd::Over;
            if (end != SliceEnd::EndAsked)
                end = waitSlice(*process, outcome.sliceMs, console);
            if (end == SliceEnd::Ended)
                break;
            if (end == SliceEnd::EndAsked) {
                endProgram(*process, outcome.sliceMs, slicePump, pump, *console);
                outcome.endedByUser = true;
                break;
            }
        }
        outcome.exitCode = process->exitCode();
    }
    outcome.restored = restoreDir.empty() || core::setCurrentDir(restoreDir);
    return outcome;
}

} // namespace kes
