#pragma once

// Our program and the reference programs doing one job on the natural-picture title, timed as whole
// processes in turn, and the table of what each made: the job (two MPEG-4 passes at 900 kbit/s, a
// key frame every 250 frames, no B-frames, 640x352; with sound, the first audio stream as MP3 at
// 128 kbit/s), the HandBrake and ffmpeg commands for it, the rounds and the table.

#include "bench/support/natural_title.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kes::bench {

inline constexpr int JobVideoKbps = 900;
inline constexpr int JobAudioKbps = 128;
inline constexpr int JobWidth = 640;
inline constexpr int JobHeight = 352;
inline constexpr int JobKeyInterval = 250;
// The codec's registry key and its "Slowest" effort, the main program's default.
inline constexpr const char* CodecKey = "Software\\DivXNetworks\\DivX4Windows";
inline constexpr uint32_t SlowestCodecQuality = 5;

struct Contender {
    std::string name;
    std::vector<std::string> command;
    std::filesystem::path movie;
    std::vector<double> times;
};

// HandBrakeCLI at the job's size (no crop, square pixels); with sound or without.
Contender handBrake(const NaturalTitle& title, const std::filesystem::path& movie, bool sound);
// ffmpeg's two passes (its pass log in dir); with sound or without.
Contender ffmpegTwoPass(const NaturalTitle& title, const std::filesystem::path& dir,
                        const std::filesystem::path& movie, bool sound);

// Runs every contender once a round, in turn, for runs rounds; each one's output goes to dir/NAME.txt.
void runInTurn(std::vector<Contender>& contenders, int runs, const std::filesystem::path& dir);

double median(std::vector<double> v);

// Prints the table: median time, its ratio to the contender named reference, the video bit rate and
// its error, PSNR and SSIM against the title at the job's size, frames, and with marks the A/V offset.
void printTable(const std::vector<Contender>& contenders, const std::string& reference,
                const NaturalTitle& title, const std::filesystem::path& dir, bool marks);

} // namespace kes::bench
