// The interleaved copy of the remux and the join.
#include "tools/synchronizer/stream_copy.h"

#include "platform/vfw/mpeg_audio_frame.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace tools::synchronizer {

namespace vfw = platform::vfw;

namespace {

// A chunk larger than this is taken for damage rather than allocated.
constexpr int64_t MaxChunkBytes = int64_t{64} << 20;
constexpr double FullPercent = 100.0;

// WAVEFORMATEX field offsets.
constexpr std::size_t FormatTagAt = 0;
constexpr std::size_t SamplesPerSecAt = 4;
constexpr std::size_t AvgBytesPerSecAt = 8;
constexpr std::size_t BlockAlignAt = 12;
constexpr uint16_t PcmTag = 1;
constexpr uint16_t MpegLayer3Tag = 85;

uint32_t le(const AudioFormat& format, std::size_t at, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | format[at + static_cast<std::size_t>(i)];
    return value;
}

double percent(int64_t done, int64_t total) {
    if (total <= 0)
        return 0;
    return std::clamp(static_cast<double>(done) / static_cast<double>(total) * FullPercent, 0.0, FullPercent);
}

bool fitsLong(int64_t value) {
    return value >= 0 && value <= INT_MAX;
}

class Copier {
public:
    Copier(const CopyStreams& streams, const CopyPlan& plan, JobSink& sink)
        : s_(streams), plan_(plan), sink_(sink), audio_(static_cast<std::size_t>(AudioBufferBytes)) {
        vfw::AVISTREAMINFO info;
        if (s_.sourceAudio != nullptr &&
            vfw::AVIStreamInfo(s_.sourceAudio, &info, sizeof info) == vfw::AVIERR_OK)
            sampleBytes_ = info.dwSampleSize;
        else
            audioDone_ = true;
        audioStart_ = std::max<int64_t>(vfw::AVIStreamStart(s_.sourceAudio), 0);
        videoStart_ = std::max<int64_t>(vfw::AVIStreamStart(s_.sourceVideo), 0);
        p_ = plan_.firstSample;
        endSample_ = plan_.endSample;
        if (!audioDone_ && sampleBytes_ > 0) {
            const std::optional<AudioFormat> format = readAudioFormat(s_.sourceAudio);
            const uint16_t tag = format ? formatTag(*format) : PcmTag;
            // Compressed bytes: zeros are no silence a decoder takes, so the stream starts later instead.
            compressed_ = tag != PcmTag;
            // MPEG audio bytes are cut where a frame begins, at both ends of the range; the samples
            // skipped at the start move the output's first sample (its start field) by as much.
            if (tag == MpegLayer3Tag && sampleBytes_ == 1) {
                if (p_ > 0)
                    p_ = vfw::mpegAudioFrameStart(s_.sourceAudio, p_);
                if (endSample_ > 0)
                    endSample_ = std::max(p_, vfw::mpegAudioFrameStart(s_.sourceAudio, endSample_));
            }
        }
        remainingSamples_ = endSample_ - p_;
    }

    CopyOutcome run();

private:
    bool grow(std::vector<uint8_t>& buffer, int64_t bytes) {
        if (bytes < 0 || bytes > MaxChunkBytes)
            return false;
        if (static_cast<int64_t>(buffer.size()) < bytes)
            buffer.resize(static_cast<std::size_t>(bytes));
        return true;
    }
    CopyEnd audioStep(int64_t n);
    CopyEnd fixedSizeAudio(int64_t n);
    CopyEnd chunkAudio(int64_t n);
    CopyEnd videoStep(int64_t v);
    CopyEnd writeAudio(int64_t samples, int64_t bytes);

