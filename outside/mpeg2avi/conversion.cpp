#include "outside/mpeg2avi/conversion.h"

#include "outside/mpeg2avi/avi_output.h"
#include "outside/mpeg2avi/frame_queue.h"
#include "outside/mpeg2avi/mpeg2_source.h"
#include "outside/mpeg2avi/picture_filter.h"
#include "outside/mpeg2avi/rate_converter.h"
#include "outside/mpeg2avi/vob_input.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/rational.h>
}

#include <atomic>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace mpeg2avi {

namespace {

// Pictures waiting for each codec: enough to ride over a slow frame, few enough to stay small.
constexpr size_t kQueueCapacity = 16;

struct FramePtr {
    AVFrame* frame = av_frame_alloc();
    ~FramePtr() { av_frame_free(&frame); }
    FramePtr() = default;
    FramePtr(const FramePtr&) = delete;
    FramePtr& operator=(const FramePtr&) = delete;
};

// Decodes the source's pictures ahead of the filters, a few pictures at most. Each picture's time
// travels in its pts. Ending early (a frame range, a stop, a failure) closes the queue, which ends
// the thread.
class DecodingThread {
public:
    DecodingThread(Mpeg2Source& source, ConversionProgress& progress)
        : pictures_(kQueueCapacity), thread_([this, &source, &progress] { run(source, progress); }) {}
    ~DecodingThread() { finish(); }
    DecodingThread(const DecodingThread&) = delete;
    DecodingThread& operator=(const DecodingThread&) = delete;

    // The next picture and its time; false at the end of the source (or when decoding stopped).
    bool next(AVFrame* frame, int64_t& time) {
        AVFrame* picture = nullptr;
        if (!pictures_.pop(picture) || !picture)
            return false;
        time = picture->pts;
        av_frame_move_ref(frame, picture);
        av_frame_free(&picture);
        return true;
    }
    bool outOfMemory() const { return outOfMemory_; }
    // Ends the thread; the source may be asked about what it decoded afterwards.
    void finish() {
        if (thread_.joinable()) {
            pictures_.close();
            thread_.join();
        }
    }

private:
    void run(Mpeg2Source& source, ConversionProgress& progress) {
        FramePtr picture;
        int64_t time = 0;
        while (!progress.stopRequested && source.next(picture.frame, time)) {
            AVFrame* handed = av_frame_alloc();
            if (!handed) {
                av_frame_unref(picture.frame);
                outOfMemory_ = true;
                break;
            }
            av_frame_move_ref(handed, picture.frame);
            handed->pts = time;
            if (!pictures_.push(handed))
                return;
        }
        pictures_.push(nullptr);
    }

    FrameQueue pictures_;
    std::atomic<bool> outOfMemory_{false};
    std::thread thread_;
};

bool writableFolder(const std::string& folder) {
    const std::string resolved = platform::core::resolvePath(folder);
    return platform::core::directoryExists(folder) && ::access(resolved.c_str(), W_OK | X_OK) == 0;
}

} // namespace

platform::vfw::InputFormat inputFormatOf(ColourFormat colour) {
    switch (colour) {
    case ColourFormat::RGB24:
        return platform::vfw::InputFormat::RGB24;
    case ColourFormat::YUY2:
        return platform::vfw::InputFormat::YUY2;
    case ColourFormat::YV12:
        break;
    }
    return platform::vfw::InputFormat::YV12;
}

Conversion::~Conversion() = default;

std::unique_ptr<Conversion> Conversion::prepare(const ConvertOptions& options, std::string& error) {
    std::unique_ptr<Conversion> c(new Conversion());
    c->options_ = options;
    if (!options.preview && !writableFolder(options.outputFolder)) {
        error = "The output folder " + options.outputFolder + " does not exist or cannot be written.";
        return nullptr;
    }
    c->input_ = VobInput::open(options.list, error);
    if (!c->input_)
        return nullptr;
    c->source_ = Mpeg2Source::open(*c->input_, {options.idct, options.startSector}, error);
    if (!c->source_)
        return nullptr;
    c->geometry_ = planGeometry(options, c->source_->width(), c->source_->height(), c->warning_);
    c->rate_ = outputRate(options, c->source_->codedRate());
    const FrameRate coded = c->source_->codedRate();
    int64_t codedFrames = c->source_->estimatedFrames();
    if (options.firstFrame)
        codedFrames = std::max<int64_t>(0, std::min(codedFrames, *options.lastFrame) - *options.firstFrame);
    c->estimatedFrames_ = codedFrames * c->rate_.num * coded.den / (int64_t{c->rate_.den} * coded.num);
    return c;
}

