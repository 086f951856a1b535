#include "outside/mpeg2avi/first_picture.h"

#include "outside/mpeg2avi/geometry.h"
#include "outside/mpeg2avi/mpeg2_source.h"
#include "outside/mpeg2avi/picture_clock.h"

extern "C" {
#include <libavutil/frame.h>
}

namespace mpeg2avi {

namespace {
// Pictures read on when the first ones carry no time stamp (the first stamp tells their time too).
constexpr int kStampSearch = 600;
} // namespace

std::optional<int64_t> outputStartPts(platform::dshow::filters::ByteSource& set, std::string& error,
                                      int64_t firstFrame) {
    const auto source = Mpeg2Source::open(set, {}, error);
    if (!source)
        return std::nullopt;
    AVFrame* frame = av_frame_alloc();
    int64_t time = 0;
    for (int n = 0; frame && !source->originStamp() && n < kStampSearch && source->next(frame, time); ++n)
        av_frame_unref(frame);
    av_frame_free(&frame);
    const std::optional<int64_t> origin = source->originStamp();
    if (!origin) {
        error = "The pictures of the VOB files carry no time stamp.";
        return std::nullopt;
    }
    const int64_t skipped = frameTime(firstFrame, source->codedRate()) / PictureClock::kTicksPerStamp;
    return (*origin + skipped) % PictureClock::kStampWrap;
}

} // namespace mpeg2avi
