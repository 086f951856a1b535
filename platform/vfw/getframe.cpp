// The frame getter: frames of a video stream as packed DIBs, decoded from the nearest key frame.

#include "platform/vfw/getframe.h"

#include "platform/vfw/avi_handles.h"
#include "platform/vfw/avifile.h"
#include "platform/vfw/byte_source.h"
#include "platform/vfw/dib_convert.h"
#include "platform/vfw/frame_decoder.h"
#include "platform/vfw/mpeg4_vop.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <unordered_map>

namespace platform::vfw {

namespace {
constexpr size_t BitmapHeaderSize = 40;
constexpr int DefaultBits = 24;
constexpr size_t MaxRepeatsKept = 1 << 16;
} // namespace

class GetFrame {
public:
    GetFrame(AviStream* s, const StreamData& d) : stream(s), data(d) {}
    ~GetFrame() { AVIStreamRelease(stream); }
    GetFrame(const GetFrame&) = delete;
    GetFrame& operator=(const GetFrame&) = delete;

    const BITMAPINFOHEADER* frame(LONG pos);

    AviStream* stream;
    const StreamData& data;
    int width = 0;
    int height = 0;
    int srcBits = 0;
    int outBits = DefaultBits;
    bool uncompressed = false;
    bool topDown = false;
    std::unique_ptr<FrameDecoder> decoder;

private:
    // What a chunk is to the order of the pictures.
    enum class Slot : uint8_t {
        Unknown,
        Reference, // a picture that later ones may be predicted from: shown after the B-pictures behind it
        Bidirectional, // shown at once, in the slot before its own
        Repeat,        // no picture of its own (empty chunk, not-coded VOP): the picture before is shown
    };

    bool readChunk(LONG pos);
    const BITMAPINFOHEADER* uncompressedFrame(LONG pos);
    const BITMAPINFOHEADER* decodedFrame(LONG pos);
    const BITMAPINFOHEADER* finishFrame(LONG pos);

    Slot slotOf(LONG chunk);
    LONG chunkShown(LONG frame);
    LONG frameShown(LONG chunk);
    LONG referenceBefore(LONG chunk);
    LONG decodingStart(LONG chunk);
    bool decodeChunk(LONG chunk);
    bool decodePicture(LONG pos);
    bool restartAndDecode(LONG chunk, LONG key);
    bool decodeUntilShown(LONG chunk);

