#include "platform/vfw/stream_data.h"

#include "platform/vfw/avi_constants.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace platform::vfw {

namespace {

constexpr uint16_t FormatTagPcm = 1;
constexpr uint32_t MicrosecondsPerSecond = 1000000;

LONG clampToLong(int64_t value) {
    return static_cast<LONG>(std::clamp<int64_t>(value, LONG_MIN, LONG_MAX));
}

uint16_t formatTag(const std::vector<uint8_t>& format) {
    return format.size() >= 2 ? static_cast<uint16_t>(format[0] | format[1] << 8) : 0;
}

uint16_t blockAlign(const std::vector<uint8_t>& format) {
    return format.size() >= avi::WaveFormatMinSize ? static_cast<uint16_t>(format[12] | format[13] << 8) : 0;
}

} // namespace

void StreamData::finish(uint32_t microSecPerFrame) {
    const bool audio = info.fccType == streamtypeAUDIO;
    // Files from writers that leave the sample size of PCM audio at 0: its samples are its blocks.
    if (audio && info.dwSampleSize == 0 && formatTag(format) == FormatTagPcm && blockAlign(format) > 0)
        info.dwSampleSize = blockAlign(format);
    if (info.dwScale == 0 || info.dwRate == 0) {
        if (info.fccType == streamtypeVIDEO && microSecPerFrame > 0) {
            info.dwScale = microSecPerFrame;
            info.dwRate = MicrosecondsPerSecond;
        } else {
            info.dwScale = 1;
            info.dwRate = std::max<DWORD>(info.dwRate, 1);
        }
    }
    // Video has one frame per chunk whatever its header says; audio with a sample size is a byte stream.
    sampleSize_ = audio ? info.dwSampleSize : 0;
    allKey_ = info.fccType != streamtypeVIDEO;
    info.dwStart = std::min<DWORD>(info.dwStart, INT_MAX / 2);

    int64_t length = 0;
    uint32_t largest = 0;
    byteStart_.clear();
    keys_.clear();
    if (sampleSize_ > 0) {
        byteStart_.reserve(chunks.size() + 1);
        int64_t total = 0;
        for (const ChunkEntry& c : chunks) {
            byteStart_.push_back(total);
            total += c.size;
            largest = std::max(largest, c.size);
        }
        byteStart_.push_back(total);
        length = total / sampleSize_;
    } else {
        for (size_t i = 0; i < chunks.size(); ++i) {
            largest = std::max(largest, chunks[i].size);
            if (chunks[i].size > 0 && (allKey_ || chunks[i].key))
                keys_.push_back(static_cast<int64_t>(i));
        }
        length = static_cast<int64_t>(chunks.size());
    }
    info.dwLength =
        static_cast<DWORD>(std::min<int64_t>(length, INT_MAX - static_cast<int64_t>(info.dwStart)));
    info.dwSuggestedBufferSize = std::max(info.dwSuggestedBufferSize, largest);
}

int64_t StreamData::chunkOfSample(int64_t rel) const {
    if (rel < 0 || rel >= length())
        return -1;
    if (sampleSize_ == 0)
        return rel;
    const int64_t byte = rel * sampleSize_;
    // The last chunk whose first byte is at or before the sample's first byte, skipping empty chunks.
    auto it = std::upper_bound(byteStart_.begin(), byteStart_.end() - 1, byte);
    return static_cast<int64_t>(it - byteStart_.begin()) - 1;
}

int64_t StreamData::firstSampleOfChunk(int64_t chunk) const {
    if (sampleSize_ == 0)
        return chunk;
    return (byteStart_[static_cast<size_t>(chunk)] + sampleSize_ - 1) / sampleSize_;
}

int64_t StreamData::samplesInChunk(int64_t chunk) const {
    if (sampleSize_ == 0)
        return 1;
    const auto i = static_cast<size_t>(chunk);
    const int64_t endSample =
        std::min<int64_t>((byteStart_[i + 1] + sampleSize_ - 1) / sampleSize_, length());
    return std::max<int64_t>(endSample - firstSampleOfChunk(chunk), 1);
}

bool StreamData::isKeySample(int64_t rel) const {
    if (rel < 0 || rel >= length())
        return false;
    if (sampleSize_ > 0)
        return true;
    return std::binary_search(keys_.begin(), keys_.end(), rel);
}

int64_t StreamData::findKey(int64_t rel, bool forward) const {
    if (sampleSize_ > 0)
        return rel >= 0 && rel < length() ? rel : -1;
    if (forward) {
        auto it = std::lower_bound(keys_.begin(), keys_.end(), rel);
        return it == keys_.end() ? -1 : *it;
    }
    auto it = std::upper_bound(keys_.begin(), keys_.end(), rel);
    return it == keys_.begin() ? -1 : *(it - 1);
}

int64_t StreamData::findAny(int64_t rel, bool forward) const {
    if (sampleSize_ > 0)
        return rel >= 0 && rel < length() ? rel : -1;
    for (int64_t i = rel; i >= 0 && i < length(); i += forward ? 1 : -1) {
        if (chunks[static_cast<size_t>(i)].size > 0)
            return i;
    }
    return -1;
}

