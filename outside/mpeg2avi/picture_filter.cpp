#include "outside/mpeg2avi/picture_filter.h"

#include "platform/core/processors.h"

#include <algorithm>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

namespace mpeg2avi {

namespace {

const char* scaleFlags(PostFilter filter) {
    switch (filter) {
    case PostFilter::HighQuality:
        return "lanczos+accurate_rnd+full_chroma_int";
    case PostFilter::Fast:
        return "fast_bilinear";
    case PostFilter::Default:
        break;
    }
    return "bicubic";
}

std::string deinterlacer(PostFilter filter, const char* which) {
    switch (filter) {
    case PostFilter::HighQuality:
        return std::string("bwdif=mode=send_frame:deint=") + which;
    case PostFilter::Fast:
        return std::string("yadif=mode=send_frame_nospatial:deint=") + which;
    case PostFilter::Default:
        break;
    }
    return std::string("yadif=mode=send_frame:deint=") + which;
}

// How readily a frame that field matching left combed counts as combed: strength 0 leaves all but
// the plainest combing alone, 9 deinterlaces the faintest.
constexpr int kCombThresholdAtZero = 15;

} // namespace

std::string filterChain(const ConvertOptions& options, const Geometry& g, FrameRate source) {
    std::string chain;
    auto add = [&chain](const std::string& filter) {
        if (!chain.empty())
            chain += ',';
        chain += filter;
    };
    if (options.ivtc) {
        // Only NTSC video carries film with repeated fields, one frame in five made of them; at other
        // rates matching the fields is all there is to undo, and every picture stays.
        const bool ntsc = source == FrameRate{30000, 1001};
        // Pictures whose first field is to be repeated (film coded as whole pictures) become the
        // fields a player shows, so that matching finds the film's pictures whatever the coding.
        // The removal of the repeated frame times the pictures afresh at film rate.
        if (ntsc)
            add("repeatfields");
        add("fieldmatch=order=auto:cthresh=" + std::to_string(kCombThresholdAtZero - *options.ivtc));
        add(deinterlacer(options.postFilter, options.deinterlace ? "all" : "interlaced"));
        if (ntsc)
            add("decimate");
    } else if (options.deinterlace) {
        add(deinterlacer(options.postFilter, "all"));
    }
    if (g.scaled())
        add("scale=" + std::to_string(g.scaledWidth) + ":" + std::to_string(g.scaledHeight) +
            ":flags=" + scaleFlags(options.postFilter));
    if (g.cropped())
        add("crop=" + std::to_string(g.width) + ":" + std::to_string(g.height) + ":" +
            std::to_string(g.cropX) + ":" + std::to_string(g.cropY));
    add(std::string("scale=flags=") + scaleFlags(options.postFilter));
    add(std::string("format=") +
        av_get_pix_fmt_name(static_cast<AVPixelFormat>(pixelFormatOf(options.colour))));
    return chain;
}

int pixelFormatOf(ColourFormat colour) {
    switch (colour) {
    case ColourFormat::RGB24:
        return AV_PIX_FMT_BGR24;
    case ColourFormat::YUY2:
        return AV_PIX_FMT_YUYV422;
    case ColourFormat::YV12:
        break;
    }
    return AV_PIX_FMT_YUV420P;
}

PictureFilter::~PictureFilter() {
    avfilter_graph_free(&graph_);
}

std::unique_ptr<PictureFilter> PictureFilter::create(const ConvertOptions& options, const Geometry& geometry,
                                                     const SourceFormat& source, std::string& error) {
    std::unique_ptr<PictureFilter> f(new PictureFilter());
    f->graph_ = avfilter_graph_alloc();
    if (!f->graph_) {
        error = "Out of memory.";
        return nullptr;
    }
    // The filters (scaling above all) get a quarter of the usable processors, as the decoder does.
    f->graph_->nb_threads = std::max(1, platform::core::usableProcessors() / 4);
    const std::string args =
        "video_size=" + std::to_string(source.width) + "x" + std::to_string(source.height) +
        ":pix_fmt=" + std::to_string(source.pixelFormat) + ":time_base=1/" + std::to_string(kTicksPerSecond) +
        ":pixel_aspect=" + std::to_string(source.sarNum) + "/" + std::to_string(source.sarDen) +
        ":frame_rate=" + std::to_string(source.rate.num) + "/" + std::to_string(source.rate.den);
    if (avfilter_graph_create_filter(&f->source_, avfilter_get_by_name("buffer"), "in", args.c_str(), nullptr,
                                     f->graph_) < 0 ||
        avfilter_graph_create_filter(&f->sink_, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                     f->graph_) < 0) {
        error = "The picture filters cannot be set up.";
        return nullptr;
    }
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    outputs->name = av_strdup("in");
    outputs->filter_ctx = f->source_;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = f->sink_;
    const std::string chain = filterChain(options, geometry, source.rate);
    const int parsed = avfilter_graph_parse_ptr(f->graph_, chain.c_str(), &inputs, &outputs, nullptr);
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    if (parsed < 0 || avfilter_graph_config(f->graph_, nullptr) < 0) {
        error = "The picture filters \"" + chain + "\" cannot be set up.";
        return nullptr;
    }
    return f;
}

bool PictureFilter::push(AVFrame* frame, int64_t time) {
    if (!frame)
        return av_buffersrc_add_frame_flags(source_, nullptr, 0) >= 0;
    frame->pts = time;
    return av_buffersrc_add_frame_flags(source_, frame, AV_BUFFERSRC_FLAG_KEEP_REF) >= 0;
}

bool PictureFilter::pull(AVFrame* frame, int64_t& time) {
    if (av_buffersink_get_frame(sink_, frame) < 0)
        return false;
    time =
        av_rescale_q(frame->pts, av_buffersink_get_time_base(sink_), {1, static_cast<int>(kTicksPerSecond)});
    return true;
}

FrameRate PictureFilter::outputRate() const {
    const AVRational rate = av_buffersink_get_frame_rate(sink_);
    if (rate.num <= 0 || rate.den <= 0)
        return {25, 1};
    return {rate.num, rate.den};
}

} // namespace mpeg2avi
