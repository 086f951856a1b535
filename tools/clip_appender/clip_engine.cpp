#include "tools/clip_appender/clip_engine.h"

#include "tools/muxer/avi_refs.h"
#include "tools/muxer/interleave.h"
#include "tools/muxer/mux_text.h"
#include "tools/muxer/stream_formats.h"

#include "platform/core/files.h"
#include "platform/core/text.h"

#include <algorithm>

namespace tools::clip_appender {

namespace core = platform::core;
namespace vfw = platform::vfw;
using namespace tools::muxer;

namespace {

constexpr double Halves = 2.0;

} // namespace

ClipResult ClipEngine::run(const ClipSettings& settings, bool firstPart, bool& userBreak) {
    if (running_)
        return {};
    running_ = true;
    ClipResult result = runSteps(settings, firstPart, userBreak);
    running_ = false;
    return result;
}

ClipResult ClipEngine::runSteps(const ClipSettings& s, bool firstPart, bool& userBreak) {
    ClipResult result;
    if (firstPart)
        userBreak = false;
    result.targetPath = firstPart ? s.target : secondPartName(s.target);
    auto fail = [&](const std::string& text) {
        sink_.errorBox(text);
        result.outcome = MuxOutcome::Failed;
        return result;
    };

    AviLibrary library;
    AviTarget target;
    if (!target.create(result.targetPath))
        return fail(CannotCreateTargetText);

    // The movie's video, the split frame and the video format.
    FileRef source;
    StreamRef video;
    VideoFormat videoFormat;
    vfw::AVISTREAMINFO videoInfo;
    if (vfw::AVIFileOpen(source.out(), s.source, vfw::OF_READ) != vfw::AVIERR_OK ||
        vfw::AVIFileGetStream(source.get(), video.out(), vfw::streamtypeVIDEO, 0) != vfw::AVIERR_OK ||
        vfw::AVIStreamInfo(video.get(), &videoInfo, sizeof videoInfo) != vfw::AVIERR_OK ||
        !readVideoFormat(video.get(), videoFormat) || streamRate(videoInfo) <= 0)
        return fail(NoVideoStreamText);
    const int64_t length = std::max<vfw::LONG>(0, vfw::AVIStreamLength(video.get()));
    int64_t start = 0;
    int64_t end = length;
    if (s.split) {
        const int64_t t = core::roundHalfEven(static_cast<double>(length) / Halves);
        result.splitFrame = nearestKeyFrame(video.get(), t, length);
        (firstPart ? end : start) = result.splitFrame;
    }
    const int64_t frames = end - start;

    // The clip of this picture size.
    const int32_t width = videoFormat.header.biWidth;
    const int32_t height = videoFormat.header.biHeight;
    result.clipPath = clipPathOf(s.logoPrefix, width, height);
    sink_.showClipPath(result.clipPath);
    sink_.processMessages();
    if (!core::fileExists(result.clipPath))
        return fail(unsupportedResolutionText(width, height));
    StreamRef clip;
    if (vfw::AVIStreamOpenFromFile(clip.out(), result.clipPath, vfw::streamtypeVIDEO, 0, vfw::OF_READ) !=
        vfw::AVIERR_OK)
        return fail(unreadableClipText(result.clipPath));
    // Pictures of another codec after the movie's would not decode: such a clip is refused before
    // anything is written.
    VideoFormat clipFormat;
    if (!readVideoFormat(clip.get(), clipFormat) || !sameVideoCoding(videoFormat, clipFormat))
        return fail(otherCodingClipText(result.clipPath));
    if (frames <= 0) {
        result.outcome = MuxOutcome::Empty;
        return result;
    }

    // The target's video stream, then the movie's audio.
    StreamRef outVideo;
    StreamRef outAudio;
    videoInfo.dwStart = 0;
    videoInfo.dwLength = static_cast<vfw::DWORD>(frames);
    if (!target.createStream(videoInfo, videoFormat.bytes, outVideo))
        return fail(CannotCreateTargetText);
    StreamRef audio;
    AudioFormat audioFormat;
    vfw::AVISTREAMINFO audioInfo;
    if (vfw::AVIFileGetStream(source.get(), audio.out(), vfw::streamtypeAUDIO, 0) != vfw::AVIERR_OK ||
        vfw::AVIStreamInfo(audio.get(), &audioInfo, sizeof audioInfo) != vfw::AVIERR_OK ||
        !readAudioFormat(audio.get(), audioFormat) || streamRate(audioInfo) <= 0)
        return fail(NoAudioStreamText);
    const double rate = streamRate(audioInfo);
    const int64_t audioLength = std::max<vfw::LONG>(0, vfw::AVIStreamLength(audio.get()));
    const int64_t delay = core::roundHalfEven(s.delaySeconds * rate);
    // The audio samples per frame come from the two lengths here, not from the rates.
    const int64_t splitSample =
        length > 0 ? core::roundHalfEven(static_cast<double>(audioLength) / static_cast<double>(length) *
                                         static_cast<double>(result.splitFrame)) +
                         delay + 1
                   : 0;
    InterleavePlan plan;
    audioInfo.dwStart = 0;
    audioInfo.dwLength = setPartAudio(plan, s.split, firstPart, delay, splitSample, audioLength);
    if (!target.createStream(audioInfo, audioFormat.bytes, outAudio))
        return fail(CannotCreateTargetText);

    // The interleave, then the clip after the part's last frame.
    plan.video = video.get();
    plan.start = start;
    plan.end = end;
    plan.length = length;
    plan.audio = audio.get();
    plan.blockAlign = audioFormat.sampleBytes;
    plan.audioRate = rate;
    plan.preloadSeconds = s.preloadSeconds;
    plan.outVideo = outVideo.get();
    plan.outAudio = outAudio.get();
    InterleaveEnd ended = InterleaveEnd::Done;
    {
        TimerScope timer(sink_);
        ended = interleave(plan, sink_, userBreak);
    }
    if (ended == InterleaveEnd::Done)
        ended = appendClip(clip.get(), outVideo.get(), frames);
    if (ended != InterleaveEnd::Done && ended != InterleaveEnd::Stopped)
        return fail(interleaveEndText(ended));
    if (!target.commit(outVideo, outAudio))
        return fail(CannotWriteTargetText);
    result.outcome = ended == InterleaveEnd::Stopped ? MuxOutcome::Stopped : MuxOutcome::Done;
    return result;
}

} // namespace tools::clip_appender