LONG StreamData::findResult(int64_t rel, LONG what) const {
    const int64_t chunk = chunkOfSample(rel);
    if (chunk < 0)
        return -1;
    const ChunkEntry& c = chunks[static_cast<size_t>(chunk)];
    switch (what) {
    case FIND_POS:
        return clampToLong(start() + rel);
    case FIND_LENGTH:
        return clampToLong(samplesInChunk(chunk));
    case FIND_OFFSET:
        return clampToLong(c.offset);
    case FIND_SIZE:
        return sampleSize_ > 0 ? static_cast<LONG>(sampleSize_) : static_cast<LONG>(c.size);
    case FIND_INDEX:
        return clampToLong(chunk);
    default:
        return -1;
    }
}

LONG StreamData::findSample(LONG lPos, LONG lFlags) const {
    int64_t rel = static_cast<int64_t>(lPos) - start();
    LONG dir = lFlags & FIND_DIR;
    if ((dir & FIND_FROM_START) != 0) {
        rel = 0;
        dir = FIND_NEXT;
    }
    const bool forward = (dir & FIND_NEXT) != 0;
    const LONG type = lFlags & FIND_TYPE;
    const LONG what = lFlags & FIND_RET;
    if (length() <= 0)
        return -1;
    if (forward && rel < 0)
        rel = 0;
    if (!forward && rel >= length())
        rel = length() - 1;
    if (rel < 0 || rel >= length())
        return -1;

    int64_t found = -1;
    if (type == FIND_FORMAT)
        found = forward ? (rel == 0 ? 0 : -1) : 0; // one format for the whole stream
    else if (type == FIND_KEY)
        found = findKey(rel, forward);
    else
        found = findAny(rel, forward);
    if (found < 0)
        return -1;
    return findResult(found, what);
}

HRESULT StreamData::readBytes(const ByteSource& source, int64_t from, int64_t count, uint8_t* out) const {
    auto it = std::upper_bound(byteStart_.begin(), byteStart_.end() - 1, from);
    auto chunk = static_cast<size_t>(it - byteStart_.begin()) - 1;
    while (count > 0 && chunk < chunks.size()) {
        const int64_t inChunk = from - byteStart_[chunk];
        const int64_t piece = std::min<int64_t>(count, chunks[chunk].size - inChunk);
        if (piece > 0) {
            if (!source.readAt(chunks[chunk].offset + inChunk, out, static_cast<size_t>(piece)))
                return AVIERR_FILEREAD;
            out += piece;
            from += piece;
            count -= piece;
        }
        ++chunk;
    }
    return count == 0 ? AVIERR_OK : AVIERR_FILEREAD;
}

HRESULT StreamData::read(const ByteSource& source, LONG lStart, LONG lSamples, void* buffer, LONG cbBuffer,
                         LONG* plBytes, LONG* plSamples) const {
    LONG bytesOut = 0;
    LONG samplesOut = 0;
    auto report = [&](HRESULT hr) {
        if (plBytes != nullptr)
            *plBytes = bytesOut;
        if (plSamples != nullptr)
            *plSamples = samplesOut;
        return hr;
    };
    const int64_t rel = static_cast<int64_t>(lStart) - start();
    if (rel < 0 || rel > length())
        return report(AVIERR_NODATA);
    if (cbBuffer < 0 || (lSamples < 0 && lSamples != AVISTREAMREAD_CONVENIENT))
        return report(AVIERR_BADPARAM);
    if (rel == length() || lSamples == 0)
        return report(AVIERR_OK);
    const int64_t chunk = chunkOfSample(rel);
    if (sampleSize_ == 0) {
        const ChunkEntry& c = chunks[static_cast<size_t>(chunk)];
        samplesOut = 1;
        bytesOut = static_cast<LONG>(std::min<uint32_t>(c.size, INT_MAX));
        if (buffer == nullptr)
            return report(AVIERR_OK);
        if (cbBuffer < bytesOut) {
            samplesOut = 0;
            return report(AVIERR_BUFFERTOOSMALL);
        }
        if (c.size > 0 && !source.readAt(c.offset, buffer, c.size)) {
            samplesOut = bytesOut = 0;
            return report(AVIERR_FILEREAD);
        }
        return report(AVIERR_OK);
    }
    int64_t count = lSamples;
    if (lSamples == AVISTREAMREAD_CONVENIENT)
        count = firstSampleOfChunk(chunk) + samplesInChunk(chunk) - rel;
    count = std::clamp<int64_t>(count, 1, length() - rel);
    if (buffer == nullptr) {
        count = std::min<int64_t>(count, INT_MAX / sampleSize_);
        samplesOut = static_cast<LONG>(count);
        bytesOut = static_cast<LONG>(count * sampleSize_);
        return report(AVIERR_OK);
    }
    if (cbBuffer < static_cast<int64_t>(sampleSize_)) {
        bytesOut = static_cast<LONG>(std::min<uint32_t>(sampleSize_, INT_MAX));
        return report(AVIERR_BUFFERTOOSMALL);
    }
    count = std::min<int64_t>(count, cbBuffer / sampleSize_);
    const HRESULT hr =
        readBytes(source, rel * sampleSize_, count * sampleSize_, static_cast<uint8_t*>(buffer));
    if (hr != AVIERR_OK)
        return report(hr);
    samplesOut = static_cast<LONG>(count);
    bytesOut = static_cast<LONG>(count * sampleSize_);
    return report(AVIERR_OK);
}

} // namespace platform::vfw
