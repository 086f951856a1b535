#include "platform/dshow/filters/video_decoder_filter.h"

#include "platform/com/task_memory.h"
#include "platform/dshow/filters/video_types.h"
#include "platform/dshow/guids.h"
#include "platform/vfw/dib_convert.h"

#include <cstdlib>
#include <cstring>

namespace platform::dshow::filters {

namespace {

constexpr LONG kOutputBuffers = 3;
constexpr int kBytesPerPixel = 4;
// Pictures larger than this are refused: no AVI of the tools comes near it.
constexpr int32_t kMaxDimension = 4096;

std::optional<SampleTimes> timesOf(IMediaSample* sample) {
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    if (FAILED(sample->GetTime(&start, &stop)))
        return std::nullopt;
    return SampleTimes{start, stop};
}

} // namespace

VideoDecoderFilter::VideoDecoderFilter(const char* name, IUnknown* outer, const CLSID& clsid,
                                       std::optional<CLSID> page)
    : CBaseFilter(name, outer, &lock_, clsid), page_(page),
      input_("Video decoder input", this, &lock_, u"XForm In", *this),
      output_("Video decoder output", this, &lock_, u"XForm Out", kOutputBuffers, kBytesPerPixel) {}

VideoDecoderFilter::~VideoDecoderFilter() = default;

HRESULT VideoDecoderFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IVideoDecoderInfo)
        return GetInterface(static_cast<IVideoDecoderInfo*>(this), ppv);
    if (riid == IID_ISpecifyPropertyPages && page_)
        return GetInterface(static_cast<ISpecifyPropertyPages*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

CBasePin* VideoDecoderFilter::GetPin(int n) {
    if (n == 0)
        return &input_;
    if (n == 1)
        return &output_;
    return nullptr;
}

HRESULT VideoDecoderFilter::Stop() {
    CAutoLock lock(&lock_);
    const HRESULT hr = CBaseFilter::Stop();
    std::lock_guard stream(stream_);
    waitKey_ = true;
    if (decoder_)
        decoder_->reset();
    return hr;
}

HRESULT VideoDecoderFilter::GetDecoderInfo(VideoDecoderInfo* info) {
    if (!info)
        return E_POINTER;
    info->fourcc = fourcc_;
    info->width = width_;
    info->height = height_;
    info->framesDecoded = decoded_;
    info->framesFailed = failed_;
    return S_OK;
}

HRESULT VideoDecoderFilter::GetPages(CAUUID* pages) {
    if (!pages)
        return E_POINTER;
    pages->cElems = 0;
    pages->pElems = nullptr;
    if (!page_)
        return S_OK;
    pages->pElems = static_cast<GUID*>(platform::com::CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems)
        return E_OUTOFMEMORY;
    pages->pElems[0] = *page_;
    pages->cElems = 1;
    return S_OK;
}

bool VideoDecoderFilter::accepts(uint32_t fourcc) const {
    if (fourcc == platform::vfw::BI_RGB || fourcc == platform::vfw::BI_BITFIELDS)
        return !page_;
    return platform::vfw::isDecodableFourCC(fourcc);
}

HRESULT VideoDecoderFilter::checkInputType(const CMediaType& type) {
    if (type.majortype != MEDIATYPE_Video)
        return S_FALSE;
    const auto format = videoFormatOf(type);
    if (!format || format->width <= 0 || format->height == 0 || format->width > kMaxDimension ||
        std::abs(format->height) > kMaxDimension)
        return S_FALSE;
    return accepts(format->compression) ? S_OK : S_FALSE;
}

HRESULT VideoDecoderFilter::inputConnected(const CMediaType& type) {
    const auto format = videoFormatOf(type);
    if (!format)
        return VFW_E_TYPE_NOT_ACCEPTED;
    std::lock_guard stream(stream_);
    uncompressed_ =
        format->compression == platform::vfw::BI_RGB || format->compression == platform::vfw::BI_BITFIELDS;
    bitmapHeader_ = format->bitmapHeader;
    decoder_.reset();
    if (!uncompressed_) {
        decoder_ =
            platform::vfw::FrameDecoder::open(format->compression, format->compression, format->bitmapHeader);
        if (!decoder_)
            return VFW_E_TYPE_NOT_ACCEPTED;
    }
    const int32_t width = format->width;
    const int32_t height = std::abs(format->height);
    fourcc_ = format->compression;
    width_ = width;
    height_ = height;
    output_.setTypes({rgb32VideoType(width, height, format->frameDuration)});
    output_.setBufferSize(width * height * kBytesPerPixel);
    waitKey_ = true;
    return S_OK;
}

void VideoDecoderFilter::inputDisconnected() {
    std::lock_guard stream(stream_);
    decoder_.reset();
    uncompressed_ = false;
    output_.setTypes({});
}

HRESULT VideoDecoderFilter::receive(IMediaSample* sample) {
    std::lock_guard stream(stream_);
    if ((!decoder_ && !uncompressed_) || !output_.IsConnected())
        return VFW_E_NOT_CONNECTED;
    if (uncompressed_)
        return deliverBitmap(sample);
    if (sample->IsDiscontinuity() == S_OK)
        waitKey_ = true;
    if (waitKey_) {
        if (sample->IsSyncPoint() != S_OK)
            return S_OK; // a frame that needs the ones before it: wait for the next key frame
        decoder_->reset();
        previousTimes_.reset();
        waitKey_ = false;
    }
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || !data)
        return E_POINTER;
    const auto length = static_cast<size_t>(std::max<LONG>(sample->GetActualDataLength(), 0));
    const int pictures = decoder_->decode(data, length);
    const std::optional<SampleTimes> now = timesOf(sample);
    const std::optional<SampleTimes> slot = decoder_->delay() > 0 ? previousTimes_ : now;
    previousTimes_ = now;
    if (pictures < 0) {
        ++failed_;
        waitKey_ = true; // a damaged frame: start again at the next key frame
        return S_OK;
    }
    if (pictures == 0 || !decoder_->picture(width_, height_, picture_))
        return S_OK;
    return deliverPicture(slot);
}

