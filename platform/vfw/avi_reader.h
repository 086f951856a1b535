#pragma once

// Reading AVI and WAVE files: the headers, formats and chunk index of every stream, from bytes that are
// all distrusted (sizes clamped to their LIST and to the file, offsets checked, every walk moving
// forward and bounded).

#include "platform/vfw/byte_source.h"
#include "platform/vfw/stream_data.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace platform::vfw {

// Parses an AVI ("RIFF" "AVI ") or WAVE ("RIFF" "WAVE") file, or plain MP3 frames. AVIERR_BADFORMAT
// when it is none of them or its headers cannot be used.
HRESULT parseMediaFile(const ByteSource& source, ParsedFile& out);

HRESULT parseAviFile(const ByteSource& source, ParsedFile& out);
HRESULT parseWaveFile(const ByteSource& source, ParsedFile& out);
// A file of MPEG layer III frames (after an optional ID3v2 tag) without a RIFF header.
HRESULT parseMp3File(const ByteSource& source, ParsedFile& out);

// One chunk met by a walk, with its size clamped to the walked range.
struct RawChunk {
    FOURCC id = 0;
    int64_t headerOffset = 0;
    int64_t dataOffset = 0;
    int64_t size = 0;      // data bytes within the range
    uint32_t declared = 0; // the size field as stored
    FOURCC listType = 0;   // of "RIFF" and "LIST" chunks
};

// Visits the chunks of [begin, end) in order until visit returns false, the range ends or a chunk
// header cannot be read. Each step moves forward by at least a chunk header.
void walkChunks(const ByteSource& source, int64_t begin, int64_t end,
                const std::function<bool(const RawChunk&)>& visit);

// The parts of an AVI file that the index builders need.
struct MoviList {
    int64_t typeOffset = 0; // offset of the "movi" list type: idx1 offsets count from here
    int64_t end = 0;
};
struct AviLayout {
    std::vector<MoviList> movi; // the first RIFF's and those of the AVIX extension RIFFs
    int64_t idx1Offset = -1;    // data of the idx1 chunk
    int64_t idx1Size = 0;
    std::vector<std::vector<uint8_t>> indx; // each stream's OpenDML index chunk ("indx"), or empty
};

// Index builders, tried in this order; each fills the streams' chunks and returns whether it found any.
bool readOdmlIndex(const ByteSource& source, const AviLayout& layout, ParsedFile& file);
bool readIdx1(const ByteSource& source, const AviLayout& layout, ParsedFile& file);
void scanMovi(const ByteSource& source, const AviLayout& layout, ParsedFile& file);

// Whether the first bytes of a video chunk begin a key frame, for files without an index.
bool looksLikeKeyFrame(const StreamData& stream, const uint8_t* data, size_t size);

} // namespace platform::vfw
