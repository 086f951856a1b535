#pragma once

// Titles for measuring picture-to-sound timing: MPEG-2 video (PAL or NTSC) that flashes white for a few
// frames at marks every few seconds, and AC3 and LPCM streams that beep at the same instants of the
// title's clock. The sound may begin before or after the first picture, so that a tool that ignores
// the title's own offset puts every beep off its flash. Marks lie on picture boundaries; a stream has
// a mark only where it has sound. Each flash begins with an intra picture, so that it decodes whatever
// was lost before it.
//
// Damage of the kinds a copied disc shows: a stretch of bytes overwritten with zeros, or a stretch
// cut out of a VOB file (both in place, in the set's files).

#include "tests/support/vobgen.h"
#include "tests/support/vobgen_video.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace kes::test {

// The delay of FFmpeg's AC3 encoder: its input comes out this much later in the decoded stream.
inline constexpr double kAc3EncoderDelay = 256.0 / 48000;

struct SyncTitleSpec {
    VideoStandard standard = VideoStandard::Pal;
    double seconds = 5.0;
    int firstMarkFrame = 10; // the picture of the first mark
    int markEveryFrames = 50;
    int64_t audioStartPts = 0; // 90 kHz from the first picture to the first sample of every stream
    bool lpcm = false;         // a second stream (LPCM 0xA0) beeping with the first (AC3 0x80)
    int vobFiles = 2;
    int videoBitRate = 1500000;
    // NTSC film: pictures at 24000/1001 coded whole and soft-telecined; marks count film pictures.
    bool film = false;
};

struct SyncTitle {
    SyncTitleSpec spec;
    VobSpec vob;
    VobSet set;
    std::vector<double> marks; // seconds from the first picture, every flash
    // The marks at which the sound plays: every stream lasts the title's seconds from its own first
    // sample, so an early start ends early and a late one runs on past the pictures.
    std::vector<double> soundMarks() const;
    // The time of one picture (a film picture's on average).
    double frameSeconds() const;
};

// Writes "VTS_01_1.VOB", ... and "vob.lst" into folder (created).
SyncTitle writeSyncTitle(const std::filesystem::path& folder, const SyncTitleSpec& spec);

// The number of the first pack of the set whose packet carries a time stamp at or after the time
// (seconds from the first picture): where to damage a set to lose a known stretch of the title.
int64_t packAtTime(const VobSet& set, const VobSpec& spec, double seconds);

// A short title for the audio tools (three seconds, four VOB files and its "vob.lst", a dummy picture
// stream from 1 s on the clock) whose AC3 stream 0x80 begins startPts (90 kHz) after the first picture
// and beeps at marks of the title's clock: the marks where it has sound.
struct MarkedTitle {
    VobSet set;
    std::vector<double> marks; // seconds from the first picture
};
MarkedTitle writeMarkedTitle(const std::filesystem::path& folder, int64_t startPts);

// The times (seconds from the first sample) at which the first channel of interleaved 16-bit samples
// starts a tone after at least 50 ms of silence.
std::vector<double> toneStarts(const std::vector<int16_t>& samples, int channels, int rate);

// Overwrites bytes of the set with zeros, from an offset counted over the files one after the other.
void zeroStretch(const VobSet& set, int64_t offset, int64_t bytes);
// Removes bytes of the set (the files get shorter), from an offset counted as above; the stretch must
// lie within one file.
void cutStretch(const VobSet& set, int64_t offset, int64_t bytes);

} // namespace kes::test
