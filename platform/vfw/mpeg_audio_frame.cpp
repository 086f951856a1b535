#include "platform/vfw/mpeg_audio_frame.h"

#include "platform/vfw/avifile.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace platform::vfw {

namespace {

constexpr int BitratesV1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
constexpr int BitratesV2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
constexpr int SampleRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
constexpr int SamplesMpeg1 = 1152;
constexpr int SamplesMpeg2 = 576;
constexpr int SizeFactorMpeg1 = 144000; // bytes per kbit/s over the rate
constexpr int SizeFactorMpeg2 = 72000;
constexpr int HeaderBytes = 4;
// How far a frame start is looked for: a few of the largest frames.
constexpr int64_t SearchBytes = 8192;

} // namespace

std::optional<MpegAudioFrame> parseMpegAudioHeader(const uint8_t* h) {
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const int versionBits = h[1] >> 3 & 3;
    const int layerBits = h[1] >> 1 & 3;
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = h[2] >> 2 & 3;
    if (versionBits == 1 || layerBits != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return std::nullopt;
    MpegAudioFrame f;
    f.version = versionBits == 3 ? 0 : (versionBits == 2 ? 1 : 2);
    f.sampleRate = SampleRates[f.version][rateIndex];
    f.channels = (h[3] >> 6) == 3 ? 1 : 2;
    const int kbps = f.version == 0 ? BitratesV1[bitrateIndex] : BitratesV2[bitrateIndex];
    const int padding = h[2] >> 1 & 1;
    f.samples = f.version == 0 ? SamplesMpeg1 : SamplesMpeg2;
    f.size = (f.version == 0 ? SizeFactorMpeg1 : SizeFactorMpeg2) * kbps / f.sampleRate + padding;
    return f;
}

int64_t mpegAudioFrameStart(PAVISTREAM stream, int64_t position) {
    const int64_t length = AVIStreamLength(stream);
    const int64_t base = AVIStreamStart(stream);
    if (position <= 0 || position >= length)
        return position;
    const int64_t want = std::min(SearchBytes, length - position);
    if (base + position > INT_MAX)
        return position;
    std::vector<uint8_t> bytes(static_cast<size_t>(want));
    LONG got = 0;
    if (AVIStreamRead(stream, static_cast<LONG>(base + position), static_cast<LONG>(want), bytes.data(),
                      static_cast<LONG>(want), &got, nullptr) != AVIERR_OK)
        return position;
    const int64_t end = std::min<int64_t>(got, want);
    for (int64_t i = 0; i + HeaderBytes <= end; ++i) {
        const auto frame = parseMpegAudioHeader(bytes.data() + i);
        if (!frame)
            continue;
        const int64_t next = i + frame->size;
        const bool streamEnds = position + next >= length;
        if (streamEnds || (next + HeaderBytes <= end && parseMpegAudioHeader(bytes.data() + next)))
            return position + i;
    }
    return position;
}

} // namespace platform::vfw
