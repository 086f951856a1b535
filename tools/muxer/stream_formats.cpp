#include "tools/muxer/stream_formats.h"

#include "platform/vfw/avi_constants.h"

#include <cstring>

namespace tools::muxer {

namespace {

constexpr size_t FormatTagOffset = 0;
constexpr size_t BlockAlignOffset = 12;

bool readFormat(vfw::PAVISTREAM stream, std::vector<uint8_t>& bytes, size_t least) {
    vfw::LONG size = 0;
    if (vfw::AVIStreamFormatSize(stream, 0, &size) != vfw::AVIERR_OK ||
        size < static_cast<vfw::LONG>(least) || size > MaxFormatBytes)
        return false;
    bytes.assign(static_cast<size_t>(size), 0);
    vfw::LONG got = size;
    return vfw::AVIStreamReadFormat(stream, 0, bytes.data(), &got) == vfw::AVIERR_OK && got == size;
}

uint16_t le16(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

} // namespace

bool readVideoFormat(vfw::PAVISTREAM stream, VideoFormat& out) {
    if (!readFormat(stream, out.bytes, sizeof(vfw::BITMAPINFOHEADER)))
        return false;
    std::memcpy(&out.header, out.bytes.data(), sizeof out.header);
    return true;
}

bool readAudioFormat(vfw::PAVISTREAM stream, AudioFormat& out) {
    if (!readFormat(stream, out.bytes, platform::vfw::avi::WaveFormatMinSize))
        return false;
    out.formatTag = le16(out.bytes, FormatTagOffset);
    out.blockAlign = le16(out.bytes, BlockAlignOffset);
    vfw::AVISTREAMINFO info;
    if (vfw::AVIStreamInfo(stream, &info, sizeof info) != vfw::AVIERR_OK)
        return false;
    // Reads and writes count in the stream's sample size; the block align stands in when it has none.
    out.sampleBytes = info.dwSampleSize > 0 ? info.dwSampleSize : (out.blockAlign > 0 ? out.blockAlign : 1);
    return true;
}

double streamRate(const vfw::AVISTREAMINFO& info) {
    if (info.dwRate == 0 || info.dwScale == 0)
        return 0;
    return static_cast<double>(info.dwRate) / static_cast<double>(info.dwScale);
}

bool readInBlocks(const AudioFormat& format) {
    return format.formatTag == WaveFormatWma || format.formatTag == WaveFormatWma1;
}

bool sameVideoCoding(const VideoFormat& movie, const VideoFormat& clip) {
    const auto upper = [](uint32_t code) {
        uint32_t out = 0;
        for (int i = 0; i < 4; ++i) {
            auto c = static_cast<uint8_t>(code >> (8 * i));
            if (c >= 'a' && c <= 'z')
                c = static_cast<uint8_t>(c - 'a' + 'A');
            out |= static_cast<uint32_t>(c) << (8 * i);
        }
        return out;
    };
    return upper(movie.header.biCompression) == upper(clip.header.biCompression) &&
           movie.header.biWidth == clip.header.biWidth && movie.header.biHeight == clip.header.biHeight;
}

} // namespace tools::muxer
