// The frame getter: frames of a video stream as packed DIBs, decoded from the nearest key frame.

#include "platform/vfw/getframe.h"

#include "platform/vfw/avi_handles.h"
#include "platform/vfw/avifile.h"
#include "platform/vfw/byte_source.h"
#include "platform/vfw/dib_convert.h"
#include "platform/vfw/frame_decoder.h"

#include <climits>
#include <cstring>

namespace platform::vfw {

namespace {
constexpr size_t BitmapHeaderSize = 40;
constexpr int DefaultBits = 24;
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
    bool readChunk(LONG pos);
    const BITMAPINFOHEADER* uncompressedFrame(LONG pos);
    const BITMAPINFOHEADER* decodedFrame(LONG pos);
    const BITMAPINFOHEADER* finishFrame(LONG pos);

    std::vector<uint8_t> chunk_;
    std::vector<uint32_t> argb_;
    std::vector<uint8_t> dib_;
    LONG cachedPos_ = INT_MIN;
    // Decoding state: the key frame decoding started from, the next chunk to send, the frame of the
    // last picture that came out.
    LONG key_ = -1;
    LONG nextInput_ = 0;
    LONG lastOutput_ = INT_MIN;
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

const BITMAPINFOHEADER* GetFrame::decodedFrame(LONG pos) {
    LONG key = data.findSample(pos, FIND_PREV | FIND_KEY);
    if (key < 0)
        key = data.start();
    // Going on from the last picture works within the same group of pictures and forwards only.
    if (key != key_ || lastOutput_ >= pos || lastOutput_ == INT_MIN) {
        decoder->reset();
        key_ = key;
        nextInput_ = key;
        lastOutput_ = key - 1;
    }
    bool havePicture = lastOutput_ >= key_;
    while (lastOutput_ < pos) {
        if (nextInput_ >= data.end()) {
            // Drain the pictures the decoder still holds back.
            const int n = decoder->decode(nullptr, 0);
            if (n <= 0)
                break;
            lastOutput_ += n;
            havePicture = true;
            continue;
        }
        if (!readChunk(nextInput_++))
            return nullptr;
        if (chunk_.empty()) {
            if (havePicture)
                ++lastOutput_; // a dropped frame shows the picture before it
            continue;
        }
        const int n = decoder->decode(chunk_.data(), chunk_.size());
        if (n < 0)
            break;
        if (n > 0) {
            lastOutput_ += n;
            havePicture = true;
        }
    }
    if (lastOutput_ < pos || !havePicture) {
        lastOutput_ = INT_MIN; // start again at the next call
        return nullptr;
    }
    if (!decoder->picture(width, height, argb_))
        return nullptr;
    return finishFrame(pos);
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
