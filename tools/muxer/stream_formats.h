#pragma once

// The formats of the streams the muxer copies: a video stream's bitmap header and an audio stream's
// wave format, read whole through the AVI file interface and checked before use.

#include "platform/vfw/vfw.h"

#include <cstdint>
#include <vector>

namespace tools::muxer {

namespace vfw = platform::vfw;

// Wave format tag of WMA audio, whose streams are read one block at a time.
inline constexpr uint16_t WaveFormatWma = 353;
inline constexpr uint16_t WaveFormatWma1 = 352;
// The largest format the tools copy; real formats are tens of bytes.
inline constexpr int64_t MaxFormatBytes = 65536;

struct VideoFormat {
    std::vector<uint8_t> bytes; // as stored, at least the 40-byte bitmap header
    vfw::BITMAPINFOHEADER header;
};

struct AudioFormat {
    std::vector<uint8_t> bytes; // as stored, at least format tag to block align
    uint16_t formatTag = 0;
    uint16_t blockAlign = 0;
    int64_t sampleBytes = 1; // bytes of one sample as the stream reads them
};

// True for audio whose stream samples are whole coded blocks of many sound samples (WMA).
bool readInBlocks(const AudioFormat& format);

// False when the stream has no usable format.
bool readVideoFormat(vfw::PAVISTREAM stream, VideoFormat& out);
bool readAudioFormat(vfw::PAVISTREAM stream, AudioFormat& out);

// Whether a clip's pictures can follow a movie's in one stream: the same compression (its FourCC
// without regard to case, as codecs write "divx" and "DIVX" alike) and the same picture size.
bool sameVideoCoding(const VideoFormat& movie, const VideoFormat& clip);

// Samples per second (rate / scale); 0 when the header has no rate.
double streamRate(const vfw::AVISTREAMINFO& info);

} // namespace tools::muxer
