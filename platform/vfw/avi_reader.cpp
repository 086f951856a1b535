#include "platform/vfw/avi_reader.h"

#include "platform/vfw/avi_constants.h"
#include "platform/vfw/video_properties.h"

#include <algorithm>
#include <cstring>

namespace platform::vfw {

namespace {

using namespace avi;

// Header chunks (strh, strf, strn, vprp, indx) are read into memory up to these sizes.
constexpr size_t MaxFormatSize = 1 << 20;
constexpr size_t MaxNameSize = 4096;
constexpr size_t MaxIndxSize = 16 << 20;
constexpr int MaxHeaderChunks = 4096;

struct HeaderState {
    bool haveMainHeader = false;
    uint32_t microSecPerFrame = 0;
    int chunksSeen = 0;
};

void readMainHeader(const ByteSource& source, const RawChunk& ck, ParsedFile& file, HeaderState& state) {
    const auto block = source.readBlock(ck.dataOffset, static_cast<size_t>(std::min<int64_t>(ck.size, 56)));
    LeReader r(block);
    state.haveMainHeader = true;
    state.microSecPerFrame = r.u32(0);
    file.info.dwMaxBytesPerSec = r.u32(4);
    file.info.dwFlags = r.u32(12);
    file.info.dwLength = r.u32(16);
    file.info.dwSuggestedBufferSize = r.u32(28);
    file.info.dwWidth = r.u32(32);
    file.info.dwHeight = r.u32(36);
}

void readStreamHeader(const std::vector<uint8_t>& block, AVISTREAMINFO& info) {
    LeReader r(block);
    info.fccType = r.u32(0);
    info.fccHandler = r.u32(4);
    info.dwFlags = r.u32(8);
    info.wPriority = r.u16(12);
    info.wLanguage = r.u16(14);
    info.dwInitialFrames = r.u32(16);
    info.dwScale = r.u32(20);
    info.dwRate = r.u32(24);
    info.dwStart = r.u32(28);
    info.dwLength = r.u32(32);
    info.dwSuggestedBufferSize = r.u32(36);
    info.dwQuality = r.u32(40);
    info.dwSampleSize = r.u32(44);
    if (block.size() >= StreamHeaderSize) {
        info.rcFrame.left = r.s16(48);
        info.rcFrame.top = r.s16(50);
        info.rcFrame.right = r.s16(52);
        info.rcFrame.bottom = r.s16(54);
    }
}

void readStreamList(const ByteSource& source, const RawChunk& list, ParsedFile& file, AviLayout& layout,
                    HeaderState& state) {
    if (file.streams.size() >= static_cast<size_t>(MaxStreams))
        return;
    StreamData stream;
    std::vector<uint8_t> indx;
    walkChunks(source, list.dataOffset + 4, list.dataOffset + list.size, [&](const RawChunk& ck) {
        if (++state.chunksSeen > MaxHeaderChunks)
            return false;
        if (ck.id == ckidSTREAMHEADER && ck.size >= StreamHeaderMinSize) {
            readStreamHeader(source.readBlock(ck.dataOffset, StreamHeaderSize), stream.info);
        } else if (ck.id == ckidSTREAMFORMAT && stream.format.empty()) {
            stream.format = source.readBlock(ck.dataOffset,
                                             static_cast<size_t>(std::min<int64_t>(ck.size, MaxFormatSize)));
        } else if (ck.id == ckidSTREAMNAME) {
            const auto name =
                source.readBlock(ck.dataOffset, static_cast<size_t>(std::min<int64_t>(ck.size, MaxNameSize)));
            const size_t n = std::min(name.size(), static_cast<size_t>(StreamNameSize - 1));
            if (n > 0) // an empty read gives no buffer to copy from
                std::memcpy(stream.info.szName, name.data(), n);
            stream.info.szName[n] = '\0';
        } else if (ck.id == ckidVIDEOPROPERTIES && !stream.info.aspect.known()) {
            stream.info.aspect = readDisplayAspect(source.readBlock(
                ck.dataOffset, static_cast<size_t>(std::min<int64_t>(ck.size, VideoPropertiesHeaderSize))));
        } else if (ck.id == ckidODMLINDEX && indx.empty()) {
            indx =
                source.readBlock(ck.dataOffset, static_cast<size_t>(std::min<int64_t>(ck.size, MaxIndxSize)));
        }
        return true;
    });
    file.streams.push_back(std::move(stream));
    layout.indx.push_back(std::move(indx));
}

void readHeaderList(const ByteSource& source, const RawChunk& hdrl, ParsedFile& file, AviLayout& layout,
                    HeaderState& state) {
    walkChunks(source, hdrl.dataOffset + 4, hdrl.dataOffset + hdrl.size, [&](const RawChunk& ck) {
        if (++state.chunksSeen > MaxHeaderChunks)
            return false;
        if (ck.id == ckidAVIMAINHDR && !state.haveMainHeader)
            readMainHeader(source, ck, file, state);
        else if (ck.id == ckidLIST && ck.listType == listtypeSTRL)
            readStreamList(source, ck, file, layout, state);
        return true;
    });
}

int64_t riffEnd(const RawChunk& riff, int64_t fileSize) {
    // Streaming writers leave the size of the outermost RIFF at 0: it then runs to the end of the file.
    if (riff.declared == 0)
        return fileSize;
    return riff.dataOffset + riff.size;
}

} // namespace

void walkChunks(const ByteSource& source, int64_t begin, int64_t end,
                const std::function<bool(const RawChunk&)>& visit) {
    end = std::min(end, source.size());
    int64_t pos = begin;
    while (pos >= 0 && end - pos >= static_cast<int64_t>(ChunkHeaderSize)) {
        uint8_t header[ListHeaderSize] = {};
        const bool haveType = end - pos >= static_cast<int64_t>(ListHeaderSize);
        if (!source.readAt(pos, header, haveType ? ListHeaderSize : ChunkHeaderSize))
            return;
        LeReader r(header, sizeof header);
        RawChunk ck;
        ck.id = r.u32(0);
        ck.declared = r.u32(4);
        ck.headerOffset = pos;
        ck.dataOffset = pos + ChunkHeaderSize;
        ck.size = std::min<int64_t>(ck.declared, end - ck.dataOffset);
        if ((ck.id == ckidLIST || ck.id == ckidRIFF) && haveType && ck.size >= 4)
            ck.listType = r.u32(8);
        if (!visit(ck))
            return;
        pos = ck.dataOffset + padded(ck.declared);
    }
}

HRESULT parseAviFile(const ByteSource& source, ParsedFile& out) {
    ParsedFile file;
    AviLayout layout;
    HeaderState state;
    bool first = true;
    bool isAvi = false;
    int riffCount = 0;
    // The first RIFF "AVI " holds the headers; OpenDML files continue in RIFF "AVIX" chunks after it.
    walkChunks(source, 0, source.size(), [&](const RawChunk& riff) {
        if (riff.id != ckidRIFF || ++riffCount > MaxRiffChunks)
            return false;
        if (first && riff.listType != formtypeAVI)
            return false;
        if (!first && riff.listType != formtypeAVIX)
            return false;
        const int64_t end = riffEnd(riff, source.size());
        walkChunks(source, riff.dataOffset + 4, end, [&](const RawChunk& ck) {
            if (ck.id == ckidLIST && ck.listType == listtypeHDRL && first && !state.haveMainHeader)
                readHeaderList(source, ck, file, layout, state);
            else if (ck.id == ckidLIST && ck.listType == listtypeMOVI)
                layout.movi.push_back({ck.dataOffset, ck.dataOffset + ck.size});
            else if (ck.id == ckidAVINEWINDEX && first && layout.idx1Offset < 0) {
                layout.idx1Offset = ck.dataOffset;
                layout.idx1Size = ck.size;
            }
            return true;
        });
        isAvi = isAvi || first;
        first = false;
        // A RIFF whose size field is 0 ran to the end of the file; nothing follows it.
        return riff.declared != 0;
    });
    if (!isAvi || !state.haveMainHeader)
        return AVIERR_BADFORMAT;

    if (!readOdmlIndex(source, layout, file) && !readIdx1(source, layout, file))
        scanMovi(source, layout, file);

    for (StreamData& stream : file.streams)
        stream.finish(state.microSecPerFrame);
    file.info.dwStreams = static_cast<DWORD>(file.streams.size());
    file.info.dwCaps = AVIFILECAPS_CANREAD;
    file.info.dwScale = state.microSecPerFrame > 0 ? state.microSecPerFrame : 1;
    file.info.dwRate = 1000000;
    for (const StreamData& stream : file.streams) {
        if (stream.info.fccType == streamtypeVIDEO) {
            file.info.dwLength = stream.info.dwLength;
            break;
        }
    }
    std::strncpy(file.info.szFileType, "AVI file", sizeof file.info.szFileType - 1);
    out = std::move(file);
    return AVIERR_OK;
}

HRESULT parseMediaFile(const ByteSource& source, ParsedFile& out) {
    uint8_t head[ListHeaderSize] = {};
    if (!source.readAt(0, head, sizeof head))
        return parseMp3File(source, out);
    LeReader r(head, sizeof head);
    if (r.u32(0) != ckidRIFF)
        return parseMp3File(source, out);
    if (r.u32(8) == formtypeAVI)
        return parseAviFile(source, out);
    if (r.u32(8) == formtypeWAVE)
        return parseWaveFile(source, out);
    return AVIERR_BADFORMAT;
}

} // namespace platform::vfw
