// The remux and split of the synchronizer.
#include "tools/synchronizer/remux_engine.h"

#include "tools/synchronizer/avi_job_handles.h"
#include "tools/synchronizer/staged_avi.h"
#include "tools/synchronizer/stream_copy.h"
#include "tools/synchronizer/synch_text.h"

#include "platform/core/paths.h"
#include "platform/core/text.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace tools::synchronizer {

namespace core = platform::core;
namespace vfw = platform::vfw;

namespace {

constexpr double MillisPerSecond = 1000.0;
constexpr char SecondPartMark[] = "2";
constexpr double ZeroPercent = 0.01;
constexpr double HundredthsPercent = 10000.0; // hundredths of a second times percent
constexpr int32_t HundredthsPerSecond = 100;
constexpr std::size_t CentisecondsSuffix = 3; // ".cc"
constexpr char ElapsedPrefix[] = "Elapsed : ";
constexpr char TotalPrefix[] = " - Total time : ";

// Calls muxEnded on every way out of a started job.
class MuxScope {
public:
    explicit MuxScope(JobSink& sink) : sink_(sink) { sink_.muxStarted(); }
    ~MuxScope() { sink_.muxEnded(); }
    MuxScope(const MuxScope&) = delete;
    MuxScope& operator=(const MuxScope&) = delete;

private:
    JobSink& sink_;
};

double rateOf(const vfw::AVISTREAMINFO& info) {
    return info.dwScale == 0 ? 0 : static_cast<double>(info.dwRate) / info.dwScale;
}

FrameRange partFrames(const RemuxRequest& request, bool firstPart, int64_t frames, double parts,
                      vfw::PAVISTREAM video) {
    FrameRange range{0, frames};
    if (request.split == SplitWay::Wizard) {
        range = firstPart ? FrameRange{0, request.part1End} : FrameRange{request.part2Begin, frames};
    } else if (request.split != SplitWay::None) {
        const int64_t start = std::max<int64_t>(vfw::AVIStreamStart(video), 0);
        const int64_t k = splitFrame(frames, parts, [&](int64_t frame) {
            return start + frame <= INT_MAX &&
                   vfw::AVIStreamIsKeyFrame(video, static_cast<vfw::LONG>(start + frame));
        });
        range = firstPart ? FrameRange{0, k} : FrameRange{k, frames};
    }
    // Wizard frames come from the player; keep them inside the stream.
    range.begin = std::clamp<int64_t>(range.begin, 0, frames);
    range.end = std::clamp<int64_t>(range.end, range.begin, frames);
    return range;
}

MuxStatus failure(MuxStatus status, JobSink& sink) {
    sink.fail();
    return status;
}

// The work of MuxStreams once its output name is known; the result's status, ranges and counts.
void muxInto(const RemuxRequest& request, bool firstPart, double delaySeconds, JobSink& sink,
             MuxResult& result) {
    AviLibraryScope library;
    AviFileRef source;
    AviStreamRef video;
    AviStreamRef audio;
    if (!openForReading(source, request.source)) {
        result.status = failure(MuxStatus::CannotOpenSource, sink);
        return;
    }
    vfw::AVISTREAMINFO videoInfo;
    if (!firstStream(video, source, vfw::streamtypeVIDEO) ||
        vfw::AVIStreamInfo(video.get(), &videoInfo, sizeof videoInfo) != vfw::AVIERR_OK ||
        rateOf(videoInfo) <= 0) {
        result.status = failure(MuxStatus::NoVideo, sink);
        return;
    }
    const int64_t frames = videoInfo.dwLength;
    const double fps = rateOf(videoInfo);
    const double parts =
        partCount(request.split, request.splitSizeText, request.videoBytes, request.audioBytes);
    result.frames = partFrames(request, firstPart, frames, parts, video.get());
    bool split = request.split != SplitWay::None;
    if (split && firstPart) {
        // The first part holds the whole file or nothing: no split is made, the file is written whole.
        const FrameRange second = partFrames(request, false, frames, parts, video.get());
        if (result.frames.end <= result.frames.begin || second.end <= second.begin) {
            result.frames = FrameRange{0, frames};
            result.wholeFile = true;
            split = false;
        }
    }
    const auto videoFormat = readVideoFormat(video.get());

    StagedAvi staged(result.outputPath);
    AviFileRef output;
    AviStreamRef outVideo;
    AviStreamRef outAudio;
    if (vfw::AVIFileOpen(output.out(), staged.stagingPath(), vfw::OF_CREATE | vfw::OF_WRITE) !=
        vfw::AVIERR_OK) {
        result.status = failure(MuxStatus::CannotCreateOutput, sink);
        return;
    }
    videoInfo.dwLength = static_cast<vfw::DWORD>(result.frames.end - result.frames.begin);
    if (!videoFormat ||
        vfw::AVIFileCreateStream(output.get(), outVideo.out(), &videoInfo) != vfw::AVIERR_OK ||
        vfw::AVIStreamSetFormat(outVideo.get(), 0, &*videoFormat, VideoFormatBytes) != vfw::AVIERR_OK) {
        result.status = failure(MuxStatus::CannotCreateVideo, sink);
        return;
    }
    vfw::AVISTREAMINFO audioInfo;
    if (!firstStream(audio, source, vfw::streamtypeAUDIO) ||
        vfw::AVIStreamInfo(audio.get(), &audioInfo, sizeof audioInfo) != vfw::AVIERR_OK ||
        rateOf(audioInfo) <= 0) {
        result.status = failure(MuxStatus::NoAudio, sink);
        return;
    }
    const double audioRate = rateOf(audioInfo);
    const int64_t audioLength = audioInfo.dwLength;
    result.audio = audioRange(split, firstPart, result.frames, delaySeconds, audioRate, fps, audioLength);
    const auto audioFormat = readAudioFormat(audio.get());
    if (!audioFormat) {
        result.status = failure(MuxStatus::NoAudio, sink);
        return;
    }
    audioInfo.dwLength =
        static_cast<vfw::DWORD>(std::clamp<int64_t>(result.audio.end - result.audio.begin, 0, UINT_MAX));
    if (vfw::AVIFileCreateStream(output.get(), outAudio.out(), &audioInfo) != vfw::AVIERR_OK ||
        vfw::AVIStreamSetFormat(outAudio.get(), 0, audioFormat->data(), AudioFormatBytes) != vfw::AVIERR_OK) {
        result.status = failure(MuxStatus::CannotCreateAudio, sink);
        return;
    }

    CopyPlan plan;
    plan.firstFrame = result.frames.begin;
    plan.endFrame = result.frames.end;
    plan.totalFrames = frames;
    plan.videoShift = -result.frames.begin;
    plan.firstSample = result.audio.begin;
    plan.endSample = result.audio.end;
    plan.totalSamples = audioLength;
    plan.audioShift = -result.audio.begin;
    plan.preloadSamples = core::truncToInt(PreloadSeconds * audioRate);
    sink.progress(0, 0);
    const CopyOutcome copied =
        copyInterleaved({video.get(), audio.get(), outVideo.get(), outAudio.get()}, plan, sink);
    result.framesWritten = copied.framesWritten;
    result.samplesWritten = copied.samplesWritten;

    // The writer completes the file when its last handle goes.
    outAudio.reset();
    outVideo.reset();
    output.reset();
    JobEnd end = JobEnd::Complete;
    switch (copied.end) {
    case CopyEnd::Done:
        result.status = MuxStatus::Done;
        break;
    case CopyEnd::Stopped:
        result.status = MuxStatus::Stopped;
        end = JobEnd::Stopped;
        break;
    case CopyEnd::ReadFailed:
        result.status = failure(MuxStatus::ReadFailed, sink);
        end = JobEnd::Failed;
        break;
    case CopyEnd::WriteFailed:
        result.status = failure(MuxStatus::WriteFailed, sink);
        end = JobEnd::Failed;
        break;
    }
    const OutputFate fate = finishStaged(staged, end, /*markAsInterleaved=*/true);
    result.outputKept = fate.kept;
    if (fate.commitFailed)
        result.status = failure(MuxStatus::WriteFailed, sink);
}

} // namespace

