#pragma once

// A generator of test VOB sets: MPEG-2 program streams in 2048-byte packs as on a DVD, with a dummy
// video stream, AC3 and MPEG audio encoded by FFmpeg from generated tones, and DVD LPCM, optionally
// split over several numbered files with a "vob.lst"; optionally with subpicture streams and NAV packs
// (vobgen_subpicture.h). The same VobSpec always gives the same bytes.

#include "tests/support/vobgen_subpicture.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kes::test {

enum class VobAudioKind { Ac3, Mpeg, Lpcm };

struct VobAudioStream {
    VobAudioKind kind = VobAudioKind::Ac3;
    uint8_t id = 0x80; // sub-stream id (AC3 0x80-0x87, LPCM 0xA0-0xA7) or PES id (MPEG audio 0xC0-0xDF)
    int channels = 2;
    int sampleRate = 48000;
    int bitsPerSample = 16; // LPCM: 16 or 24
    int bitRate = 192000;   // AC3 and MPEG audio
    double toneHz = 440.0;  // channel c plays toneHz * (1 + c / 4)
    // When given, the tone sounds only from each of these times (seconds from the first sample) for
    // beepSeconds, and the stream is silent between: marks to find in a decoded stream.
    std::vector<double> beeps = {};
    double beepSeconds = 0.2;
    // 90 kHz ticks from the set's first picture to the stream's first sample: positive when the sound
    // begins after the picture, negative when before (VobSpec::firstPts must leave room for it).
    int64_t startPts = 0;
};

struct VobSpec;
struct VobUnit;
// Makes the video stream's elementary bytes and its pictures (in coding order, time stamps from the
// set's start); the default is a dummy stream of start codes.
using VobVideoMaker = std::function<std::vector<uint8_t>(const VobSpec&, std::vector<VobUnit>&)>;

struct VobSpec {
    std::vector<VobAudioStream> audio;
    double seconds = 1.0;
    bool video = true;
    int videoBytesPerSecond = 40000;
    VobVideoMaker videoMaker; // empty: the dummy stream
    bool systemHeader = true; // in the first pack of every file
    int64_t firstPts = 18000; // 90 kHz time of the first picture (and sample, but for startPts)
    size_t packsPerFile = 0;  // 0: one file
    std::string namePrefix = "VTS_01_";
    std::vector<VobSubpictureStream> subpictures;
    double navSeconds = 0.0;         // a NAV pack before every VOBU of this length; 0: none
    std::vector<double> cellSeconds; // the cells the NAV packs name (VOB 1, cells 1, 2, ...); the last
                                     // one runs to the end
};

// One access unit of a stream: an encoded frame, an LPCM audio frame, or a picture.
struct VobUnit {
    size_t offset = 0; // in the stream's elementary bytes
    size_t size = 0;
    int64_t pts = 0;
};

struct VobAudioData {
    VobAudioStream stream;
    std::vector<uint8_t> elementary;          // what the parser must deliver: encoded frames back to back,
                                              // or the LPCM samples in the disc's big-endian layout
    std::vector<std::vector<uint8_t>> frames; // AC3 and MPEG audio: each frame as the encoder gave it
    std::vector<VobUnit> units;
    std::vector<int16_t> pcm; // the tone as interleaved 16-bit samples (LPCM 24-bit: the
                              // top 16 bits of each sample)
};

struct VobSet {
    std::vector<uint8_t> bytes;               // the whole program stream
    std::vector<std::filesystem::path> files; // the numbered files, when written
    std::filesystem::path list;               // "vob.lst", when written
    std::vector<VobAudioData> audio;          // in the order of VobSpec::audio
    std::vector<uint8_t> video;               // the video stream's elementary bytes
    // The subpicture streams in the order of VobSpec::subpictures, and the numbers of the NAV packs.
    std::vector<VobSubpictureData> subpictures;
    std::vector<size_t> navPacks;
    size_t packs = 0;
};

constexpr size_t kVobPackSize = 2048;

// A dummy video stream whose byte rate changes over time: each part's rate for its seconds, the parts
// in turn and then again from the first, so that bytes and time are far from proportional.
struct VideoRatePart {
    double seconds = 1.0;
    int bytesPerSecond = 40000;
};
VobVideoMaker variableRateVideo(std::vector<VideoRatePart> parts);

VobSet makeProgramStream(const VobSpec& spec);
// Writes the set into a folder as namePrefix + "1.VOB", "2.VOB", ... and "vob.lst" (full paths, CR LF).
VobSet writeVobSet(const std::filesystem::path& folder, const VobSpec& spec);

} // namespace kes::test
