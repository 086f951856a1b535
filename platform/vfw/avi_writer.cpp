#include "platform/vfw/avi_writer.h"

#include "platform/vfw/avi_constants.h"
#include "platform/vfw/byte_source.h"
#include "platform/vfw/video_properties.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace platform::vfw {

namespace {

using namespace avi;

// Room left in the header area at the first write for streams created or formats set later.
constexpr int64_t HeaderSlack = 1024;
// The largest gap a write may ask to be filled, in bytes or in empty chunks.
constexpr int64_t MaxGapBytes = 64 << 20;
constexpr int64_t MaxGapChunks = 1 << 20;
constexpr int64_t GapPieceBytes = 1 << 20;
constexpr double MicrosecondsPerSecond = 1e6;

// A video stream whose display aspect is known has a video properties header after its format.
bool hasVideoProperties(const AVISTREAMINFO& info) {
    return info.fccType == streamtypeVIDEO && info.aspect.known();
}

int64_t streamListSize(const AVISTREAMINFO& info, size_t formatSize, size_t nameLength) {
    int64_t size = ListHeaderSize + ChunkHeaderSize + StreamHeaderSize + ChunkHeaderSize +
                   padded(static_cast<int64_t>(formatSize));
    if (hasVideoProperties(info))
        size += ChunkHeaderSize + VideoPropertiesSize;
    if (nameLength > 0)
        size += ChunkHeaderSize + padded(static_cast<int64_t>(nameLength) + 1);
    return size;
}

size_t nameLength(const AVISTREAMINFO& info) {
    return strnlen(info.szName, sizeof info.szName);
}

void putFourCC(std::vector<uint8_t>& out, FOURCC id) {
    putLE32(out, id);
}

// Width and height of a video format (a bitmap header), 0 when it has none.
std::pair<uint32_t, uint32_t> frameSize(const std::vector<uint8_t>& format) {
    if (format.size() < 12)
        return {0, 0};
    LeReader r(format);
    const auto width = static_cast<int32_t>(r.u32(4));
    const auto height = static_cast<int32_t>(r.u32(8));
    return {static_cast<uint32_t>(std::abs(static_cast<int64_t>(width))),
            static_cast<uint32_t>(std::abs(static_cast<int64_t>(height)))};
}

uint32_t clamp32(double value) {
    if (!(value > 0))
        return 0;
    return value >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(std::lround(value));
}

} // namespace

std::unique_ptr<AviWriter> AviWriter::create(std::string_view path) {
    auto file = mmio::RiffFile::open(path, mmio::OpenMode::Create);
    if (!file)
        return nullptr;
    return std::unique_ptr<AviWriter>(new AviWriter(std::move(file)));
}

AviWriter::~AviWriter() {
    if (!finished_ && file_)
        file_->discard();
}

AVISTREAMINFO AviWriter::streamInfo(int stream) const {
    const Stream& s = streams_.at(static_cast<size_t>(stream));
    AVISTREAMINFO info = s.info;
    info.dwLength = static_cast<DWORD>(std::min<int64_t>(s.length, INT_MAX));
    info.dwSuggestedBufferSize = std::max(info.dwSuggestedBufferSize, s.largest);
    return info;
}

const std::vector<uint8_t>& AviWriter::streamFormat(int stream) const {
    return streams_.at(static_cast<size_t>(stream)).format;
}

int64_t AviWriter::headerSize() const {
    int64_t size = ListHeaderSize + ListHeaderSize + ChunkHeaderSize + MainHeaderSize;
    for (const Stream& s : streams_)
        size += streamListSize(s.info, s.format.size(), nameLength(s.info));
    return size;
}

