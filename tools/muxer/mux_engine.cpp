#include "tools/muxer/mux_engine.h"

#include "tools/muxer/avi_refs.h"
#include "tools/muxer/mux_text.h"
#include "tools/muxer/stream_formats.h"

#include "platform/core/files.h"
#include "platform/core/text.h"

#include <algorithm>

namespace tools::muxer {

namespace core = platform::core;

namespace {

constexpr double CentiScale = 100.0;
constexpr double FpsScale = 10000.0;
constexpr vfw::DWORD AutosynchScale = 10000;

double roundTo(double value, double scale) {
    return static_cast<double>(core::roundHalfEven(value * scale)) / scale;
}

int64_t roundSamples(double value) {
    return core::roundHalfEven(value);
}

} // namespace

double splitParts(const MuxSettings& settings) {
    if (!settings.splitAfterSize)
        return 2.0;
    int32_t megabytes = 0;
    if (!core::tryStrToInt(core::trim(settings.splitSizeText), megabytes) || megabytes <= 0)
        return 1.0; // no usable size: the first part holds the whole movie
    const double parts = static_cast<double>(settings.videoBytes + settings.audioBytes) /
                         (static_cast<double>(megabytes) * static_cast<double>(SplitMegabyte));
    return std::max(1.0, parts);
}

class MuxEngine::Job : public InterleaveObserver {
public:
    Job(MuxEngine& engine, const MuxSettings& settings, bool firstPart, bool& userBreak)
        : engine_(engine), sink_(engine.sink_), s_(settings), firstPart_(firstPart), userBreak_(userBreak) {}
    ~Job() override { timerOff(); }

    MuxResult run();

private:
    void progress(double videoPercent, double audioPercent) override {
        engine_.videoPercent_ = videoPercent;
        engine_.audioPercent_ = audioPercent;
        sink_.progress(videoPercent, audioPercent);
    }
    void processMessages() override { sink_.processMessages(); }
    void timerOff() {
        if (timer_)
            sink_.timerOff();
        timer_ = false;
    }
    MuxResult fail(const std::string& text) {
        sink_.errorBox(text);
        result_.outcome = MuxOutcome::Failed;
        return result_;
    }
    bool openClip(const VideoFormat& format, StreamRef& clip);
    void computeValues(vfw::PAVISTREAM audio, double rate, int64_t end, int64_t& audioLength);

