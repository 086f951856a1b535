// The join of the synchronizer.
#include "tools/synchronizer/join_engine.h"

#include "tools/synchronizer/avi_job_handles.h"
#include "tools/synchronizer/staged_avi.h"

#include "platform/core/paths.h"
#include "platform/core/text.h"

#include <algorithm>

namespace tools::synchronizer {

namespace core = platform::core;
namespace vfw = platform::vfw;

namespace {

constexpr char AviExtension[] = ".AVI";
constexpr char AddedExtension[] = ".avi";

// What the check pass keeps of one file.
struct ListedFile {
    JoinReference formats;
    vfw::AVISTREAMINFO videoInfo;
    vfw::AVISTREAMINFO audioInfo;
};

JoinCheckStatus readListed(const std::string& path, ListedFile& listed) {
    AviFileRef file;
    AviStreamRef video;
    AviStreamRef audio;
    if (!openForReading(file, path))
        return JoinCheckStatus::CannotOpen;
    if (!firstStream(video, file, vfw::streamtypeVIDEO) ||
        vfw::AVIStreamInfo(video.get(), &listed.videoInfo, sizeof listed.videoInfo) != vfw::AVIERR_OK)
        return JoinCheckStatus::NoVideo;
    const auto videoFormat = readVideoFormat(video.get());
    if (!videoFormat)
        return JoinCheckStatus::NoVideo;
    listed.formats.video = *videoFormat;
    if (!firstStream(audio, file, vfw::streamtypeAUDIO) ||
        vfw::AVIStreamInfo(audio.get(), &listed.audioInfo, sizeof listed.audioInfo) != vfw::AVIERR_OK)
        return JoinCheckStatus::NoAudio;
    const auto audioFormat = readAudioFormat(audio.get());
    if (!audioFormat)
        return JoinCheckStatus::NoAudio;
    listed.formats.audio = *audioFormat;
    return JoinCheckStatus::Agree;
}

// The check pass, keeping the last file's stream headers and formats for the output.
JoinCheck checkList(const std::vector<std::string>& files, JobSink& sink, ListedFile& last) {
    JoinCheck check;
    JoinReference reference;
    for (std::size_t i = 0; i < files.size(); ++i) {
        ListedFile listed;
        const JoinCheckStatus status = readListed(files[i], listed);
        if (status != JoinCheckStatus::Agree) {
            check.status = status;
            check.failedIndex = i;
            sink.fail();
            return check;
        }
        if (i == 0)
            reference = listed.formats;
        else if (!formatsAgree(reference, listed.formats))
            check.differing.push_back(i);
        last = listed;
    }
    if (!check.differing.empty())
        check.status = JoinCheckStatus::Differ;
    return check;
}

double rateOf(const vfw::AVISTREAMINFO& info) {
    return info.dwScale == 0 ? 0 : static_cast<double>(info.dwRate) / info.dwScale;
}

MuxStatus failure(MuxStatus status, JobSink& sink) {
    sink.fail();
    return status;
}

} // namespace

std::string joinDestinationName(std::string_view text) {
    if (core::upperAscii(core::extractFileExt(text)) == AviExtension)
        return std::string(text);
    return std::string(text) + AddedExtension;
}

bool formatsAgree(const JoinReference& reference, const JoinReference& other) {
    return formatTag(reference.audio) == formatTag(other.audio) &&
           samplesPerSec(reference.audio) == samplesPerSec(other.audio) &&
           avgBytesPerSec(reference.audio) == avgBytesPerSec(other.audio) &&
           blockAlign(reference.audio) == blockAlign(other.audio) &&
           reference.video.biWidth == other.video.biWidth &&
           reference.video.biHeight == other.video.biHeight &&
           reference.video.biBitCount == other.video.biBitCount;
}

JoinCheck checkJoinList(const std::vector<std::string>& files, JobSink& sink) {
    AviLibraryScope library;
    ListedFile last;
    return checkList(files, sink, last);
}

MuxStatus MuxFiles(const std::string& path, vfw::PAVISTREAM outputVideo, vfw::PAVISTREAM outputAudio,
                   JoinOffsets& offsets, JobSink& sink, bool lastFile) {
    sink.setStopFlag(false);
    AviFileRef file;
    AviStreamRef video;
    AviStreamRef audio;
    if (!openForReading(file, path))
        return failure(MuxStatus::CannotOpenSource, sink);
    vfw::AVISTREAMINFO videoInfo;
    if (!firstStream(video, file, vfw::streamtypeVIDEO) ||
        vfw::AVIStreamInfo(video.get(), &videoInfo, sizeof videoInfo) != vfw::AVIERR_OK)
        return failure(MuxStatus::NoVideo, sink);
    vfw::AVISTREAMINFO audioInfo;
    if (!firstStream(audio, file, vfw::streamtypeAUDIO) ||
        vfw::AVIStreamInfo(audio.get(), &audioInfo, sizeof audioInfo) != vfw::AVIERR_OK)
        return failure(MuxStatus::NoAudio, sink);
    const int64_t frames = videoInfo.dwLength;
    const int64_t samples = audioInfo.dwLength;
    const double fps = rateOf(videoInfo);
    const double audioRate = rateOf(audioInfo);
    const long double fileSeconds = fps > 0 ? static_cast<long double>(frames) / fps : 0;
    const auto sampleAt = [&](long double seconds) { return core::roundHalfEven(seconds * audioRate); };
    if (audioRate > 0)
        offsets.audio = std::max(sampleAt(offsets.videoSeconds), offsets.audioEnd);

    CopyPlan plan;
    plan.endFrame = frames;
    plan.totalFrames = frames;
    plan.videoShift = offsets.video;
    plan.endSample = samples;
    plan.totalSamples = samples;
    // A file's audio that starts late (its start field holds a delay) keeps that delay in the join.
    const int64_t audioStart = audioInfo.dwStart;
    plan.audioShift = offsets.audio + audioStart;
    if (!lastFile && audioRate > 0)
        plan.endSample =
            std::clamp<int64_t>(sampleAt(offsets.videoSeconds + fileSeconds) - plan.audioShift, 0, samples);
    plan.preloadSamples = core::truncToInt(PreloadSeconds * audioRate);
    sink.progress(0, 0);
    const CopyOutcome copied =
        copyInterleaved({video.get(), audio.get(), outputVideo, outputAudio}, plan, sink);
    offsets.audioEnd = std::max(offsets.audioEnd, copied.nextSample + plan.audioShift);
    if (audioRate <= 0)
        offsets.audio += audioStart + samples;
    offsets.video += frames;
    offsets.videoSeconds += fileSeconds;
    switch (copied.end) {
    case CopyEnd::Done:
        return MuxStatus::Done;
    case CopyEnd::Stopped:
        return MuxStatus::Stopped;
    case CopyEnd::ReadFailed:
        return failure(MuxStatus::ReadFailed, sink);
    case CopyEnd::WriteFailed:
        break;
    }
    return failure(MuxStatus::WriteFailed, sink);
}

JoinResult JoinAll(const std::vector<std::string>& files, std::string_view destination, JobSink& sink) {
    sink.clearFailed();
    sink.setStopFlag(false);
    JoinResult result;
    result.outputPath = core::resolvePath(destination);
    AviLibraryScope library;
    ListedFile last;
    result.check = checkList(files, sink, last);
    if (result.check.status != JoinCheckStatus::Agree || files.empty())
        return result;

    StagedAvi staged(destination);
    AviFileRef output;
    AviStreamRef outVideo;
    AviStreamRef outAudio;
    if (vfw::AVIFileOpen(output.out(), staged.stagingPath(), vfw::OF_CREATE | vfw::OF_WRITE) !=
        vfw::AVIERR_OK) {
        result.status = failure(MuxStatus::CannotCreateOutput, sink);
        return result;
    }
    if (vfw::AVIFileCreateStream(output.get(), outVideo.out(), &last.videoInfo) != vfw::AVIERR_OK ||
        vfw::AVIStreamSetFormat(outVideo.get(), 0, &last.formats.video, VideoFormatBytes) != vfw::AVIERR_OK) {
        result.status = failure(MuxStatus::CannotCreateVideo, sink);
        return result;
    }
    if (vfw::AVIFileCreateStream(output.get(), outAudio.out(), &last.audioInfo) != vfw::AVIERR_OK ||
        vfw::AVIStreamSetFormat(outAudio.get(), 0, last.formats.audio.data(), AudioFormatBytes) !=
            vfw::AVIERR_OK) {
        result.status = failure(MuxStatus::CannotCreateAudio, sink);
        return result;
    }

    JoinOffsets offsets;
    const auto count = static_cast<int>(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        sink.joinFileStarted(static_cast<int>(i), count, files[i]);
        result.status =
            MuxFiles(files[i], outVideo.get(), outAudio.get(), offsets, sink, i + 1 == files.size());
        ++result.filesAppended;
        if (sink.stopFlag())
            break;
    }
    outAudio.reset();
    outVideo.reset();
    output.reset();

    JobEnd end = JobEnd::Complete;
    if (sink.failed())
        end = JobEnd::Failed;
    else if (result.status == MuxStatus::Stopped || result.filesAppended < files.size())
        end = JobEnd::Stopped;
    if (end == JobEnd::Stopped)
        result.status = MuxStatus::Stopped;
    const OutputFate fate = finishStaged(staged, end, /*markAsInterleaved=*/false);
    result.outputKept = fate.kept;
    if (fate.commitFailed)
        result.status = failure(MuxStatus::WriteFailed, sink);
    return result;
}

} // namespace tools::synchronizer