    const CopyStreams& s_;
    const CopyPlan& plan_;
    JobSink& sink_;
    std::vector<uint8_t> audio_;
    std::vector<uint8_t> frame_;
    uint32_t sampleBytes_ = 0;
    int64_t audioStart_ = 0;
    int64_t videoStart_ = 0;
    int64_t p_ = 0;
    int64_t endSample_ = 0;
    bool compressed_ = false;
    int64_t remainingSamples_ = 0;
    int64_t samplesWritten_ = 0;
    bool audioDone_ = false; // the source's audio has ended (or there is none)
};

CopyOutcome Copier::run() {
    CopyOutcome outcome;
    bool firstChunk = true;
    int64_t v = plan_.firstFrame;
    while (v < plan_.endFrame && !sink_.stopFlag()) {
        if (p_ < endSample_ && !audioDone_) {
            const int64_t remainingFrames = plan_.endFrame - v;
            int64_t n = firstChunk ? plan_.preloadSamples : remainingSamples_ / remainingFrames;
            n = std::min(std::max<int64_t>(n, 1), endSample_ - p_);
            firstChunk = false;
            if (const CopyEnd end = audioStep(n); end != CopyEnd::Done) {
                outcome.end = end;
                break;
            }
        }
        if (const CopyEnd end = videoStep(v); end != CopyEnd::Done) {
            outcome.end = end;
            break;
        }
        ++v;
        ++outcome.framesWritten;
        sink_.progress(percent(v, plan_.totalFrames), percent(p_, plan_.totalSamples));
        sink_.processEvents();
    }
    if (outcome.end == CopyEnd::Done && v < plan_.endFrame)
        outcome.end = CopyEnd::Stopped;
    outcome.samplesWritten = samplesWritten_;
    outcome.nextSample = p_;
    return outcome;
}

CopyEnd Copier::audioStep(int64_t n) {
    return sampleBytes_ > 0 ? fixedSizeAudio(n) : chunkAudio(n);
}

CopyEnd Copier::writeAudio(int64_t samples, int64_t bytes) {
    const int64_t at = p_ + plan_.audioShift;
    if (!fitsLong(at))
        return CopyEnd::WriteFailed;
    vfw::LONG written = 0;
    if (vfw::AVIStreamWrite(s_.outputAudio, static_cast<vfw::LONG>(at), static_cast<vfw::LONG>(samples),
                            audio_.data(), static_cast<vfw::LONG>(bytes), vfw::AVIIF_KEYFRAME, &written,
                            nullptr) != vfw::AVIERR_OK)
        return CopyEnd::WriteFailed;
    p_ += samples;
    remainingSamples_ -= samples;
    samplesWritten_ += samples;
    return CopyEnd::Done;
}

// Samples of a fixed size: silence and source samples share one chunk as long as it fits the buffer; a
// request larger than the buffer is written as several chunks. Compressed audio gets no silence of
// zero bytes: its output starts later.
CopyEnd Copier::fixedSizeAudio(int64_t n) {
    if (!grow(audio_, sampleBytes_))
        return CopyEnd::ReadFailed;
    const int64_t capacity = static_cast<int64_t>(audio_.size()) / sampleBytes_;
    if (compressed_ && p_ < 0) {
        const int64_t skip = std::min(-p_, n);
        p_ += skip;
        remainingSamples_ -= skip;
        n -= skip;
    }
    while (n > 0) {
        const int64_t take = std::min(n, capacity);
        const int64_t silence = p_ < 0 ? std::min(-p_, take) : 0;
        std::memset(audio_.data(), 0, static_cast<std::size_t>(silence * sampleBytes_));
        vfw::LONG got = 0;
        if (take > silence) {
            const int64_t from = audioStart_ + p_ + silence;
            if (from > INT_MAX)
                return CopyEnd::ReadFailed;
            const auto offset = static_cast<std::size_t>(silence * sampleBytes_);
            const vfw::HRESULT hr = vfw::AVIStreamRead(
                s_.sourceAudio, static_cast<vfw::LONG>(from), static_cast<vfw::LONG>(take - silence),
                audio_.data() + offset, static_cast<vfw::LONG>(audio_.size() - offset), nullptr, &got);
            if (hr == vfw::AVIERR_NODATA)
                got = 0; // past the source's end
            else if (hr != vfw::AVIERR_OK)
                return CopyEnd::ReadFailed;
        }
        const int64_t chunk = silence + got;
        if (chunk > 0) {
            if (const CopyEnd end = writeAudio(chunk, chunk * sampleBytes_); end != CopyEnd::Done)
                return end;
        }
        if (silence + got < take) {
            audioDone_ = true; // the source has no more samples
            return CopyEnd::Done;
        }
        n -= chunk;
    }
    return CopyEnd::Done;
}

// Samples without a fixed size (one chunk each): each is copied as its own chunk, however large. Silence
// is not written: the output stream starts later, or its gap is filled with empty chunks.
CopyEnd Copier::chunkAudio(int64_t n) {
    while (n > 0) {
        if (p_ < 0) {
            const int64_t skip = std::min(-p_, n);
            p_ += skip;
            remainingSamples_ -= skip;
            n -= skip;
            continue;
        }
        const int64_t from = audioStart_ + p_;
        if (from > INT_MAX)
            return CopyEnd::ReadFailed;
        vfw::LONG bytes = 0;
        vfw::LONG samples = 0;
        vfw::HRESULT hr =
            vfw::AVIStreamRead(s_.sourceAudio, static_cast<vfw::LONG>(from), 1, nullptr, 0, &bytes, &samples);
        if (hr == vfw::AVIERR_NODATA || (hr == vfw::AVIERR_OK && samples == 0)) {
            audioDone_ = true;
            return CopyEnd::Done;
        }
        if (hr != vfw::AVIERR_OK || !grow(audio_, bytes))
            return CopyEnd::ReadFailed;
        hr = vfw::AVIStreamRead(s_.sourceAudio, static_cast<vfw::LONG>(from), 1, audio_.data(),
                                static_cast<vfw::LONG>(audio_.size()), &bytes, &samples);
        if (hr != vfw::AVIERR_OK || samples != 1)
            return CopyEnd::ReadFailed;
        if (const CopyEnd end = writeAudio(1, bytes); end != CopyEnd::Done)
            return end;
        --n;
    }
    return CopyEnd::Done;
}

CopyEnd Copier::videoStep(int64_t v) {
    const int64_t from = videoStart_ + v;
    const int64_t at = v + plan_.videoShift;
    if (from > INT_MAX)
        return CopyEnd::ReadFailed;
    if (!fitsLong(at))
        return CopyEnd::WriteFailed;
    const auto pos = static_cast<vfw::LONG>(from);
    vfw::LONG bytes = 0;
    vfw::LONG samples = 0;
    vfw::HRESULT hr = vfw::AVIStreamRead(s_.sourceVideo, pos, 1, nullptr, 0, &bytes, &samples);
    if (hr != vfw::AVIERR_OK || samples < 1 || !grow(frame_, bytes))
        return CopyEnd::ReadFailed;
    hr = vfw::AVIStreamRead(s_.sourceVideo, pos, 1, frame_.data(), static_cast<vfw::LONG>(frame_.size()),
                            &bytes, &samples);
    if (hr != vfw::AVIERR_OK || samples < 1)
        return CopyEnd::ReadFailed;
    const bool key = v == plan_.firstFrame || vfw::AVIStreamIsKeyFrame(s_.sourceVideo, pos);
    if (vfw::AVIStreamWrite(s_.outputVideo, static_cast<vfw::LONG>(at), samples, frame_.data(), bytes,
                            key ? vfw::AVIIF_KEYFRAME : 0, nullptr, nullptr) != vfw::AVIERR_OK)
        return CopyEnd::WriteFailed;
    return CopyEnd::Done;
}

} // namespace