HRESULT VideoDecoderFilter::deliverBitmap(IMediaSample* sample) {
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || !data)
        return E_POINTER;
    const auto length = static_cast<size_t>(std::max<LONG>(sample->GetActualDataLength(), 0));
    int width = 0;
    int height = 0;
    if (!platform::vfw::dibToArgb(bitmapHeader_.data(), bitmapHeader_.size(), data, length, picture_, width,
                                  height) ||
        width != width_ || height != height_) {
        ++failed_;
        return S_OK; // a frame cut short or of another size is left out
    }
    return deliverPicture(timesOf(sample));
}

HRESULT VideoDecoderFilter::deliverPicture(const std::optional<SampleTimes>& times) {
    ++decoded_;
    const auto* bytes = reinterpret_cast<const uint8_t*>(picture_.data());
    return output_.deliverBytes(std::span<const uint8_t>(bytes, picture_.size() * sizeof(uint32_t)), times,
                                false);
}

HRESULT VideoDecoderFilter::endOfStream() {
    if (!output_.IsConnected())
        return S_OK;
    {
        // A decoder with a delay still holds the last picture: it goes in the last sample's slot.
        std::lock_guard stream(stream_);
        if (decoder_ && !waitKey_ && decoder_->delay() > 0 && decoder_->decode(nullptr, 0) > 0 &&
            decoder_->picture(width_, height_, picture_))
            deliverPicture(previousTimes_);
        waitKey_ = true; // the drained decoder starts again at the next key frame
    }
    return output_.DeliverEndOfStream();
}

void VideoDecoderFilter::beginFlush() {
    if (output_.IsConnected())
        output_.DeliverBeginFlush();
}

void VideoDecoderFilter::endFlush() {
    {
        std::lock_guard stream(stream_);
        waitKey_ = true;
    }
    if (output_.IsConnected())
        output_.DeliverEndFlush();
}

void VideoDecoderFilter::newSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    {
        std::lock_guard stream(stream_);
        waitKey_ = true;
    }
    if (output_.IsConnected())
        output_.DeliverNewSegment(start, stop, rate);
}

} // namespace platform::dshow::filters
