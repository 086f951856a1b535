// MPEG layer III files without a RIFF header as one audio stream of bytes, the way a WAVE file holding
// MP3 data reads: format tag 85, block align 1, rate the stream's average bytes per second. The frames
// are counted once, so that the rate is right for files of variable bit rate too.

#include "platform/vfw/avi_reader.h"
#include "platform/vfw/mpeg_audio_frame.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace platform::vfw {

namespace {

constexpr uint16_t WaveFormatMpegLayer3 = 85;
constexpr uint16_t Layer3ExtraSize = 12;
constexpr uint16_t MpegLayer3IdMpeg = 1;
constexpr uint16_t MpegLayer3CodecDelay = 1393;
constexpr size_t Id3HeaderSize = 10;
constexpr uint8_t Id3FooterFlag = 0x10;
// The first frame must begin within this many bytes of the start (after an ID3v2 tag).
constexpr int64_t MaxLeadingGarbage = 4096;
// Frames that must follow each other for the bytes to count as MP3.
constexpr int FramesToConfirm = 3;
constexpr size_t ScanBlock = 1 << 16;
constexpr uint32_t PieceBytes = 32768;
constexpr DWORD DefaultQuality = 0xFFFFFFFF;

using FrameHeader = MpegAudioFrame;

std::optional<FrameHeader> parseHeader(const uint8_t* h) {
    return parseMpegAudioHeader(h);
}

bool sameStream(const FrameHeader& a, const FrameHeader& b) {
    return a.version == b.version && a.sampleRate == b.sampleRate;
}

int64_t skipId3(const ByteSource& source) {
    uint8_t h[Id3HeaderSize] = {};
    if (!source.readAt(0, h, sizeof h) || std::memcmp(h, "ID3", 3) != 0)
        return 0;
    int64_t size = 0;
    for (int i = 6; i < 10; ++i)
        size = size << 7 | (h[i] & 0x7F);
    return static_cast<int64_t>(Id3HeaderSize) * ((h[5] & Id3FooterFlag) != 0 ? 2 : 1) + size;
}

bool confirmed(const ByteSource& source, int64_t pos, FrameHeader& first) {
    uint8_t h[4];
    if (!source.readAt(pos, h, 4))
        return false;
    auto f = parseHeader(h);
    if (!f)
        return false;
    first = *f;
    for (int i = 1; i < FramesToConfirm; ++i) {
        pos += f->size;
        // A file of fewer frames must end with its last whole frame (or an ID3v1 tag after it).
        if (pos == source.size())
            return true;
        if (!source.readAt(pos, h, 4))
            return false;
        if (std::memcmp(h, "TAG", 3) == 0)
            return true;
        auto next = parseHeader(h);
        if (!next || !sameStream(*next, first))
            return false;
        f = next;
    }
    return true;
}

} // namespace

HRESULT parseMp3File(const ByteSource& source, ParsedFile& out) {
    const int64_t id3 = skipId3(source);
    FrameHeader first;
    int64_t start = -1;
    const auto lead = source.readBlock(id3, static_cast<size_t>(MaxLeadingGarbage));
    for (size_t i = 0; i + 4 <= lead.size(); ++i) {
        if (lead[i] == 0xFF && confirmed(source, id3 + static_cast<int64_t>(i), first)) {
            start = id3 + static_cast<int64_t>(i);
            break;
        }
    }
    if (start < 0)
        return AVIERR_BADFORMAT;

    // Count the frames up to the first thing that is not one (an ID3v1 tag, garbage, the end).
    int64_t pos = start;
    int64_t frames = 0;
    std::vector<uint8_t> block;
    int64_t blockAt = -1;
    while (pos + 4 <= source.size()) {
        if (blockAt < 0 || pos + 4 > blockAt + static_cast<int64_t>(block.size())) {
            block = source.readBlock(pos, ScanBlock);
            blockAt = pos;
            if (block.size() < 4)
                break;
        }
        const auto f = parseHeader(block.data() + (pos - blockAt));
        if (!f || !sameStream(*f, first))
            break;
        ++frames;
        pos += f->size;
    }
    const int64_t end = std::min(pos, source.size());
    const int64_t bytes = end - start;
    const double seconds = static_cast<double>(frames) * first.samples / first.sampleRate;
    const auto avgBytes =
        static_cast<uint32_t>(std::max<long>(std::lround(static_cast<double>(bytes) / seconds), 1));

    std::vector<uint8_t> format;
    putLE16(format, WaveFormatMpegLayer3);
    putLE16(format, static_cast<uint16_t>(first.channels));
    putLE32(format, static_cast<uint32_t>(first.sampleRate));
    putLE32(format, avgBytes);
    putLE16(format, 1); // block align
    putLE16(format, 0); // bits per sample
    putLE16(format, Layer3ExtraSize);
    putLE16(format, MpegLayer3IdMpeg);
    putLE32(format, 0); // flags
    putLE16(format, static_cast<uint16_t>(first.size));
    putLE16(format, 1); // frames per block
    putLE16(format, MpegLayer3CodecDelay);

    StreamData stream;
    stream.format = std::move(format);
    stream.info.fccType = streamtypeAUDIO;
    stream.info.dwScale = 1;
    stream.info.dwRate = avgBytes;
    stream.info.dwSampleSize = 1;
    stream.info.dwQuality = DefaultQuality;
    stream.info.dwSuggestedBufferSize = avgBytes;
    for (int64_t at = 0; at < bytes; at += PieceBytes)
        stream.chunks.push_back(
            {start + at, static_cast<uint32_t>(std::min<int64_t>(PieceBytes, bytes - at)), true});
    stream.finish(0);

    ParsedFile file;
    file.info.dwStreams = 1;
    file.info.dwCaps = AVIFILECAPS_CANREAD | AVIFILECAPS_ALLKEYFRAMES;
    file.info.dwMaxBytesPerSec = avgBytes;
    file.info.dwScale = 1;
    file.info.dwRate = avgBytes;
    file.info.dwLength = stream.info.dwLength;
    std::strncpy(file.info.szFileType, "MPEG audio file", sizeof file.info.szFileType - 1);
    file.streams.push_back(std::move(stream));
    out = std::move(file);
    return AVIERR_OK;
}

} // namespace platform::vfw
