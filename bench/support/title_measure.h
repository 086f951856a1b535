#pragma once

// Measures of a movie made from a benchmark title: picture quality against the title's own pictures
// at the movie's size, each stream's bit rate, and the audio/video offset at the title's marks.

#include "bench/support/natural_title.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kes::bench {

struct PictureQuality {
    double psnr = 0; // dB, average over the frames
    double ssim = 0; // the "All" figure
    long frames = 0; // frames of the movie
    int shift = 0;   // the movie's frame shift + k was paired with the title's frame k
};

// The movie's pictures against the title's, each scaled to width x height (bicubic), paired from each
// one's first picture, or a frame or two later where that fits the first ten seconds better.
PictureQuality pictureQuality(const std::filesystem::path& movie, const NaturalTitle& title, int width,
                              int height, const std::filesystem::path& dir);

// A stream's bytes and seconds from its packets (ffprobe).
struct StreamBytes {
    double bytes = 0;
    double seconds = 0;
    double kbps() const { return seconds > 0 ? bytes * 8.0 / seconds / 1000.0 : 0.0; }
};
StreamBytes streamBytes(const std::filesystem::path& file, const std::string& stream,
                        const std::filesystem::path& dir);

// At each mark the beep's onset in the first audio stream minus the white picture's time, in
// milliseconds (positive: the sound comes late). A mark whose picture or beep is not found is left out.
struct Offsets {
    std::vector<double> ms;
    double mean() const;
    double worst() const; // largest magnitude
};
Offsets markOffsets(const std::string& input, const std::filesystem::path& dir);

// The time where a 1 kHz tone starts in mono samples, near each of the expected instants (seconds
// from the first sample); a negative value where none is found.
std::vector<double> toneOnsets(const std::vector<short>& samples, int rate, const std::vector<double>& near);

} // namespace kes::bench
