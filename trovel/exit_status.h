#pragma once

// Tonegrab's exit status: how its caller learns what became of the run.

namespace trovel {

inline constexpr int kExitDone = 0;    // find mode: "sn.fnd" written; extract mode: the stream completed
inline constexpr int kExitFailed = 1;  // the graph could not be made or run, or a file could not be written
inline constexpr int kExitUsage = 2;   // the command line was refused; nothing was written
inline constexpr int kExitStopped = 3; // Stop, Exit or closing the window ended the run

} // namespace trovel