HRESULT AviWriter::createStream(const AVISTREAMINFO& info, int& index) {
    if (finished_ || failed_)
        return AVIERR_FILEWRITE;
    if (streams_.size() >= static_cast<size_t>(MaxStreams))
        return AVIERR_UNSUPPORTED;
    if (moviListOffset_ >= 0 &&
        headerSize() + streamListSize(info, 0, nameLength(info)) + static_cast<int64_t>(ChunkHeaderSize) >
            moviListOffset_)
        return AVIERR_UNSUPPORTED;
    Stream s;
    s.info = info;
    s.info.dwLength = 0;
    s.info.dwEditCount = 0;
    s.info.dwFormatChangeCount = 0;
    s.info.szName[StreamNameSize - 1] = '\0';
    if (s.info.dwScale == 0 || s.info.dwRate == 0)
        return AVIERR_BADPARAM;
    index = static_cast<int>(streams_.size());
    streams_.push_back(s);
    return AVIERR_OK;
}

HRESULT AviWriter::setFormat(int stream, const void* format, LONG size) {
    if (finished_ || failed_)
        return AVIERR_FILEWRITE;
    if (stream < 0 || stream >= streamCount() || format == nullptr || size <= 0)
        return AVIERR_BADPARAM;
    Stream& s = streams_[static_cast<size_t>(stream)];
    if (s.started || s.formatSet)
        return AVIERR_UNSUPPORTED; // one format per stream, set before its data
    const size_t before = s.format.size();
    const int64_t grown = headerSize() - padded(static_cast<int64_t>(before)) + padded(size);
    if (moviListOffset_ >= 0 && grown + static_cast<int64_t>(ChunkHeaderSize) > moviListOffset_)
        return AVIERR_UNSUPPORTED;
    const auto* bytes = static_cast<const uint8_t*>(format);
    s.format.assign(bytes, bytes + size);
    s.formatSet = true;
    uint16_t type = cktypeDIBcompressed;
    if (s.info.fccType == streamtypeAUDIO)
        type = cktypeWAVEbytes;
    else if (s.info.fccType == streamtypeTEXT)
        type = cktypeTEXT;
    else if (s.info.fccType == streamtypeVIDEO && s.format.size() >= 20 &&
             LeReader(s.format).u32(16) == BI_RGB)
        type = cktypeDIBbits;
    s.ckid = makeChunkId(stream, type);
    if (s.info.fccType == streamtypeVIDEO && s.info.rcFrame.right == 0 && s.info.rcFrame.bottom == 0) {
        const auto [w, h] = frameSize(s.format);
        s.info.rcFrame.right = static_cast<LONG>(std::min<uint32_t>(w, SHRT_MAX));
        s.info.rcFrame.bottom = static_cast<LONG>(std::min<uint32_t>(h, SHRT_MAX));
    }
    return AVIERR_OK;
}

bool AviWriter::put(const std::vector<uint8_t>& bytes, int64_t at) {
    if (failed_)
        return false;
    if (file_->seek(at, SEEK_SET) != at ||
        file_->write(bytes.data(), static_cast<int64_t>(bytes.size())) != static_cast<int64_t>(bytes.size()))
        failed_ = true;
    return !failed_;
}

HRESULT AviWriter::startData() {
    moviListOffset_ = headerSize() + HeaderSlack;
    std::vector<uint8_t> list;
    putFourCC(list, ckidLIST);
    putLE32(list, 4); // patched when the file is finished
    putFourCC(list, listtypeMOVI);
    if (!put(list, moviListOffset_))
        return AVIERR_FILEWRITE;
    pos_ = moviListOffset_ + ListHeaderSize;
    return AVIERR_OK;
}

