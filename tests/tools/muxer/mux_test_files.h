#pragma once

// Files for the muxer and clip appender tests: video-only and muxed AVI files written through the AVI
// file interface, PCM and MP3-in-WAV files put together by hand, and a reader of an AVI file's index
// that shows the order in which the chunks were written.

#include <cstdint>
#include <string>
#include <vector>

namespace kes::test {

struct TestVideo {
    int frames = 50;
    std::vector<int> keyFrames{0, 10, 20, 30, 40};
    uint32_t rate = 25;
    uint32_t scale = 1;
    int width = 8;
    int height = 4;
    const char* fourcc = "DIVX"; // the compression of the stream header and the format
    int heavyFrames = 0;         // the first frames this many carry heavyBytes more: a rate that changes
    int heavyBytes = 20000;
};

// The bytes of frame i: distinct for every frame and of a varying size.
std::string testFrameBytes(int i);

// A video-only AVI; false when the interface failed.
bool writeVideoAvi(const std::string& path, const TestVideo& video);

// A movie with the video above and, before each frame, one audio chunk of the PCM samples of pcmSample
// (16-bit stereo, 44.1 kHz, samplesPerFrame per chunk).
bool writeMovieAvi(const std::string& path, const TestVideo& video, int samplesPerFrame);

// The 16-bit value of both channels of PCM sample k of the test audio (never 0).
int16_t pcmSample(int64_t k);

// A RIFF WAVE file of 16-bit stereo PCM at 44.1 kHz with a 16-byte format: samples of pcmSample.
std::string pcmWav(int64_t samples);

// A RIFF WAVE file holding frames CBR MP3 frames (128 kbit/s, 44.1 kHz, 417 bytes each, no padding)
// with the 30-byte MP3 wave format (16,000 bytes per second, block align 1).
std::string mp3Wav(int frames);
// The bytes of the "data" chunk of mp3Wav.
std::string mp3Data(int frames);

std::string le16(uint16_t v);
std::string le32(uint32_t v);
uint32_t readLE32(const std::string& bytes, size_t offset);

// One entry of an AVI file's idx1, in file order.
struct IndexEntry {
    std::string id; // "00dc", "01wb"
    uint32_t flags = 0;
    uint32_t size = 0;
};
std::vector<IndexEntry> readIndex(const std::string& aviBytes);

// What a stream of a file holds, read through the AVI file interface; FFmpeg reads the same stream and
// a test fails where the two readings differ.
struct StreamContent {
    bool found = false;
    uint32_t rate = 0;
    uint32_t scale = 0;
    int64_t length = 0;
    std::vector<std::string> frames; // video: one entry per frame
    std::vector<bool> keys;          // video: key frame flags
    std::string bytes;               // audio: every byte in order
    std::string format;
};
StreamContent readStream(const std::string& path, bool video);

} // namespace kes::test
