#pragma once

// A generated DVD title as a user copies it to disk: a VIDEO_TS folder with "VTS_01_0.IFO" and three
// numbered VOB files. Two AC3 streams (English, French) and one LPCM stream (German), two subpicture
// streams (English, French) with NAV packs, two cells. The first AC3 stream is silent but for short
// beeps at known times (and the video, when there is one, flashes white at them), so that a test can find
// them again in what the rip made.

#include "tests/support/ifogen.h"
#include "tests/support/vobgen.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kes::test {

struct DvdTitleSpec {
    double seconds = 6.0;
    int vobFiles = 3;
    std::vector<double> beeps = {1.0, 4.0};
    bool video = false; // PAL MPEG-2 video flashing white at the beeps; otherwise a dummy stream
};

struct DvdTitle {
    DvdTitleSpec spec;
    IfoSpec ifo;
    VobSpec vob;
    VobSet set;
    std::filesystem::path folder; // the VIDEO_TS folder
    std::filesystem::path ifoPath;
    std::string firstVob() const { return set.files.at(0).string(); }
};

VobSpec dvdTitleVobSpec(const DvdTitleSpec& spec);
IfoSpec dvdTitleIfoSpec(const DvdTitleSpec& spec);
// Writes the title into folder (created); the VOB files split the program stream evenly.
DvdTitle writeDvdTitle(const std::filesystem::path& folder, const DvdTitleSpec& spec = {});

// The English and French subtitles' start times (seconds) of a title of that length.
std::vector<double> englishSubtitleStarts(double seconds);
std::vector<double> frenchSubtitleStarts(double seconds);

} // namespace kes::test
