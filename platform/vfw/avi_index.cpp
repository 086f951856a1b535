// The chunk index of an AVI file, built in steps: the OpenDML index when every stream has one, else
// idx1 (with relative or absolute offsets told apart from its entries), else a scan of the movi lists.

#include "platform/vfw/avi_constants.h"
#include "platform/vfw/avi_reader.h"

#include <algorithm>
#include <array>
#include <set>

namespace platform::vfw {

namespace {

using namespace avi;

// idx1 is read in blocks of this many entries.
constexpr size_t Idx1EntriesPerBlock = 4096;
// After a damaged chunk header the scan looks this far ahead for the next good one.
constexpr int64_t ResyncWindow = 4 << 20;
constexpr size_t ResyncBlock = 64 << 10;
// Bytes of a video chunk looked at to tell a key frame.
constexpr size_t KeyProbeSize = 64;

bool addChunk(const ByteSource& source, ParsedFile& file, int stream, int64_t offset, uint32_t size,
              bool key) {
    if (stream < 0 || static_cast<size_t>(stream) >= file.streams.size())
        return false;
    if (offset < 0 || offset > source.size())
        return false;
    const auto clamped = static_cast<uint32_t>(std::min<int64_t>(size, source.size() - offset));
    file.streams[static_cast<size_t>(stream)].chunks.push_back({offset, clamped, key});
    return true;
}

bool isDataType(uint16_t type) {
    return type != cktypePALchange && !isIndexChunkId(static_cast<FOURCC>(type) << 16);
}

void clearChunks(ParsedFile& file) {
    for (StreamData& s : file.streams)
        s.chunks.clear();
}

// Every chunk an index names takes at least its header in the file, so the entries of all index
// chunks together are refused beyond the file's size over the header size: a super index that names
// the same bytes again and again under other offsets cannot make the index larger than the file allows.
size_t maxIndexEntries(const ByteSource& source) {
    return static_cast<size_t>(source.size() / ChunkHeaderSize) + 1;
}

// Reads the entries of one OpenDML standard index ("ix##" or an "indx" of chunks) into its stream,
// at most `room` of them.
size_t readChunkIndex(const ByteSource& source, const std::vector<uint8_t>& block, int stream,
                      ParsedFile& file, size_t room) {
    LeReader r(block);
    const uint32_t longsPerEntry = r.u16(0);
    const uint32_t entrySize = std::max<uint32_t>(longsPerEntry, 2) * 4;
    if (r.u8(3) != AVI_INDEX_OF_CHUNKS || block.size() < OdmlIndexHeaderSize)
        return 0;
    const uint64_t base = r.u64(12);
    const size_t entries = std::min<size_t>(r.u32(4), (block.size() - OdmlIndexHeaderSize) / entrySize);
    size_t added = 0;
    for (size_t i = 0; i < entries && added < room; ++i) {
        const size_t at = OdmlIndexHeaderSize + i * entrySize;
        const uint64_t offset = base + r.u32(at);
        const uint32_t size = r.u32(at + 4);
        if (offset > static_cast<uint64_t>(INT64_MAX))
            continue;
        if (addChunk(source, file, stream, static_cast<int64_t>(offset), size & ~OdmlNotKeyFrameBit,
                     (size & OdmlNotKeyFrameBit) == 0))
            ++added;
    }
    return added;
}

} // namespace

std::optional<int> avi::streamOfChunkId(FOURCC ckid) {
    const auto a = static_cast<char>(ckid & 0xFF);
    const auto b = static_cast<char>(ckid >> 8 & 0xFF);
    if (a < '0' || a > '9' || b < '0' || b > '9')
        return std::nullopt;
    return (a - '0') * 10 + (b - '0');
}

bool avi::isIndexChunkId(FOURCC ckid) {
    // "ix00" or, from some writers, "00ix".
    const auto c0 = static_cast<char>(ckid & 0xFF);
    const auto c1 = static_cast<char>(ckid >> 8 & 0xFF);
    const auto c2 = static_cast<char>(ckid >> 16 & 0xFF);
    const auto c3 = static_cast<char>(ckid >> 24 & 0xFF);
    return (c0 == 'i' && c1 == 'x') || (c2 == 'i' && c3 == 'x');
}

bool readOdmlIndex(const ByteSource& source, const AviLayout& layout, ParsedFile& file) {
    if (file.streams.empty() || layout.indx.size() != file.streams.size())
        return false;
    for (const auto& indx : layout.indx) {
        if (indx.size() < OdmlIndexHeaderSize)
            return false;
    }
    size_t total = 0;
    std::set<int64_t> seen; // an index chunk listed twice is read once
    int followed = 0;
    const size_t budget = maxIndexEntries(source);
    int64_t bytesLeft = source.size();
    for (size_t s = 0; s < layout.indx.size() && total < budget; ++s) {
        const auto& indx = layout.indx[s];
        LeReader r(indx);
        if (r.u8(3) == AVI_INDEX_OF_CHUNKS) {
            total += readChunkIndex(source, indx, static_cast<int>(s), file, budget - total);
            continue;
        }
        if (r.u8(3) != AVI_INDEX_OF_INDEXES) {
            clearChunks(file);
            return false;
        }
        const uint32_t entrySize = std::max<uint32_t>(r.u16(0), 4) * 4;
        const size_t entries = std::min<size_t>(r.u32(4), (indx.size() - OdmlIndexHeaderSize) / entrySize);
        for (size_t i = 0; i < entries && followed < MaxRiffChunks && total < budget && bytesLeft > 0; ++i) {
            const uint64_t offset = r.u64(OdmlIndexHeaderSize + i * entrySize);
            if (offset > static_cast<uint64_t>(source.size()) ||
                !seen.insert(static_cast<int64_t>(offset)).second)
                continue;
            ++followed;
            uint32_t id = 0;
            uint32_t size = 0;
            if (!source.readLE32(static_cast<int64_t>(offset), id) ||
                !source.readLE32(static_cast<int64_t>(offset) + 4, size) || !isIndexChunkId(id))
                continue;
            // Index chunks do not overlap, so together they are read no further than the file's size.
            const auto block = source.readBlock(static_cast<int64_t>(offset) + ChunkHeaderSize,
                                                static_cast<size_t>(std::min<int64_t>(size, bytesLeft)));
            bytesLeft -= static_cast<int64_t>(block.size());
            total += readChunkIndex(source, block, static_cast<int>(s), file, budget - total);
        }
    }
    if (total == 0)
        clearChunks(file);
    return total > 0;
}

namespace {

// Whether a chunk of size bytes at dataAt ends inside the movi list that idx1 indexes (or, where the
// list's own size is too small, before the idx1 chunk that follows it).
bool fitsMovi(const AviLayout& layout, int64_t dataAt, uint32_t size) {
    const int64_t limit = std::max(layout.movi.front().end, layout.idx1Offset - ChunkHeaderSize);
    return dataAt + static_cast<int64_t>(size) <= limit;
}

// A damaged idx1 entry can name a size far beyond its chunk (up to the rest of the file, which would
// then be read as one frame). The chunk's own header decides when its id is the entry's and its size
// fits; otherwise the entry stays as an empty chunk, so that the frames after it keep their numbers.
bool sizeFromChunkHeader(const ByteSource& source, const AviLayout& layout, int64_t dataAt, FOURCC ckid,
                         uint32_t& size) {
    uint32_t id = 0;
    uint32_t own = 0;
    if (!source.readLE32(dataAt - ChunkHeaderSize, id) || id != ckid ||
        !source.readLE32(dataAt - ChunkHeaderSize + 4, own) || !fitsMovi(layout, dataAt, own))
        return false;
    size = own;
    return true;
}

} // namespace

bool readIdx1(const ByteSource& source, const AviLayout& layout, ParsedFile& file) {
    if (layout.idx1Offset < 0 || layout.movi.empty())
        return false;
    const int64_t count = layout.idx1Size / Idx1EntrySize;
    // Offsets count from the "movi" list type (the usual way) or from the start of the file; the first
    // data entry tells which: its chunk id must stand where its offset points.
    int64_t base = -1;
    size_t total = 0;
    for (int64_t first = 0; first < count; first += Idx1EntriesPerBlock) {
        const auto n = static_cast<size_t>(std::min<int64_t>(Idx1EntriesPerBlock, count - first));
        const auto block = source.readBlock(layout.idx1Offset + first * Idx1EntrySize, n * Idx1EntrySize);
        LeReader r(block);
        for (size_t i = 0; i < block.size() / Idx1EntrySize; ++i) {
            const size_t at = i * Idx1EntrySize;
            const FOURCC ckid = r.u32(at);
            const DWORD flags = r.u32(at + 4);
            const uint32_t offset = r.u32(at + 8);
            const uint32_t size = r.u32(at + 12);
            const auto stream = streamOfChunkId(ckid);
            if ((flags & AVIIF_LIST) != 0 || !stream || !isDataType(typeOfChunkId(ckid)))
                continue;
            if (base < 0) {
                const int64_t relative = layout.movi.front().typeOffset;
                uint32_t atRelative = 0;
                uint32_t atAbsolute = 0;
                if (source.readLE32(relative + offset, atRelative) && atRelative == ckid)
                    base = relative;
                else if (source.readLE32(offset, atAbsolute) && atAbsolute == ckid)
                    base = 0;
                else
                    base = offset < layout.movi.front().end - relative ? relative : 0;
            }
            const int64_t dataAt = base + offset + ChunkHeaderSize;
            uint32_t entrySize = size;
            if (!fitsMovi(layout, dataAt, entrySize) &&
                !sizeFromChunkHeader(source, layout, dataAt, ckid, entrySize))
                entrySize = 0;
            if (addChunk(source, file, *stream, dataAt, entrySize, (flags & AVIIF_KEYFRAME) != 0))
                ++total;
        }
    }
    if (total == 0)
        clearChunks(file);
    return total > 0;
}

namespace {

bool plausibleDataChunk(const ParsedFile& file, FOURCC id, uint32_t size, int64_t room) {
    const auto stream = streamOfChunkId(id);
    return stream && static_cast<size_t>(*stream) < file.streams.size() && isDataType(typeOfChunkId(id)) &&
           static_cast<int64_t>(size) <= room;
}

// The offset of the next plausible chunk header after a damaged one, or -1.
int64_t resync(const ByteSource& source, const ParsedFile& file, int64_t from, int64_t end) {
    const int64_t limit = std::min(end, from + ResyncWindow);
    for (int64_t pos = from; pos < limit; pos += ResyncBlock) {
        const auto block = source.readBlock(pos, ResyncBlock + ChunkHeaderSize);
        LeReader r(block);
        for (size_t i = 0; i + ChunkHeaderSize <= block.size() && pos + static_cast<int64_t>(i) < limit;
             ++i) {
            const int64_t at = pos + static_cast<int64_t>(i);
            if (plausibleDataChunk(file, r.u32(i), r.u32(i + 4), end - at - ChunkHeaderSize))
                return at;
        }
    }
    return -1;
}

void scanRange(const ByteSource& source, int64_t begin, int64_t end, ParsedFile& file, int depth) {
    int64_t pos = begin;
    while (pos >= 0 && pos < end) {
        int64_t damagedAt = -1;
        walkChunks(source, pos, end, [&](const RawChunk& ck) {
            if (ck.id == ckidLIST) {
                // "rec " lists group the chunks of one moment; their contents are data like the rest.
                if (ck.listType == listtypeREC && depth == 0)
                    scanRange(source, ck.dataOffset + 4, ck.dataOffset + ck.size, file, depth + 1);
                return true;
            }
            if (ck.id == ckidJUNK || isIndexChunkId(ck.id))
                return true;
            const auto stream = streamOfChunkId(ck.id);
            if (!stream || static_cast<size_t>(*stream) >= file.streams.size()) {
                damagedAt = ck.headerOffset;
                return false;
            }
            if (!isDataType(typeOfChunkId(ck.id)))
                return true;
            StreamData& s = file.streams[static_cast<size_t>(*stream)];
            bool key = true;
            if (s.info.fccType == streamtypeVIDEO) {
                const auto probe = source.readBlock(
                    ck.dataOffset, static_cast<size_t>(std::min<int64_t>(ck.size, KeyProbeSize)));
                key = ck.size > 0 && looksLikeKeyFrame(s, probe.data(), probe.size());
            }
            s.chunks.push_back({ck.dataOffset, static_cast<uint32_t>(ck.size), key});
            return true;
        });
        if (damagedAt < 0)
            return;
        pos = resync(source, file, damagedAt + 1, end);
    }
}

} // namespace

void scanMovi(const ByteSource& source, const AviLayout& layout, ParsedFile& file) {
    clearChunks(file);
    for (const MoviList& movi : layout.movi)
        scanRange(source, movi.typeOffset + 4, movi.end, file, 0);
}

bool looksLikeKeyFrame(const StreamData& stream, const uint8_t* data, size_t size) {
    if (size == 0)
        return false;
    const FOURCC handler = stream.info.fccHandler;
    const auto lower = [](FOURCC f) { return f | 0x20202020u; };
    const FOURCC h = lower(handler);
    const bool msmpeg4 = h == lower(mmioFOURCC('D', 'I', 'V', '3')) ||
                         h == lower(mmioFOURCC('M', 'P', '4', '3')) ||
                         h == lower(mmioFOURCC('D', 'I', 'V', '4'));
    if (msmpeg4)
        return (data[0] >> 6) == 0; // picture type 0: intra
    // MPEG-4 part 2: the coding type of the first VOP (0: intra); headers before it mean a key frame.
    for (size_t i = 0; i + 4 < size; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1)
            continue;
        const uint8_t code = data[i + 3];
        if (code == 0xB6)
            return (data[i + 4] >> 6) == 0;
        if (code == 0xB0 || code == 0xB5 || code <= 0x2F)
            return true;
    }
    // Uncompressed and unknown formats: every frame with data.
    return true;
}

} // namespace platform::vfw
