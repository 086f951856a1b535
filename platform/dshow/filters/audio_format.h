#pragma once

// What the program stream parser knows about an elementary stream, shared by the parser (the format of
// an output) and the audio decoder (the format it accepts), and the WAVEFORMATEX-like description the
// WAV writer takes.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform::dshow::filters {

enum class StreamKind { Video, Ac3, MpegAudio, Lpcm };

// The three bytes that follow the frame count and first access unit pointer of a DVD LPCM packet.
constexpr size_t kLpcmHeaderSize = 3;

struct LpcmFormat {
    int sampleRate = 48000;
    int channels = 2;
    int bitsPerSample = 16; // 16, 20 or 24
    bool operator==(const LpcmFormat&) const = default;
};

// Reads the DVD LPCM header (emphasis and frame number; quantisation, rate and channels; dynamic range).
// Nothing for too few bytes or a reserved quantisation.
std::optional<LpcmFormat> parseLpcmHeader(std::span<const uint8_t> header);
// The header bytes that describe a format (frame number 0, no emphasis, neutral dynamic range); the
// inverse of parseLpcmHeader for the rates a DVD allows (48, 96, 44.1 and 32 kHz).
std::optional<std::vector<uint8_t>> makeLpcmHeader(const LpcmFormat& format);

struct StreamFormat {
    StreamKind kind = StreamKind::Video;
    LpcmFormat lpcm; // meaningful for StreamKind::Lpcm
    bool operator==(const StreamFormat&) const = default;
};

// The output name of a stream as the parser offers it: "Video", "AC3", "Audio" or "LPCM".
std::string streamOutputName(StreamKind kind);

// The fields of a WAVEFORMATEX; extra holds the bytes after cbSize (cbSize is extra's size).
struct WaveFormat {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    std::vector<uint8_t> extra;
    bool operator==(const WaveFormat&) const = default;
};

constexpr uint16_t kWaveFormatPcm = 1;

// Integer PCM of a given layout.
WaveFormat pcmWaveFormat(int sampleRate, int channels, int bitsPerSample);
// The format the parser gives an LPCM output: PCM fields for the stream's rate, channels and bits. The
// samples themselves stay big-endian as they are on the disc.
WaveFormat lpcmWaveFormat(const LpcmFormat& format);

} // namespace platform::dshow::filters