bool Conversion::attach(int output, std::unique_ptr<platform::vfw::VideoCompressor> compressor,
                        std::string& error) {
    platform::vfw::CompressorInput input;
    input.width = geometry_.width;
    input.height = geometry_.height;
    input.rateNum = static_cast<uint32_t>(rate_.num);
    input.rateDen = static_cast<uint32_t>(rate_.den);
    input.format = inputFormatOf(options_.colour);
    input.frameCount = estimatedFrames_;
    // The output's pixel aspect: the source's, stretched by the resize (the crop keeps it), so that
    // the movie plays with the title's shape at any size.
    AVRational aspect{0, 1};
    av_reduce(&aspect.num, &aspect.den,
              int64_t{source_->sarNum()} * geometry_.sourceWidth * geometry_.scaledHeight,
              int64_t{source_->sarDen()} * geometry_.scaledWidth * geometry_.sourceHeight, INT32_MAX);
    if (aspect.num > 0 && aspect.den > 0) {
        input.aspectNum = static_cast<uint32_t>(aspect.num);
        input.aspectDen = static_cast<uint32_t>(aspect.den);
    }
    const std::string path = platform::core::joinPath(options_.outputFolder, outputName(options_, output));
    auto out = AviOutput::create(std::move(compressor), input, path, error);
    if (!out)
        return false;
    outputs_.push_back(std::move(out));
    return true;
}

int64_t Conversion::damagedPictures() const {
    return source_ ? source_->damagedPictures() : 0;
}

bool Conversion::run(ConversionProgress& progress, std::string& error) {
    if (outputs_.empty()) {
        error = "No compressor was chosen.";
        return false;
    }
    progress.framesTotal = estimatedFrames_;
    std::vector<std::unique_ptr<FrameQueue>> queues;
    std::vector<FrameQueue*> queuePointers;
    for (size_t i = 0; i < outputs_.size(); ++i) {
        queues.push_back(std::make_unique<FrameQueue>(kQueueCapacity));
        queuePointers.push_back(queues.back().get());
    }
    std::mutex errorMutex;
    std::string encodeError;
    auto closeAll = [&] {
        for (auto& q : queues)
            q->close();
    };
    std::vector<std::thread> encoders;
    for (size_t i = 0; i < outputs_.size(); ++i) {
        encoders.emplace_back([&, i] {
            AVFrame* frame = nullptr;
            while (queues[i]->pop(frame) && frame) {
                std::string message;
                const bool written = outputs_[i]->write(frame, message);
                av_frame_free(&frame);
                if (!written) {
                    std::lock_guard lock(errorMutex);
                    if (encodeError.empty())
                        encodeError = message;
                    closeAll();
                    return;
                }
            }
        });
    }
    std::string convertError;
    const bool converted = convert(progress, queuePointers, convertError);
    if (!converted)
        closeAll();
    for (auto& t : encoders)
        t.join();
    if (!encodeError.empty()) {
        error = encodeError;
        return false;
    }
    if (!converted) {
        error = convertError;
        return false;
    }
    for (size_t i = 0; i < outputs_.size(); ++i) {
        if (!outputs_[i]->finish(error)) {
            for (size_t j = 0; j < i; ++j)
                platform::core::deleteFile(outputs_[j]->path());
            return false;
        }
    }
    framesWritten_ = outputs_.front()->frames();
    return true;
}

