#pragma once

// A stream of a file being read: its header, its format and the index of its chunks, with the sample
// arithmetic of the AVI file interface (positions, reads, key-frame searches) over them.

#include "platform/vfw/byte_source.h"
#include "platform/vfw/vfw_types.h"

#include <cstdint>
#include <vector>

namespace platform::vfw {

struct ChunkEntry {
    int64_t offset = 0; // file offset of the chunk's data
    uint32_t size = 0;  // data bytes, clamped to the file
    bool key = false;
};

class StreamData {
public:
    AVISTREAMINFO info;
    std::vector<uint8_t> format;
    std::vector<ChunkEntry> chunks;

    // Once the chunks are known: repairs the header's values that would make the stream unusable
    // (zero rate or scale, PCM without a sample size), counts the length from the chunks and prepares the
    // searches.
    void finish(uint32_t microSecPerFrame);

    bool fixedSampleSize() const { return sampleSize_ > 0; }
    LONG start() const { return static_cast<LONG>(info.dwStart); }
    LONG length() const { return static_cast<LONG>(info.dwLength); }
    LONG end() const { return start() + length(); }

    HRESULT read(const ByteSource& source, LONG lStart, LONG lSamples, void* buffer, LONG cbBuffer,
                 LONG* plBytes, LONG* plSamples) const;
    LONG findSample(LONG lPos, LONG lFlags) const;

private:
    // The chunk that holds relative sample rel, or -1.
    int64_t chunkOfSample(int64_t rel) const;
    int64_t firstSampleOfChunk(int64_t chunk) const;
    int64_t samplesInChunk(int64_t chunk) const;
    bool isKeySample(int64_t rel) const;
    int64_t findKey(int64_t rel, bool forward) const;
    int64_t findAny(int64_t rel, bool forward) const;
    LONG findResult(int64_t rel, LONG what) const;
    HRESULT readBytes(const ByteSource& source, int64_t from, int64_t count, uint8_t* out) const;

    uint32_t sampleSize_ = 0;
    bool allKey_ = false;
    std::vector<int64_t> byteStart_; // with a sample size: stream bytes before chunk i (and the total)
    std::vector<int64_t> keys_;      // without: the chunks that are key frames, ascending
};

// What a reader found in a file: the main header's values and the streams.
struct ParsedFile {
    AVIFILEINFO info;
    std::vector<StreamData> streams;
};

} // namespace platform::vfw
