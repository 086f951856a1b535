// WAVE files as one audio stream: the format from "fmt ", the "data" chunk as samples of nBlockAlign
// bytes, rate and scale as nAvgBytesPerSec over nBlockAlign.

#include "platform/vfw/avi_constants.h"
#include "platform/vfw/avi_reader.h"

#include <algorithm>
#include <cstring>

namespace platform::vfw {

namespace {

using namespace avi;

constexpr size_t MaxFormatSize = 1 << 20;
constexpr uint16_t FormatTagPcm = 1;
constexpr int MaxWaveChunks = 100000;
// The data is indexed in pieces of about this size, so that a convenient read stays small.
constexpr uint32_t PieceBytes = 32768;
constexpr uint32_t BitsPerByte = 8;
constexpr DWORD DefaultQuality = 0xFFFFFFFF;

} // namespace

HRESULT parseWaveFile(const ByteSource& source, ParsedFile& out) {
    uint8_t head[ListHeaderSize] = {};
    if (!source.readAt(0, head, sizeof head))
        return AVIERR_BADFORMAT;
    LeReader h(head, sizeof head);
    if (h.u32(0) != ckidRIFF || h.u32(8) != formtypeWAVE)
        return AVIERR_BADFORMAT;
    const uint32_t riffSize = h.u32(4);
    const int64_t end =
        riffSize == 0 ? source.size() : std::min<int64_t>(ChunkHeaderSize + int64_t{riffSize}, source.size());

    std::vector<uint8_t> format;
    int64_t dataOffset = -1;
    int64_t dataSize = 0;
    int seen = 0;
    walkChunks(source, ListHeaderSize, end, [&](const RawChunk& ck) {
        if (++seen > MaxWaveChunks)
            return false;
        if (ck.id == ckidWAVEFORMAT && format.empty()) {
            format = source.readBlock(ck.dataOffset,
                                      static_cast<size_t>(std::min<int64_t>(ck.size, MaxFormatSize)));
        } else if (ck.id == ckidWAVEDATA && dataOffset < 0) {
            dataOffset = ck.dataOffset;
            // Writers that never finished leave 0 or -1 as the size: the data runs to the end.
            const bool unfinished = ck.declared == 0 || ck.declared == 0xFFFFFFFFu;
            dataSize = unfinished ? end - ck.dataOffset : ck.size;
            if (unfinished)
                return format.empty(); // what follows is sample data, not chunks
        }
        return true;
    });
    if (format.size() < WaveFormatMinSize || dataOffset < 0)
        return AVIERR_BADFORMAT;

    LeReader f(format);
    const uint16_t tag = f.u16(0);
    const uint16_t channels = f.u16(2);
    const uint32_t samplesPerSec = f.u32(4);
    uint32_t avgBytesPerSec = f.u32(8);
    uint32_t align = f.u16(12);
    const uint16_t bits = format.size() >= 16 ? f.u16(14) : 0;
    if (align == 0)
        align = tag == FormatTagPcm
                    ? std::max<uint32_t>(channels * ((bits + BitsPerByte - 1) / BitsPerByte), 1)
                    : 1;
    if (avgBytesPerSec == 0)
        avgBytesPerSec = samplesPerSec * align;

    StreamData stream;
    stream.format = std::move(format);
    stream.info.fccType = streamtypeAUDIO;
    stream.info.dwScale = align;
    stream.info.dwRate = avgBytesPerSec;
    stream.info.dwSampleSize = align;
    stream.info.dwQuality = DefaultQuality;
    stream.info.dwSuggestedBufferSize = avgBytesPerSec;
    const uint32_t piece = std::max(PieceBytes / align, 1u) * align;
    for (int64_t at = 0; at < dataSize; at += piece) {
        const auto size = static_cast<uint32_t>(std::min<int64_t>(piece, dataSize - at));
        stream.chunks.push_back({dataOffset + at, size, true});
    }
    stream.finish(0);

    ParsedFile file;
    file.info.dwStreams = 1;
    file.info.dwCaps = AVIFILECAPS_CANREAD | AVIFILECAPS_ALLKEYFRAMES | AVIFILECAPS_NOCOMPRESSION;
    file.info.dwMaxBytesPerSec = avgBytesPerSec;
    file.info.dwSuggestedBufferSize = stream.info.dwSuggestedBufferSize;
    file.info.dwScale = stream.info.dwScale;
    file.info.dwRate = stream.info.dwRate;
    file.info.dwLength = stream.info.dwLength;
    std::strncpy(file.info.szFileType, "WAVE file", sizeof file.info.szFileType - 1);
    file.streams.push_back(std::move(stream));
    out = std::move(file);
    return AVIERR_OK;
}

} // namespace platform::vfw