HRESULT AviWriter::appendChunk(int stream, const void* data, uint32_t size, DWORD flags) {
    const Stream& s = streams_[static_cast<size_t>(stream)];
    const int64_t chunkEnd = pos_ + ChunkHeaderSize + padded(size);
    const int64_t indexEnd =
        chunkEnd + ChunkHeaderSize + static_cast<int64_t>(index_.size() + 1) * Idx1EntrySize;
    if (indexEnd > MaxAvi1FileSize)
        return AVIERR_FILEWRITE; // AVI 1.0 offsets and sizes are 32-bit
    scratch_.clear();
    putFourCC(scratch_, s.ckid);
    putLE32(scratch_, size);
    if (size > 0) {
        if (data != nullptr)
            scratch_.insert(scratch_.end(), static_cast<const uint8_t*>(data),
                            static_cast<const uint8_t*>(data) + size);
        else
            scratch_.resize(scratch_.size() + size, 0);
    }
    if ((size & 1) != 0)
        scratch_.push_back(0);
    if (!put(scratch_, pos_))
        return AVIERR_FILEWRITE;
    const auto offset = static_cast<uint32_t>(pos_ - (moviListOffset_ + ChunkHeaderSize));
    index_.push_back({s.ckid, flags & ~AVIIF_LIST, offset, size});
    pos_ = chunkEnd;
    return AVIERR_OK;
}

HRESULT AviWriter::fillGap(Stream& s, int stream, int64_t gap) {
    if (s.info.dwSampleSize == 0) {
        if (gap > MaxGapChunks)
            return AVIERR_BADPARAM;
        for (int64_t i = 0; i < gap; ++i) {
            if (const HRESULT hr = appendChunk(stream, nullptr, 0, 0); hr != AVIERR_OK)
                return hr;
            ++s.length;
        }
        return AVIERR_OK;
    }
    if (gap > MaxGapBytes / s.info.dwSampleSize)
        return AVIERR_BADPARAM;
    const int64_t piece = std::max<int64_t>(GapPieceBytes / s.info.dwSampleSize, 1);
    for (int64_t left = gap; left > 0;) {
        const int64_t n = std::min(left, piece);
        const auto bytes = static_cast<uint32_t>(n * s.info.dwSampleSize);
        if (const HRESULT hr = appendChunk(stream, nullptr, bytes, AVIIF_KEYFRAME); hr != AVIERR_OK)
            return hr;
        s.length += n;
        s.bytes += bytes;
        s.largest = std::max(s.largest, bytes);
        left -= n;
    }
    return AVIERR_OK;
}

HRESULT AviWriter::write(int stream, LONG start, LONG samples, const void* data, LONG bytes, DWORD flags,
                         LONG* samplesWritten, LONG* bytesWritten) {
    if (samplesWritten != nullptr)
        *samplesWritten = 0;
    if (bytesWritten != nullptr)
        *bytesWritten = 0;
    if (finished_ || failed_)
        return AVIERR_FILEWRITE;
    if (stream < 0 || stream >= streamCount() || samples < 0 || bytes < 0 || (bytes > 0 && data == nullptr))
        return AVIERR_BADPARAM;
    Stream& s = streams_[static_cast<size_t>(stream)];
    if (!s.formatSet)
        return AVIERR_BADFORMAT;
    const uint32_t sampleSize = s.info.dwSampleSize;
    if (sampleSize > 0 ? int64_t{bytes} != int64_t{samples} * sampleSize
                       : samples > 1 || (samples == 0 && bytes > 0))
        return AVIERR_BADPARAM;
    if (samples == 0)
        return AVIERR_OK;
    const int64_t end = int64_t{s.info.dwStart} + s.length;
    if (start == -1)
        start = static_cast<LONG>(std::min<int64_t>(s.started ? end : s.info.dwStart, INT_MAX));
    if (start < 0 || (s.started && start < end))
        return AVIERR_BADPARAM;
    if (moviListOffset_ < 0) {
        if (const HRESULT hr = startData(); hr != AVIERR_OK)
            return hr;
    }
    if (!s.started) {
        s.info.dwStart = static_cast<DWORD>(start);
        s.started = true;
    } else if (start > end) {
        if (const HRESULT hr = fillGap(s, stream, start - end); hr != AVIERR_OK)
            return hr;
    }
    if (const HRESULT hr = appendChunk(stream, data, static_cast<uint32_t>(bytes), flags); hr != AVIERR_OK)
        return hr;
    s.length += samples;
    s.bytes += bytes;
    s.largest = std::max(s.largest, static_cast<uint32_t>(bytes));
    if (samplesWritten != nullptr)
        *samplesWritten = samples;
    if (bytesWritten != nullptr)
        *bytesWritten = bytes;
    return AVIERR_OK;
}