    std::vector<uint8_t> chunk_;
    std::vector<uint32_t> argb_;
    std::vector<uint8_t> dib_;
    LONG cachedPos_ = INT_MIN;
    std::vector<Slot> slots_; // by chunk, from the stream start; filled as chunks are looked at
    std::unordered_map<LONG, LONG> repeatShows_; // frames without a picture of their own: the chunk shown
    bool packed_ = false;
    // Decoding state: the key frame decoding started from (INT_MIN: none), the next chunk to send,
    // whether the decoder was drained at the stream end, the last frame shown of what came out.
    LONG key_ = INT_MIN;
    LONG nextInput_ = 0;
    bool drained_ = false;
    LONG lastShown_ = INT_MIN;
};

bool GetFrame::readChunk(LONG pos) {
    LONG size = 0;
    if (data.read(*stream->file->source, pos, 1, nullptr, 0, &size, nullptr) != AVIERR_OK || size < 0)
        return false;
    chunk_.resize(static_cast<size_t>(size));
    LONG got = 0;
    return data.read(*stream->file->source, pos, 1, chunk_.data(), size, &got, nullptr) == AVIERR_OK &&
           got == size;
}

const BITMAPINFOHEADER* GetFrame::finishFrame(LONG pos) {
    argbToDib(argb_, width, height, outBits, dib_);
    cachedPos_ = pos;
    return reinterpret_cast<const BITMAPINFOHEADER*>(dib_.data());
}

const BITMAPINFOHEADER* GetFrame::uncompressedFrame(LONG pos) {
    // An empty chunk repeats the frame before it.
    const LONG stored = data.findSample(pos, FIND_PREV | FIND_ANY);
    if (stored < 0 || !readChunk(stored))
        return nullptr;
    const int64_t image = dibStride(width, srcBits) * height;
    if (srcBits == outBits && !topDown) {
        // Passed through as stored (a short chunk is completed with black).
        dib_.assign(BitmapHeaderSize + static_cast<size_t>(image), 0);
        BITMAPINFOHEADER h;
        h.biWidth = width;
        h.biHeight = height;
        h.biBitCount = static_cast<WORD>(outBits);
        h.biSizeImage = static_cast<DWORD>(image);
        std::memcpy(dib_.data(), &h, sizeof h);
        std::memcpy(dib_.data() + BitmapHeaderSize, chunk_.data(),
                    std::min<size_t>(chunk_.size(), static_cast<size_t>(image)));
        cachedPos_ = pos;
        return reinterpret_cast<const BITMAPINFOHEADER*>(dib_.data());
    }
    chunk_.resize(std::max<size_t>(chunk_.size(), static_cast<size_t>(image)), 0);
    int w = 0;
    int h = 0;
    if (!dibToArgb(data.format.data(), data.format.size(), chunk_.data(), chunk_.size(), argb_, w, h) ||
        w != width || h != height)
        return nullptr;
    return finishFrame(pos);
}

// MPEG-4 streams with B-pictures store them in coding order: a reference picture comes before the
// B-pictures shown ahead of it. Chunk c's picture is shown in slot c − 1 when it is a B-picture, and a
// reference picture in the slot before the next reference picture's chunk (the last slot at the end),
// which is what a decoder with one picture of delay gives. Packed streams become such streams once
// unpacked, slot for slot; streams without B-pictures show each chunk in its own slot.
GetFrame::Slot GetFrame::slotOf(LONG chunk) {
    const auto at = static_cast<size_t>(chunk - data.start());
    if (slots_[at] != Slot::Unknown)
        return slots_[at];
    Slot slot = Slot::Reference;
    LONG size = 0;
    if (data.read(*stream->file->source, chunk, 1, nullptr, 0, &size, nullptr) != AVIERR_OK || size <= 0) {
        slot = Slot::Repeat;
    } else if (decoder->reorders() && readChunk(chunk)) {
        const VopScan scan = scanVops(chunk_.data(), chunk_.size());
        if ((scan.packedMarker || scan.count > 1) && !packed_) {
            // Not-coded VOPs stand for earlier pictures in a packed stream: what was known is redone.
            packed_ = true;
            std::fill(slots_.begin(), slots_.end(), Slot::Unknown);
            repeatShows_.clear();
            key_ = INT_MIN;
        }
        if (scan.first == VopType::Bidirectional || (packed_ && chunk_.size() <= MaxNotCodedVopBytes))
            slot = Slot::Bidirectional;
        else if (scan.count == 0 || chunk_.size() <= MaxNotCodedVopBytes)
            slot = Slot::Repeat;
    }
    slots_[at] = slot;
    return slot;
}

LONG GetFrame::chunkShown(LONG frame) {
    if (frame + 1 < data.end() && slotOf(frame + 1) == Slot::Bidirectional)
        return frame + 1;
    LONG c = frame;
    while (c > data.start() && slotOf(c) == Slot::Bidirectional)
        --c;
    return c;
}

LONG GetFrame::frameShown(LONG chunk) {
    if (slotOf(chunk) == Slot::Bidirectional)
        return chunk - 1;
    LONG next = chunk + 1;
    while (next < data.end() && slotOf(next) == Slot::Bidirectional)
        ++next;
    return next - 1;
}

// The nearest chunk before this one that holds a reference picture, or INT_MIN.
LONG GetFrame::referenceBefore(LONG chunk) {
    for (LONG c = chunk - 1; c >= data.start(); --c)
        if (slotOf(c) == Slot::Reference)
            return c;
    return INT_MIN;
}

// The key frame to decode from for this chunk's picture: a B-picture needs the two reference pictures
// before it, the first of which may lie before the key frame just before it.
LONG GetFrame::decodingStart(LONG chunk) {
    LONG from = chunk;
    if (slotOf(chunk) == Slot::Bidirectional) {
        const LONG later = referenceBefore(chunk);
        const LONG earlier = later == INT_MIN ? INT_MIN : referenceBefore(later);
        from = earlier != INT_MIN ? earlier : (later != INT_MIN ? later : data.start());
    }
    const LONG key = data.findSample(from, FIND_PREV | FIND_KEY);
    return key < 0 ? data.start() : key;
}

// Sends the next chunk (or, at the end, the drain) and notes what came out; false when nothing more can
// come.
bool GetFrame::decodeChunk(LONG chunk) {
    int n = 0;
    if (chunk < data.end()) {
        nextInput_ = chunk + 1;
        if (!readChunk(chunk))
            return false;
        if (chunk_.empty())
            return true;
        n = decoder->decodeTagged(chunk_.data(), chunk_.size(), chunk);
    } else {
        if (drained_)
            return false;
        drained_ = true;
        n = decoder->decodeTagged(nullptr, 0, 0);
    }
    if (n < 0)
        return false;
    for (const int64_t tag : decoder->outputTags()) {
        // A picture whose reference pictures were not all decoded is left aside.
        if (tag < key_ || tag >= data.end() || decodingStart(static_cast<LONG>(tag)) < key_)
            continue;
        lastShown_ = std::max(lastShown_, frameShown(static_cast<LONG>(tag)));
    }
    return true;
}

bool GetFrame::decodePicture(LONG pos) {
    // A slot without a picture of its own shows the one before it; the chunk found is kept for the
    // frame, so that playing through a long run of such slots looks back one frame at a time.
    LONG frame = pos;
    LONG chunk = chunkShown(frame);
    while (slotOf(chunk) == Slot::Repeat) {
        if (frame == data.start())
            return false;
        if (const auto known = repeatShows_.find(frame - 1); known != repeatShows_.end()) {
            chunk = known->second;
            break;
        }
        chunk = chunkShown(--frame);
    }
    if (frame != pos) {
        if (repeatShows_.size() >= MaxRepeatsKept)
            repeatShows_.clear();
        repeatShows_[pos] = chunk;
    }
    const LONG key = decodingStart(chunk);
    if (key_ != INT_MIN && key_ <= key && frameShown(chunk) <= lastShown_)
        return decoder->taggedPicture(chunk, width, height, argb_) || restartAndDecode(chunk, key);
    // Going on from the pictures decoded so far works forwards only, when no later key frame is a
    // shorter way, and while the reference pictures this one needs are those the decoder holds.
    const bool goOn = key_ != INT_MIN && !drained_ && key_ <= key && key <= nextInput_ &&
                      (chunk >= nextInput_ || slotOf(chunk) == Slot::Reference);
    return goOn ? decodeUntilShown(chunk) : restartAndDecode(chunk, key);
}

bool GetFrame::restartAndDecode(LONG chunk, LONG key) {
    decoder->reset();
    key_ = key;
    nextInput_ = key;
    drained_ = false;
    lastShown_ = INT_MIN;
    return decodeUntilShown(chunk);
}

bool GetFrame::decodeUntilShown(LONG chunk) {
    while (frameShown(chunk) > lastShown_)
        if (key_ == INT_MIN || !decodeChunk(nextInput_)) {
            key_ = INT_MIN; // start again at the next call
            return false;
        }
    return decoder->taggedPicture(chunk, width, height, argb_);
}

const BITMAPINFOHEADER* GetFrame::decodedFrame(LONG pos) {
    if (slots_.empty()) {
        slots_.assign(static_cast<size_t>(data.length()), Slot::Unknown);
        // The encoder's user data that marks packing is in the format's extra bytes or the first chunk.
        const size_t extra =
            data.format.size() > BitmapHeaderSize ? data.format.size() - BitmapHeaderSize : 0;
        packed_ = decoder->reorders() && extra > 0 &&
                  scanVops(data.format.data() + BitmapHeaderSize, extra).packedMarker;
        if (data.length() > 0)
            slotOf(data.start());
    }
    const bool packed = packed_;
    bool ok = decodePicture(pos);
    if (packed_ != packed) // packing found on the way: the order of the pictures is worked out again
        ok = decodePicture(pos);
    return ok ? finishFrame(pos) : nullptr;
}

const BITMAPINFOHEADER* GetFrame::frame(LONG pos) {
    if (pos < data.start() || pos >= data.end())
        return nullptr;
    if (pos == cachedPos_)
        return reinterpret_cast<const BITMAPINFOHEADER*>(dib_.data());
    cachedPos_ = INT_MIN;
    return uncompressed ? uncompressedFrame(pos) : decodedFrame(pos);
}

PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM pavi, const BITMAPINFOHEADER* lpbiWanted) {
    if (pavi == nullptr || pavi->data() == nullptr)
        return nullptr;
    const StreamData& data = *pavi->data();
    if (data.info.fccType != streamtypeVIDEO || data.format.size() < BitmapHeaderSize)
        return nullptr;
    LeReader r(data.format);
    const auto w = static_cast<int32_t>(r.u32(4));
    const auto h = static_cast<int32_t>(r.u32(8));
    const int bits = r.u16(14);
    const uint32_t compression = r.u32(16);
    const int32_t rows = h < 0 ? (h == INT32_MIN ? 0 : -h) : h;
    if (dibStride(w, 32) < 0 || rows <= 0 || rows > MaxPictureSide || int64_t{w} * rows > MaxPicturePixels)
        return nullptr;

    AVIStreamAddRef(pavi);
    auto getter = std::make_unique<GetFrame>(pavi, data);
    getter->width = w;
    getter->height = rows;
    getter->srcBits = bits;
    getter->uncompressed = compression == BI_RGB || compression == BI_BITFIELDS;
    if (getter->uncompressed) {
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
            return nullptr;
        getter->outBits = bits == 32 ? 32 : DefaultBits;
        // A top-down stored picture is turned over rather than passed through.
        getter->topDown = h < 0;
    } else {
        getter->decoder = FrameDecoder::open(compression, data.info.fccHandler, data.format);
        if (!getter->decoder)
            return nullptr;
    }
    if (lpbiWanted != nullptr) {
        if (lpbiWanted->biBitCount != 24 && lpbiWanted->biBitCount != 32)
            return nullptr;
        if ((lpbiWanted->biWidth != 0 && lpbiWanted->biWidth != w) ||
            (lpbiWanted->biHeight != 0 && lpbiWanted->biHeight != rows && lpbiWanted->biHeight != h))
            return nullptr;
        getter->outBits = lpbiWanted->biBitCount;
    }
    return getter.release();
}

const BITMAPINFOHEADER* AVIStreamGetFrame(PGETFRAME pg, LONG lPos) {
    return pg == nullptr ? nullptr : pg->frame(lPos);
}

HRESULT AVIStreamGetFrameClose(PGETFRAME pg) {
    if (pg == nullptr)
        return AVIERR_BADHANDLE;
    delete pg;
    return AVIERR_OK;
}

} // namespace platform::vfw
