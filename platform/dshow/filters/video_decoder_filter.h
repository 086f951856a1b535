#pragma once

// The video decoder filter: pin "XForm In" takes MPEG-4 part 2 (DivX 4/5, XviD and the like) and
// MS-MPEG-4 v3 (DivX 3) frames from a splitter; pin "XForm Out" gives top-down 32-bit pictures of the
// frame size, with the times of the frames. Decoding (libavcodec, through the frame decoder of the AVI
// file interface) runs on the upstream thread inside Receive. After a start, a flush or a new segment
// it waits for a key frame, so that a seek shows no broken pictures.
//
// One class serves two filters: the host's stock decompressor, which also takes uncompressed frames
// (8-, 16-, 24- and 32-bit bitmaps), and the filter of the DivX decoder module, which gives it its name,
// identifier and property page.

#include "platform/dshow/base_filter.h"
#include "platform/dshow/filters/stock_pins.h"
#include "platform/dshow/property_interfaces.h"
#include "platform/vfw/frame_decoder.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace platform::dshow::filters {

inline constexpr IID IID_IVideoDecoderInfo = makeGuid("{6E8D4A21-3F0B-4C55-9B7E-5A0D2C3E7F61}");

// What a video decoder tells its property page.
struct VideoDecoderInfo {
    uint32_t fourcc = 0;
    int32_t width = 0;
    int32_t height = 0;
    int64_t framesDecoded = 0;
    int64_t framesFailed = 0;
};

struct IVideoDecoderInfo : IUnknown {
    virtual HRESULT GetDecoderInfo(VideoDecoderInfo* info) = 0;

protected:
    ~IVideoDecoderInfo() = default;
};

class VideoDecoderFilter final : public CBaseFilter,
                                 public IVideoDecoderInfo,
                                 public ISpecifyPropertyPages,
                                 private StreamHandler {
public:
    // page: the class of the filter's property page, or nullopt for none.
    VideoDecoderFilter(const char* name, IUnknown* outer, const CLSID& clsid, std::optional<CLSID> page);
    ~VideoDecoderFilter() override;

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int n) override;
    HRESULT Stop() override;

    HRESULT GetDecoderInfo(VideoDecoderInfo* info) override;
    HRESULT GetPages(CAUUID* pages) override;

    // Whether the decoder takes frames with this FourCC (the stock one also bitmaps).
    bool accepts(uint32_t fourcc) const;

private:
    HRESULT checkInputType(const CMediaType& type) override;
    HRESULT inputConnected(const CMediaType& type) override;
    void inputDisconnected() override;
    HRESULT receive(IMediaSample* sample) override;
    HRESULT endOfStream() override;
    void beginFlush() override;
    void endFlush() override;
    void newSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
    HRESULT deliverBitmap(IMediaSample* sample);
    // Delivers picture_ with the given times.
    HRESULT deliverPicture(const std::optional<SampleTimes>& times);

    CCritSec lock_;
    std::mutex stream_; // held while a frame is being decoded
    std::optional<CLSID> page_;
    std::unique_ptr<platform::vfw::FrameDecoder> decoder_;
    std::vector<uint8_t> bitmapHeader_; // of uncompressed frames, which need no decoder
    bool uncompressed_ = false;
    std::vector<uint32_t> picture_;
    bool waitKey_ = true;
    // The times of the last sample decoded: a decoder with a delay gives a picture for the slot before
    // the sample that made it come out.
    std::optional<SampleTimes> previousTimes_;
    std::atomic<uint32_t> fourcc_{0};
    std::atomic<int32_t> width_{0};
    std::atomic<int32_t> height_{0};
    std::atomic<int64_t> decoded_{0};
    std::atomic<int64_t> failed_{0};
    StockInputPin input_;
    StockOutputPin output_;
};

} // namespace platform::dshow::filters
