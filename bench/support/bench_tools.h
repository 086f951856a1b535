#pragma once

// What the benchmarks that run outside programs share: starting and timing them, reading their
// output, and ffmpeg's PSNR of a file against its source.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace kes::bench {

// Prints "<program>: what" on stderr and ends the benchmark with status 1.
[[noreturn]] void fail(const std::string& what);

double secondsSince(std::chrono::steady_clock::time_point start);

// Runs a program (found on PATH) and waits for it; its stderr and stdout go to a file when one is named. A
// program that cannot start or does not end with status 0 ends the benchmark. Returns the seconds.
double timed(std::vector<std::string> args, const std::string& errors = "");

std::string readText(const std::filesystem::path& path);

// ffmpeg's average PSNR of a file's video against the source's. With fromEachStart, frames are paired
// from each one's first picture rather than by their time stamps.
double psnr(const std::filesystem::path& file, const std::string& source, const std::filesystem::path& dir,
            bool fromEachStart);

} // namespace kes::bench
