#pragma once

// AVI files for the remux and join tests, written and read back through the AVI file interface: video
// frames whose bytes name their number, key frames where asked, and PCM or MP3-style audio whose
// samples are never zero (so silence can be told from copied audio).

#include "platform/vfw/avifile.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace kes::test {

enum class JobAudio {
    None,
    Pcm,    // 16-bit mono, sample size 2
    Mp3Cbr, // format tag 85, sample size 1 (bytes)
    Mp3Vbr, // format tag 85, sample size 0 (one sample per chunk)
};

struct JobAviSpec {
    int32_t width = 4;
    int32_t height = 2;
    uint16_t bitCount = 24;
    uint32_t fpsRate = 25;
    uint32_t fpsScale = 1;
    int frames = 50;
    std::set<int> keyFrames{0, 10, 20, 30, 40}; // the others are delta frames
    char frameTag = 'F';                        // first byte of every frame
    JobAudio audio = JobAudio::Pcm;
    uint32_t sampleRate = 8000; // PCM samples per second; MP3 bytes per second for CBR
    int64_t audioSamples = 16000;
    uint16_t pcmValueBase = 1; // sample i holds pcmValueBase + i % 20000
};

// Writes the file with one audio chunk before each frame; false when the interface refused.
bool writeJobAvi(const std::string& path, const JobAviSpec& spec);

// The PCM sample value the file holds at sample i.
uint16_t pcmValue(const JobAviSpec& spec, int64_t i);
// The frame's bytes.
std::string frameBytes(const JobAviSpec& spec, int frame);

struct ReadBack {
    bool opened = false;
    platform::vfw::AVISTREAMINFO video{};
    platform::vfw::AVISTREAMINFO audio{};
    std::vector<std::string> frames;
    std::vector<bool> keys;
    std::string audioBytes;               // every audio sample in order (fixed sample size)
    std::vector<std::string> audioChunks; // every sample of a stream without a sample size
    std::vector<uint8_t> audioFormat;
    int64_t firstAudioChunk = -1; // samples in the first audio chunk
};

// Reads the file through the AVI file interface; FFmpeg reads it too, and a test fails where the two
// readings of the frames, key flags or PCM samples differ.
ReadBack readJobAvi(const std::string& path);

// 16-bit little-endian samples of a byte string.
std::vector<uint16_t> pcmSamples(const std::string& bytes);

} // namespace kes::test