void AviWriter::appendMainHeader(std::vector<uint8_t>& out) const {
    const Stream* video = nullptr;
    for (const Stream& s : streams_) {
        if (s.info.fccType == streamtypeVIDEO) {
            video = &s;
            break;
        }
    }
    const Stream* lead = video != nullptr ? video : (streams_.empty() ? nullptr : &streams_.front());
    double seconds = 0;
    int64_t totalBytes = 0;
    uint32_t largest = 0;
    for (const Stream& s : streams_) {
        seconds = std::max(seconds, static_cast<double>(s.length) * s.info.dwScale / s.info.dwRate);
        totalBytes += s.bytes;
        largest = std::max({largest, s.largest, s.info.dwSuggestedBufferSize});
    }
    const auto [width, height] =
        video != nullptr ? frameSize(video->format) : std::pair<uint32_t, uint32_t>{0, 0};
    DWORD flags = AVIF_HASINDEX;
    if (streams_.size() > 1)
        flags |= AVIF_ISINTERLEAVED;
    putFourCC(out, ckidAVIMAINHDR);
    putLE32(out, MainHeaderSize);
    putLE32(out,
            video != nullptr ? clamp32(MicrosecondsPerSecond * video->info.dwScale / video->info.dwRate) : 0);
    putLE32(out, seconds > 0 ? clamp32(static_cast<double>(totalBytes) / seconds) : 0);
    putLE32(out, 0); // padding granularity
    putLE32(out, flags);
    putLE32(out, lead != nullptr ? static_cast<uint32_t>(std::min<int64_t>(lead->length, UINT32_MAX)) : 0);
    putLE32(out, 0); // initial frames
    putLE32(out, static_cast<uint32_t>(streams_.size()));
    putLE32(out, largest);
    putLE32(out, width);
    putLE32(out, height);
    for (int i = 0; i < 4; ++i)
        putLE32(out, 0); // reserved
}

void AviWriter::appendStreamList(std::vector<uint8_t>& out, const Stream& s) const {
    const size_t name = nameLength(s.info);
    putFourCC(out, ckidLIST);
    putLE32(out, static_cast<uint32_t>(streamListSize(s.info, s.format.size(), name) - ChunkHeaderSize));
    putFourCC(out, listtypeSTRL);
    putFourCC(out, ckidSTREAMHEADER);
    putLE32(out, StreamHeaderSize);
    putFourCC(out, s.info.fccType);
    putFourCC(out, s.info.fccHandler);
    putLE32(out, s.info.dwFlags);
    putLE16(out, s.info.wPriority);
    putLE16(out, s.info.wLanguage);
    putLE32(out, s.info.dwInitialFrames);
    putLE32(out, s.info.dwScale);
    putLE32(out, s.info.dwRate);
    putLE32(out, s.info.dwStart);
    putLE32(out, static_cast<uint32_t>(std::min<int64_t>(s.length, UINT32_MAX)));
    putLE32(out, std::max(s.info.dwSuggestedBufferSize, s.largest));
    putLE32(out, s.info.dwQuality);
    putLE32(out, s.info.dwSampleSize);
    for (const LONG v :
         {s.info.rcFrame.left, s.info.rcFrame.top, s.info.rcFrame.right, s.info.rcFrame.bottom})
        putLE16(out, static_cast<uint16_t>(std::clamp<LONG>(v, SHRT_MIN, SHRT_MAX)));
    putFourCC(out, ckidSTREAMFORMAT);
    putLE32(out, static_cast<uint32_t>(s.format.size()));
    out.insert(out.end(), s.format.begin(), s.format.end());
    if ((s.format.size() & 1) != 0)
        out.push_back(0);
    if (hasVideoProperties(s.info)) {
        const auto [width, height] = frameSize(s.format);
        const auto properties = videoProperties(s.info.aspect, width, height,
                                                clamp32(static_cast<double>(s.info.dwRate) / s.info.dwScale));
        putFourCC(out, ckidVIDEOPROPERTIES);
        putLE32(out, static_cast<uint32_t>(properties.size()));
        out.insert(out.end(), properties.begin(), properties.end());
    }
    if (name > 0) {
        putFourCC(out, ckidSTREAMNAME);
        putLE32(out, static_cast<uint32_t>(name + 1));
        out.insert(out.end(), s.info.szName, s.info.szName + name);
        out.push_back(0);
        if (((name + 1) & 1) != 0)
            out.push_back(0);
    }
}