bool Conversion::convert(ConversionProgress& progress, std::vector<FrameQueue*>& queues, std::string& error) {
    const SourceFormat format{source_->width(),  source_->height(), source_->pixelFormat(),
                              source_->sarNum(), source_->sarDen(), source_->codedRate()};
    auto filter = PictureFilter::create(options_, geometry_, format, error);
    if (!filter)
        return false;
    const FrameRate coded = source_->codedRate();
    const int64_t period = frameTime(1, coded);
    // Time 0 of the movie; the pictures shortly before it still go through the filters (their
    // neighbours matter there) and one of them may be the nearest to the first frame.
    const int64_t first = options_.firstFrame ? frameTime(*options_.firstFrame, coded) : 0;
    const int64_t from = first - kTicksPerSecond;
    const int64_t last = options_.lastFrame ? frameTime(*options_.lastFrame, coded) : INT64_MAX;
    RateConverter rates(rate_, filter->outputRate());
    FramePtr decoded, filtered, current;
    bool haveCurrent = false;
    int64_t lead = 0;
    auto emit = [&](int64_t count) {
        for (int64_t k = 0; k < count; ++k) {
            for (FrameQueue* q : queues)
                if (!q->push(av_frame_clone(current.frame)))
                    return false;
            ++progress.framesDone;
        }
        return true;
    };
    auto drain = [&] {
        int64_t time = 0;
        while (filter->pull(filtered.frame, time)) {
            const int64_t count = rates.framesBefore(time);
            if (haveCurrent && !emit(count))
                return false;
            if (!haveCurrent)
                lead += count;
            av_frame_unref(current.frame);
            av_frame_move_ref(current.frame, filtered.frame);
            haveCurrent = true;
            if (lead > 0 && !emit(lead))
                return false;
            lead = 0;
        }
        return true;
    };
    // Ends the filters' input and starts them afresh: where pictures are missing, inverse telecine
    // must not match fields across the gap, and its even output times start again after it.
    auto restartFilter = [&] {
        if (!filter->push(nullptr, 0) || !drain())
            return false;
        filter = PictureFilter::create(options_, geometry_, format, error);
        return filter != nullptr;
    };
    // The decoding runs on a thread of its own, so that the filters work on one picture while the
    // next is decoded.
    DecodingThread decoding(*source_, progress);
    int64_t end = -1;
    int64_t time = 0;
    int64_t expected = INT64_MIN; // where the previous picture handed to the filters ends
    while (decoding.next(decoded.frame, time)) {
        if (progress.stopRequested) {
            error = "Stopped.";
            return false;
        }
        if (time < from) {
            av_frame_unref(decoded.frame);
            continue;
        }
        if (time >= last) {
            av_frame_unref(decoded.frame);
            end = last - first;
            break;
        }
        if (options_.ivtc && expected != INT64_MIN && time - expected >= period && !restartFilter()) {
            av_frame_unref(decoded.frame);
            error = error.empty() ? "The picture filters failed." : error;
            return false;
        }
        expected = time + period * (2 + decoded.frame->repeat_pict) / 2;
        const bool pushed = filter->push(decoded.frame, time - first);
        av_frame_unref(decoded.frame);
        if (!pushed) {
            error = "The picture filters failed.";
            return false;
        }
        if (!drain()) {
            error = "Stopped.";
            return false;
        }
    }
    if (progress.stopRequested) {
        error = "Stopped.";
        return false;
    }
    if (decoding.outOfMemory()) {
        error = "Out of memory.";
        return false;
    }
    decoding.finish();
    if (end < 0)
        end = std::max<int64_t>(0, source_->endTime() - first);
    if (!filter->push(nullptr, 0) || !drain()) {
        error = "The picture filters failed.";
        return false;
    }
    if (!haveCurrent) {
        error = options_.firstFrame ? "The frame range holds no picture of the VOB files."
                                    : "No picture of the VOB files could be decoded.";
        return false;
    }
    if (!emit(rates.framesUntil(end)))
        return false;
    progress.framesTotal = progress.framesDone.load();
    for (FrameQueue* q : queues)
        if (!q->push(nullptr))
            return false;
    return true;
}

} // namespace mpeg2avi
