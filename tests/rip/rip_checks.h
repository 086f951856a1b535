#pragma once

// Checks shared by the whole-rip tests: the report's figures, the beeps of the generated title in
// what the rip made, the subtitle pair and its archive, the log file.

#include "tests/rip/dvd_title.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kes::test {

// One PAL frame.
inline constexpr double VideoFrame = 0.04;

// The number after "<label> :" in the report (seconds, megabytes, ...); NaN when the line is missing.
double reportSeconds(const std::string& report, const std::string& label);

// Every beep found where the title has one, within tolerance, and no other.
void expectBeeps(const std::vector<double>& found, const std::vector<double>& expected, double tolerance);

// "<base>.idx" and "<base>.sub" read by FFmpeg: the English and French streams with each subtitle at
// its start; "<base>.rar" read by another RAR reader holds the ".sub" as it stands.
void expectSubtitlePair(const std::string& base, const DvdTitle& title);

// The program folder's Logs/ holds one log, whose text is the report.
void expectOneLog(const std::filesystem::path& programFolder, const std::string& report);

} // namespace kes::test