std::vector<uint8_t> AviWriter::buildHeaders() const {
    std::vector<uint8_t> out;
    putFourCC(out, ckidRIFF);
    putLE32(out, static_cast<uint32_t>(pos_ - ChunkHeaderSize)); // pos_ is the end of the file here
    putFourCC(out, formtypeAVI);
    putFourCC(out, ckidLIST);
    putLE32(out, static_cast<uint32_t>(headerSize() - ListHeaderSize - ChunkHeaderSize));
    putFourCC(out, listtypeHDRL);
    appendMainHeader(out);
    for (const Stream& s : streams_)
        appendStreamList(out, s);
    // The rest of the reserved area, up to the movi list, is a JUNK chunk.
    const int64_t junk = moviListOffset_ - static_cast<int64_t>(out.size());
    if (junk >= static_cast<int64_t>(ChunkHeaderSize)) {
        putFourCC(out, ckidJUNK);
        putLE32(out, static_cast<uint32_t>(junk - ChunkHeaderSize));
        out.resize(static_cast<size_t>(moviListOffset_), 0);
    }
    return out;
}

HRESULT AviWriter::finish() {
    if (finished_)
        return finishResult_;
    finished_ = true;
    if (!failed_ && moviListOffset_ < 0) {
        // Nothing was written: the movi list follows the headers directly.
        moviListOffset_ = headerSize();
        std::vector<uint8_t> list;
        putFourCC(list, ckidLIST);
        putLE32(list, 4);
        putFourCC(list, listtypeMOVI);
        put(list, moviListOffset_);
        pos_ = moviListOffset_ + ListHeaderSize;
    }
    if (!failed_) {
        std::vector<uint8_t> idx1;
        idx1.reserve(ChunkHeaderSize + index_.size() * Idx1EntrySize);
        putFourCC(idx1, ckidAVINEWINDEX);
        putLE32(idx1, static_cast<uint32_t>(index_.size() * Idx1EntrySize));
        for (const IndexEntry& e : index_) {
            putLE32(idx1, e.ckid);
            putLE32(idx1, e.flags);
            putLE32(idx1, e.offset);
            putLE32(idx1, e.size);
        }
        const int64_t moviEnd = pos_;
        if (put(idx1, moviEnd)) {
            pos_ = moviEnd + static_cast<int64_t>(idx1.size());
            std::vector<uint8_t> moviSize;
            putLE32(moviSize, static_cast<uint32_t>(moviEnd - moviListOffset_ - ChunkHeaderSize));
            if (headerSize() + static_cast<int64_t>(ChunkHeaderSize) > moviListOffset_ &&
                headerSize() != moviListOffset_)
                failed_ = true;
            put(moviSize, moviListOffset_ + 4);
            put(buildHeaders(), 0);
        }
    }
    if (failed_) {
        file_->discard();
        finishResult_ = AVIERR_FILEWRITE;
    } else {
        finishResult_ = file_->close() == mmio::MMSYSERR_NOERROR ? AVIERR_OK : AVIERR_FILEWRITE;
    }
    return finishResult_;
}

} // namespace platform::vfw