std::string partOutputName(std::string_view destination, bool firstPart) {
    return firstPart ? std::string(destination) : core::insertBeforeExt(destination, SecondPartMark);
}

MuxResult MuxStreams(const RemuxRequest& request, bool firstPart, JobSink& sink) {
    MuxResult result;
    const auto delay = ParseDecimal(request.delayText);
    result.delayTextInvalid = !delay;
    double delaySeconds = delay.value_or(0) / MillisPerSecond;
    if (request.later)
        delaySeconds = -delaySeconds;
    sink.setStopFlag(false);
    result.outputPath = partOutputName(request.destination, firstPart);
    MuxScope scope(sink);
    muxInto(request, firstPart, delaySeconds, sink, result);
    return result;
}

RemuxJobResult runRemuxJob(const RemuxRequest& request, JobSink& sink) {
    sink.clearFailed();
    RemuxJobResult job;
    job.part1 = MuxStreams(request, true, sink);
    if (request.split != SplitWay::None && !job.part1.wholeFile && !sink.stopFlag())
        job.part2 = MuxStreams(request, false, sink);
    return job;
}

std::string jobTimeText(int32_t elapsedSeconds, double percent) {
    if (percent == 0)
        percent = ZeroPercent;
    const auto hhmmss = [](long double hundredths) {
        const auto clamped = static_cast<int32_t>(std::clamp<int64_t>(
            core::roundHalfEven(std::clamp<long double>(hundredths, 0, INT32_MAX)), 0, INT32_MAX));
        std::string text = CentisecondsToText(clamped);
        return text.substr(0, text.size() - CentisecondsSuffix);
    };
    const long double total = static_cast<long double>(elapsedSeconds) * HundredthsPercent / percent;
    return ElapsedPrefix + hhmmss(static_cast<long double>(elapsedSeconds) * HundredthsPerSecond) +
           TotalPrefix + hhmmss(total);
}

} // namespace tools::synchronizer