    MuxEngine& engine_;
    MuxSink& sink_;
    const MuxSettings& s_;
    bool firstPart_;
    bool& userBreak_;
    bool timer_ = false;
    MuxResult result_;
    double fps_ = 0;
    int64_t length_ = 0;
};

bool MuxEngine::Job::openClip(const VideoFormat& format, StreamRef& clip) {
    result_.clipPath = clipPathOf(s_.logoPrefix, format.header.biWidth, format.header.biHeight);
    if (!core::fileExists(result_.clipPath)) {
        sink_.clipMissing(unsupportedResolutionText(format.header.biWidth, format.header.biHeight));
        return false;
    }
    if (vfw::AVIStreamOpenFromFile(clip.out(), result_.clipPath, vfw::streamtypeVIDEO, 0, vfw::OF_READ) !=
        vfw::AVIERR_OK) {
        clip.reset();
        sink_.clipMissing(unreadableClipText(result_.clipPath));
        return false;
    }
    // Pictures of another codec after the movie's would not decode: such a clip is left out.
    VideoFormat clipFormat;
    if (!readVideoFormat(clip.get(), clipFormat) || !sameVideoCoding(format, clipFormat)) {
        clip.reset();
        sink_.clipMissing(otherCodingClipText(result_.clipPath));
        return false;
    }
    return true;
}

const char* interleaveEndText(InterleaveEnd end) {
    switch (end) {
    case InterleaveEnd::VideoReadFailed:
        return CannotReadVideoText;
    case InterleaveEnd::AudioReadFailed:
        return CannotReadAudioText;
    default:
        return CannotWriteTargetText;
    }
}

MuxResult MuxEngine::Job::run() {
    // The parts, the stop flag and the target's name.
    const double parts = s_.split ? splitParts(s_) : 1.0;
    if (firstPart_)
        userBreak_ = false;
    result_.targetPath = firstPart_ ? s_.target : secondPartName(s_.target);
    engine_.videoPercent_ = 0;
    engine_.audioPercent_ = 0;

    AviLibrary library;
    sink_.timerOn();
    timer_ = true;
    AviTarget target;
    if (!target.create(result_.targetPath))
        return fail(CannotCreateTargetText);

    // The video stream, the split frame and the video format.
    StreamRef video;
    VideoFormat videoFormat;
    if (vfw::AVIStreamOpenFromFile(video.out(), s_.source, vfw::streamtypeVIDEO, 0, vfw::OF_READ) !=
            vfw::AVIERR_OK ||
        !readVideoFormat(video.get(), videoFormat))
        return fail(NoVideoStreamText);
    vfw::AVISTREAMINFO videoInfo;
    if (vfw::AVIStreamInfo(video.get(), &videoInfo, sizeof videoInfo) != vfw::AVIERR_OK)
        return fail(NoVideoStreamText);
    length_ = std::max<vfw::LONG>(0, vfw::AVIStreamLength(video.get()));
    fps_ = streamRate(videoInfo);
    if (fps_ <= 0)
        return fail(NoVideoStreamText);
    result_.values.videoFps = fps_;
    result_.values.videoSeconds = roundTo(static_cast<double>(length_) / fps_, CentiScale);
    int64_t start = 0;
    int64_t end = length_;
    if (s_.split) {
        // Parts of a size, not of a length: a part of a split by size must hold on its CD, and two
        // halves of a movie whose rate changes are not as long as each other.
        const int64_t t = sizeSplitTarget(video.get(), length_, parts, s_.audioBytes);
        result_.splitFrame = nearestKeyFrame(video.get(), t, length_);
        (firstPart_ ? end : start) = result_.splitFrame;
    }
    const int64_t frames = end - start;

    // The clip after the first part.
    StreamRef clip;
    const bool withClip = firstPart_ && s_.clip && openClip(videoFormat, clip);

    // The audio source, its length and the values for the caller.
    TemporaryName wav(s_.wavSource, MuxWavName);
    StreamRef audio;
    if (vfw::AVIStreamOpenFromFile(audio.out(), wav.current(), vfw::streamtypeAUDIO, 0, vfw::OF_READ) !=
        vfw::AVIERR_OK) {
        audio.reset();
        wav.restore();
        return fail(NoAudioStreamText);
    }
    AudioFormat audioFormat;
    vfw::AVISTREAMINFO audioInfo;
    const bool infoRead = vfw::AVIStreamInfo(audio.get(), &audioInfo, sizeof audioInfo) == vfw::AVIERR_OK;
    const double rate = infoRead ? streamRate(audioInfo) : 0;
    if (!readAudioFormat(audio.get(), audioFormat) || rate <= 0) {
        audio.reset();
        wav.restore();
        return fail(NoAudioStreamText);
    }
    int64_t audioLength = 0;
    computeValues(audio.get(), rate, end, audioLength);

    // The frame-rate correction; a part without frames writes nothing.
    if (s_.autosynch && result_.values.newFps > 0) {
        videoInfo.dwRate = static_cast<vfw::DWORD>(core::roundHalfEven(result_.values.newFps * FpsScale));
        videoInfo.dwScale = AutosynchScale;
    }
    if (frames <= 0) {
        result_.outcome = MuxOutcome::Empty;
        return result_;
    }

    // The target's streams and the audio range.
    videoInfo.dwStart = 0;
    videoInfo.dwLength = static_cast<vfw::DWORD>(frames);
    StreamRef outVideo;
    StreamRef outAudio;
    if (!target.createStream(videoInfo, videoFormat.bytes, outVideo))
        return fail(CannotCreateTargetText);
    const int64_t delay = roundSamples(s_.delaySeconds * rate);
    // The parts meet one sample after the split frame's time; audio read in coded blocks meets at the
    // nearest block, as a whole block more would put the first part's sound a block past its pictures
    // and the second part's a block ahead of them.
    const int64_t splitSample = roundSamples(static_cast<double>(result_.splitFrame) / fps_ * rate) + delay +
                                (readInBlocks(audioFormat) ? 0 : 1);
    InterleavePlan plan;
    audioInfo.dwStart = 0;
    audioInfo.dwLength = setPartAudio(plan, s_.split, firstPart_, delay, splitSample, audioLength);
    if (!target.createStream(audioInfo, audioFormat.bytes, outAudio))
        return fail(CannotCreateTargetText);

    // The interleave, then the clip.
    plan.video = video.get();
    plan.start = start;
    plan.end = end;
    plan.length = length_;
    plan.audio = audio.get();
    plan.blockAlign = audioFormat.sampleBytes;
    plan.audioRate = rate;
    plan.preloadSeconds = s_.preloadSeconds;
    plan.outVideo = outVideo.get();
    plan.outAudio = outAudio.get();
    InterleaveEnd ended = interleave(plan, *this, userBreak_);
    timerOff();
    if (ended == InterleaveEnd::Done && withClip) {
        ended = appendClip(clip.get(), outVideo.get(), frames);
        result_.clipAdded = ended == InterleaveEnd::Done;
        if (result_.clipAdded)
            result_.clipFrames = vfw::AVIStreamLength(clip.get());
    }
    if (ended != InterleaveEnd::Done && ended != InterleaveEnd::Stopped)
        return fail(interleaveEndText(ended));

    // Release the sources, name the audio back, complete the target.
    audio.reset();
    if (!wav.restore())
        sink_.errorBox(CannotRestoreWavText + s_.wavSource + " !");
    if (ended == InterleaveEnd::Stopped && !s_.keepStopped) {
        result_.outcome = MuxOutcome::Stopped;
        return result_; // the target's work file goes with it
    }
    if (!target.commit(outVideo, outAudio))
        return fail(CannotWriteTargetText);
    result_.outcome = ended == InterleaveEnd::Stopped ? MuxOutcome::Stopped : MuxOutcome::Done;
    return result_;
}

void MuxEngine::Job::computeValues(vfw::PAVISTREAM audio, double rate, int64_t end, int64_t& audioLength) {
    const int64_t stored = std::max<vfw::LONG>(0, vfw::AVIStreamLength(audio));
    const int64_t expected = roundSamples(static_cast<double>(length_) / fps_ * rate);
    audioLength = stored;
    if (stored > expected)
        audioLength = roundSamples(static_cast<double>(end) / fps_ * rate);
    const int64_t sound = std::min(stored, expected);
    MuxValues& v = result_.values;
    v.audioRate = rate;
    // The caller's values describe the whole movie's audio, also for a first part that holds half
    // of it: the byte rate divides the whole audio's bytes by the whole audio's seconds.
    v.audioSeconds = roundTo(static_cast<double>(sound) / rate, CentiScale);
    v.audioByteRate =
        v.audioSeconds > 0
            ? static_cast<int32_t>(core::roundHalfEven(static_cast<double>(s_.audioBytes) / v.audioSeconds))
            : 0;
    // The rate that makes the whole video last as long as the audio; audio longer than the video is
    // measured only up to the video's end, also when this part ends earlier.
    const double fpsSeconds = roundTo(static_cast<double>(sound) / rate, CentiScale);
    v.newFps = fpsSeconds > 0 ? roundTo(static_cast<double>(length_) / fpsSeconds, FpsScale) : 0;
    result_.valuesSet = true;
}

MuxResult MuxEngine::run(const MuxSettings& settings, bool firstPart, bool& userBreak) {
    if (running_)
        return {};
    running_ = true;
    MuxResult result;
    {
        Job job(*this, settings, firstPart, userBreak);
        result = job.run();
    }
    running_ = false;
    return result;
}

} // namespace tools::muxer
