#pragma once

// Running an outside program and waiting for it while the window stays alive. Window-free: the
// caller hands in the pump that lets its window handle pending events.

#include <functional>
#include <string>
#include <string_view>

namespace kes {

// The converters of the mpeg2avi family run for hours: they are waited for in long slices and the
// window is pumped only before every sixth wait. Everything else is waited for in short slices with
// the window pumped before each.
inline constexpr int ConverterSliceMs = 3000;
inline constexpr int ToolSliceMs = 1000;
inline constexpr int ConverterSlicesPerPump = 6;

// The name the slice rule looks at: the command line up to and including its first ".exe" (exact
// case; the first three characters when there is none), reduced to the part after the last "/", "\"
// or ":", upper-cased.
std::string runnerProgramName(std::string_view commandLine);
// ConverterSliceMs when that name contains "2A", else ToolSliceMs.
int waitSliceFor(std::string_view commandLine);

// Decides before each wait whether the window is pumped: before every wait with short slices, before
// the sixth wait and every sixth one after it with long slices.
class SlicePump {
public:
    explicit SlicePump(int sliceMs) : sliceMs_(sliceMs) {}
    bool beforeWait();

private:
    int sliceMs_;
    int counter_ = 0;
};

struct RunOutcome {
    bool started = false;
    int sliceMs = 0;
    int exitCode = -1;        // valid when started
    bool restored = true;     // the current directory is restoreDir again
    bool endedByUser = false; // the console asked for its end
};

// What a running program shows: its output as it comes, and the user's request to end it (a
// closed console window).
class RunConsole {
public:
    virtual ~RunConsole() = default;
    // The program has started.
    virtual void begin() = 0;
    virtual void output(std::string_view bytes) = 0;
    virtual bool endAsked() const = 0;
    // Called at least every KeepAliveMs while the program runs or is being ended: the console is
    // painted and hears its close, whatever the slices say about the rest of the window.
    virtual void keepAlive() {}
};

// The message of a program that could not be started.
std::string cannotStartText(std::string_view commandLine);

// How long a program asked to end may take before it is killed.
inline constexpr int EndGraceMs = 2000;
// How often a console is kept alive within a wait slice.
inline constexpr int KeepAliveMs = 100;

// Runs commandLine with externDir as the current directory of this process and of the program,
// waits for its end in slices and pumps through pump as SlicePump says, then makes restoreDir the
// current directory again (also when the start failed). With a console, the program runs in a
// process group of its own with its output shown there, and each slice is waited in steps of
// KeepAliveMs with the console kept alive between them; when the console asks for the end, the group
// is asked to terminate and is killed after EndGraceMs (the console and the slices' pumps go on
// meanwhile), and the run is over as for a program that ended.
RunOutcome runAndWait(std::string_view commandLine, std::string_view externDir, std::string_view restoreDir,
                      const std::function<void()>& pump, RunConsole* console = nullptr);

} // namespace kes
