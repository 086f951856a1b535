#pragma once

// A DVD title of natural pictures for the benchmarks: the photographs of a Debian background package,
// each shown for eight seconds while the view pans or zooms across it, with film grain, as PAL MPEG-2
// at 5.5 Mbit/s with 5.1 AC3 audio, authored by dvdauthor into a VIDEO_TS folder.
//
// Marks for the audio/video offset: every MarkPeriod seconds, from MarkFirst on, one picture is white
// and a 1 kHz beep of 100 ms starts at that picture's instant on every channel.

#include <filesystem>
#include <string>
#include <vector>

namespace kes::bench {

inline constexpr int TitleWidth = 720;
inline constexpr int TitleHeight = 576;
inline constexpr int TitleFps = 25;
inline constexpr int TitleVideoKbps = 5500;
inline constexpr int TitleAudioKbps = 448;
inline constexpr int ShotFrames = 200;
inline constexpr double MarkFirst = 10.0;
inline constexpr double MarkPeriod = 30.0;

struct NaturalTitle {
    std::filesystem::path videoTs;           // the VIDEO_TS folder
    std::vector<std::filesystem::path> vobs; // the title's VOB files in order (VTS_01_1.VOB, ...)
    std::filesystem::path ifo;               // VTS_01_0.IFO
    double seconds = 0;
    std::string concat() const; // "concat:" + the VOB files, for ffmpeg's input
};

// The folder of photographs; installs the package (as root, through apt-get) when it is missing.
std::filesystem::path photoFolder();

// Makes the title in dir (VIDEO_TS under it), or takes the one a former call made there with the
// same length. Ends the benchmark when a tool fails.
NaturalTitle naturalTitle(const std::filesystem::path& dir, double seconds);

// The instants of the marks in a title of that length, in seconds.
std::vector<double> markTimes(double seconds);

// One frame of the title (planar 4:2:0, TitleWidth x TitleHeight) from the photographs, decoded to
// 4:2:0 at PhotoWidth x PhotoHeight. Exposed for the title's tests of motion and grain.
inline constexpr int PhotoWidth = 1080;
inline constexpr int PhotoHeight = 864;
struct Photo {
    std::vector<unsigned char> yuv; // PhotoWidth x PhotoHeight 4:2:0
};
void renderFrame(const std::vector<Photo>& photos, int frame, unsigned char* out);

} // namespace kes::bench