std::optional<VideoFormat> readVideoFormat(vfw::PAVISTREAM stream) {
    vfw::LONG size = 0;
    if (vfw::AVIStreamFormatSize(stream, 0, &size) != vfw::AVIERR_OK || size < VideoFormatBytes)
        return std::nullopt;
    VideoFormat format;
    vfw::LONG room = VideoFormatBytes;
    const vfw::HRESULT hr = vfw::AVIStreamReadFormat(stream, 0, &format, &room);
    // A larger format (a colour table after the header) reports that only the header fitted.
    if (hr != vfw::AVIERR_OK && hr != vfw::AVIERR_BUFFERTOOSMALL)
        return std::nullopt;
    return format;
}

std::optional<AudioFormat> readAudioFormat(vfw::PAVISTREAM stream) {
    vfw::LONG size = 0;
    if (vfw::AVIStreamFormatSize(stream, 0, &size) != vfw::AVIERR_OK || size <= 0)
        return std::nullopt;
    AudioFormat format{};
    vfw::LONG room = std::min<vfw::LONG>(size, AudioFormatBytes);
    const vfw::HRESULT hr = vfw::AVIStreamReadFormat(stream, 0, format.data(), &room);
    if (hr != vfw::AVIERR_OK && hr != vfw::AVIERR_BUFFERTOOSMALL)
        return std::nullopt;
    return format;
}

uint16_t formatTag(const AudioFormat& format) {
    return static_cast<uint16_t>(le(format, FormatTagAt, 2));
}
uint32_t samplesPerSec(const AudioFormat& format) {
    return le(format, SamplesPerSecAt, 4);
}
uint32_t avgBytesPerSec(const AudioFormat& format) {
    return le(format, AvgBytesPerSecAt, 4);
}
uint16_t blockAlign(const AudioFormat& format) {
    return static_cast<uint16_t>(le(format, BlockAlignAt, 2));
}

CopyOutcome copyInterleaved(const CopyStreams& streams, const CopyPlan& plan, JobSink& sink) {
    Copier copier(streams, plan, sink);
    return copier.run();
}

} // namespace tools::synchronizer
