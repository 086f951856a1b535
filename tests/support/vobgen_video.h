#pragma once

// Real MPEG-2 video for the generated VOB sets: a moving test picture encoded with FFmpeg's mpeg2video
// encoder, PAL (720x576, 25 frames a second) or NTSC (720x480, 30000/1001), progressive, interlaced
// (the two fields of a frame show two moments), telecined (film at 24000/1001 spread over NTSC fields
// in the 2:3 pattern) or soft-telecined (the film's pictures coded whole, each flagged to show for 2, 3,
// 2, 3 fields). The test picture is a function of time, so that a test can compare what a converter
// made with what it should show.

#include "tests/support/vobgen.h"

#include <cstdint>
#include <vector>

struct AVFrame;

namespace kes::test {

enum class VideoStandard { Pal, Ntsc };
enum class VideoScan { Progressive, Interlaced, Telecined, SoftTelecined };

struct VobVideoSpec {
    VideoStandard standard = VideoStandard::Pal;
    VideoScan scan = VideoScan::Progressive;
    int bitRate = 6000000; // bits per second
    int gopSize = 12;
    int bFrames = 2;
    int threads = 1; // encoder threads (1 gives the same bytes on every run)
    // Frames whose time lies within flashSeconds of one of these times (seconds from the first
    // picture) are plain white: marks to find in a converted stream.
    std::vector<double> flashes = {};
    double flashSeconds = 0.2;
    // The first picture of each flash is coded as an intra picture that starts a GOP, so that a
    // flash after lost data decodes on its own (the B pictures before it still refer to what went).
    bool intraFlashes = false;
};

// True when coded frame n of the set is a white flash.
bool flashFrame(const VobVideoSpec& spec, int64_t n);

// The time (seconds from the first picture) at which coded frame n begins to show.
double frameStart(const VobVideoSpec& spec, int64_t n);

struct VideoGeometry {
    int width = 720;
    int height = 576;
    int rateNum = 25; // frames per second the sequence header gives = rateNum / rateDen
    int rateDen = 1;
};

VideoGeometry videoGeometry(const VobVideoSpec& spec);

// The number of coded frames a set of that length holds.
int64_t videoFrameCount(const VobVideoSpec& spec, double seconds);

// The test picture at a time (seconds): planar 4:2:0, Y at width × height, U and V at half size.
struct TestPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> y, u, v;
};
TestPicture testPictureAt(int width, int height, double seconds);

// The source picture of coded frame n as the encoder was given it (fields from their own moments for
// interlaced and telecined video).
TestPicture sourceFrame(const VobVideoSpec& spec, int64_t n);

// The film frame f of a telecined set (24000/1001 frames a second).
TestPicture filmFrame(const VobVideoSpec& spec, int64_t f);

// Copies the rows of one field (0 top, 1 bottom) of a picture into another of the same size.
void takeField(TestPicture& into, const TestPicture& from, int field);

// Writes the soft telecine flags of film picture displayIndex (2:3 pattern: top field first for the
// first two of each four, the first field repeated by the second and fourth) into the picture coding
// extension of one coded picture, and marks every sequence extension in it interlaced (which repeated
// fields need).
void patchPulldown(uint8_t* data, int size, int64_t displayIndex);

// The 90 kHz time of film picture n shown in the 2:3 pattern of NTSC fields.
int64_t pulldownStamp(int64_t n);

// Puts a picture into an FFmpeg frame for an encoder (allocating the frame's buffers), with n as
// its time stamp, top field first, interlaced or not. Throws std::runtime_error without a buffer.
void fillEncoderFrame(AVFrame* frame, const TestPicture& picture, int64_t n, bool interlaced);

// A maker for VobSpec::videoMaker that puts this video into the set.
VobVideoMaker mpeg2Video(const VobVideoSpec& spec);

} // namespace kes::test
