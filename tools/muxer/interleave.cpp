#include "tools/muxer/interleave.h"

#include "platform/vfw/mpeg_audio_frame.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tools::muxer {

namespace {

constexpr double PercentScale = 100.0;
constexpr int MpegLayer3Tag = 85;
// Formats in which zero bytes are silence: PCM, floating-point PCM and the extensible form of both.
constexpr int PcmTag = 1;
constexpr int FloatTag = 3;
constexpr int ExtensibleTag = 0xFFFE;

double percentOf(int64_t done, int64_t whole) {
    return whole > 0 ? static_cast<double>(done) / static_cast<double>(whole) * PercentScale : PercentScale;
}

vfw::LONG toLong(int64_t value) {
    return static_cast<vfw::LONG>(value);
}

// The bytes of one audio sample as the stream reads and writes them.
int64_t bytesPerSample(int64_t blockAlign) {
    return std::max<int64_t>(1, blockAlign);
}

enum class AudioRead { Ok, Ended, Failed };

// Reads up to n samples at position (from the stream's first sample) into out; got receives the
// samples and bytes read. The buffer grows when a single sample does not fit.
AudioRead readAudio(vfw::PAVISTREAM audio, int64_t position, int64_t n, std::vector<uint8_t>& out,
                    size_t offset, int64_t& samples, int64_t& bytes) {
    samples = 0;
    bytes = 0;
    const vfw::LONG at = toLong(vfw::AVIStreamStart(audio) + position);
    for (int attempt = 0; attempt < 2; ++attempt) {
        vfw::LONG gotBytes = 0;
        vfw::LONG gotSamples = 0;
        const auto room = static_cast<vfw::LONG>(out.size() - offset);
        const vfw::HRESULT hr =
            vfw::AVIStreamRead(audio, at, toLong(n), out.data() + offset, room, &gotBytes, &gotSamples);
        if (hr == vfw::AVIERR_BUFFERTOOSMALL && attempt == 0 && gotBytes > room) {
            out.resize(offset + static_cast<size_t>(gotBytes));
            continue;
        }
        if (hr == vfw::AVIERR_NODATA)
            return AudioRead::Ended;
        if (hr != vfw::AVIERR_OK)
            return AudioRead::Failed;
        if (gotSamples <= 0)
            return AudioRead::Ended;
        samples = gotSamples;
        bytes = gotBytes;
        return AudioRead::Ok;
    }
    return AudioRead::Failed;
}

bool variableSampleSize(vfw::PAVISTREAM audio) {
    vfw::AVISTREAMINFO info{};
    return vfw::AVIStreamInfo(audio, &info, sizeof info) == vfw::AVIERR_OK && info.dwSampleSize == 0;
}

// MPEG layer III counted in bytes (an MP3 file, or MP3 held in a WAVE file): a cut inside a frame
// leaves a piece that no decoder takes.
bool mpegAudioBytes(vfw::PAVISTREAM audio) {
    vfw::AVISTREAMINFO info{};
    uint8_t format[2] = {};
    vfw::LONG size = sizeof format;
    const vfw::HRESULT hr = vfw::AVIStreamReadFormat(audio, 0, format, &size);
    return vfw::AVIStreamInfo(audio, &info, sizeof info) == vfw::AVIERR_OK && info.dwSampleSize == 1 &&
           (hr == vfw::AVIERR_OK || hr == vfw::AVIERR_BUFFERTOOSMALL) &&
           (format[0] | format[1] << 8) == MpegLayer3Tag;
}

// Zero bytes are no silence in compressed audio (MP3 or WMA held in a WAVE file): decoders skip them,
// so the sound after them would play early.
bool zeroBytesAreSilence(vfw::PAVISTREAM audio) {
    uint8_t format[2] = {};
    vfw::LONG size = sizeof format;
    const vfw::HRESULT hr = vfw::AVIStreamReadFormat(audio, 0, format, &size);
    if (hr != vfw::AVIERR_OK && hr != vfw::AVIERR_BUFFERTOOSMALL)
        return true;
    const int tag = format[0] | format[1] << 8;
    return tag == PcmTag || tag == FloatTag || tag == ExtensibleTag;
}

class AudioFeed {
public:
    explicit AudioFeed(const InterleavePlan& plan)
        : plan_(plan), block_(bytesPerSample(plan.blockAlign)), variable_(variableSampleSize(plan.audio)),
          silence_(zeroBytesAreSilence(plan.audio)), a_(plan.a0), end_(plan.a1),
          buffer_(static_cast<size_t>(std::max(AudioBufferBytes, block_))) {
        // Both ends of the range move to where a frame begins, so that the two parts of a split meet
        // on the same frame; a later first byte goes to a later position, so the part keeps its sync.
        if (mpegAudioBytes(plan.audio)) {
            if (a_ > 0)
                a_ = vfw::mpegAudioFrameStart(plan.audio, a_);
            if (end_ > 0)
                end_ = std::max(a_, vfw::mpegAudioFrameStart(plan.audio, end_));
        }
        remaining_ = end_ - a_;
    }

    bool pending() const { return !ended_ && a_ < end_; }
    int64_t position() const { return a_; }

    // One chunk: frames is the count of video frames still to write.
    InterleaveEnd writeChunk(int64_t frames) {
        int64_t n = 0;
        if (first_)
            n = static_cast<int64_t>(std::trunc(plan_.audioRate * plan_.preloadSeconds));
        else
            n = remaining_ / std::max<int64_t>(1, frames);
        n = std::clamp<int64_t>(n, 1, std::max<int64_t>(1, end_ - a_));
        first_ = false;
        if (variable_)
            return writeFrames(n);
        if (a_ < 0 && !silence_) {
            // The stream starts later instead: its first write sets its start field.
            const int64_t skip = std::min(n, -a_);
            a_ += skip;
            remaining_ -= skip;
            n -= skip;
            if (n == 0)
                return InterleaveEnd::Done;
        }
        n = std::min<int64_t>(n, std::max<int64_t>(1, static_cast<int64_t>(buffer_.size()) / block_));

        int64_t silence = 0;
        if (a_ < 0)
            silence = std::min(n, -a_);
        const auto silenceBytes = static_cast<size_t>(silence * block_);
        std::fill(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(silenceBytes), uint8_t{0});
        int64_t samples = silence;
        int64_t bytes = static_cast<int64_t>(silenceBytes);
        // A read may stop at the end of one of the source's chunks: read on until the chunk is full.
        while (samples < n && !ended_) {
            int64_t readSamples = 0;
            int64_t readBytes = 0;
            const AudioRead r = readAudio(plan_.audio, std::max<int64_t>(a_ + samples, 0), n - samples,
                                          buffer_, static_cast<size_t>(bytes), readSamples, readBytes);
            if (r == AudioRead::Failed)
                return InterleaveEnd::AudioReadFailed;
            if (r == AudioRead::Ended)
                ended_ = true; // the source has no more samples: the rest of the range stays empty
            samples += readSamples;
            bytes += readBytes;
        }
        if (samples == 0)
            return InterleaveEnd::Done;
        if (vfw::AVIStreamWrite(plan_.outAudio, toLong(a_ - plan_.a0), toLong(samples), buffer_.data(),
                                toLong(bytes), vfw::AVIIF_KEYFRAME, nullptr, nullptr) != vfw::AVIERR_OK)
            return InterleaveEnd::WriteFailed;
        remaining_ -= samples;
        a_ += samples;
        return InterleaveEnd::Done;
    }

private:
    // Audio whose chunks differ in size (MP3 in AVI, one frame per chunk): each sample is one chunk of
    // its own, copied as it is. Silence cannot be made of zero bytes in such a stream; the stream
    // starts later instead, its start field saying when.
    InterleaveEnd writeFrames(int64_t n) {
        if (a_ < 0) {
            const int64_t skip = std::min(n, -a_);
            a_ += skip;
            remaining_ -= skip;
            n -= skip;
        }
        for (; n > 0 && !ended_; --n) {
            int64_t samples = 0;
            int64_t bytes = 0;
            const AudioRead r = readAudio(plan_.audio, a_, 1, buffer_, 0, samples, bytes);
            if (r == AudioRead::Failed)
                return InterleaveEnd::AudioReadFailed;
            if (r == AudioRead::Ended) {
                ended_ = true;
                break;
            }
            if (vfw::AVIStreamWrite(plan_.outAudio, toLong(a_ - plan_.a0), 1, buffer_.data(), toLong(bytes),
                                    vfw::AVIIF_KEYFRAME, nullptr, nullptr) != vfw::AVIERR_OK)
                return InterleaveEnd::WriteFailed;
            --remaining_;
            ++a_;
        }
        return InterleaveEnd::Done;
    }

    const InterleavePlan& plan_;
    int64_t block_;
    bool variable_;
    bool silence_; // zero bytes are silence in this format
    int64_t a_;
    int64_t end_;
    int64_t remaining_ = 0;
    bool first_ = true; // the first chunk holds the preload
    bool ended_ = false;
    std::vector<uint8_t> buffer_;
};

} // namespace

bool readFrame(vfw::PAVISTREAM video, int64_t position, std::vector<uint8_t>& buffer, int64_t& bytes) {
    bytes = 0;
    const vfw::LONG at = toLong(vfw::AVIStreamStart(video) + position);
    vfw::LONG needed = 0;
    vfw::LONG samples = 0;
    if (vfw::AVIStreamRead(video, at, 1, nullptr, 0, &needed, &samples) != vfw::AVIERR_OK || needed < 0)
        return false;
    if (buffer.size() < static_cast<size_t>(needed) + 1)
        buffer.resize(static_cast<size_t>(needed) + 1);
    if (needed == 0)
        return true;
    vfw::LONG got = 0;
    if (vfw::AVIStreamRead(video, at, 1, buffer.data(), toLong(static_cast<int64_t>(buffer.size())), &got,
                           &samples) != vfw::AVIERR_OK)
        return false;
    bytes = got;
    return true;
}

int64_t sizeSplitTarget(vfw::PAVISTREAM video, int64_t length, double parts, int64_t audioBytes) {
    if (length <= 0 || parts <= 1.0)
        return std::max<int64_t>(length, 0);
    const vfw::LONG base = toLong(vfw::AVIStreamStart(video));
    std::vector<int64_t> frameBytes(static_cast<size_t>(length), 0);
    double total = static_cast<double>(std::max<int64_t>(audioBytes, 0));
    for (int64_t i = 0; i < length; ++i) {
        vfw::LONG bytes = 0;
        vfw::LONG samples = 0;
        if (vfw::AVIStreamRead(video, toLong(base + i), 1, nullptr, 0, &bytes, &samples) == vfw::AVIERR_OK &&
            bytes > 0)
            frameBytes[static_cast<size_t>(i)] = bytes;
        total += static_cast<double>(frameBytes[static_cast<size_t>(i)]);
    }
    const double audioPerFrame =
        static_cast<double>(std::max<int64_t>(audioBytes, 0)) / static_cast<double>(length);
    const double goal = total / parts;
    double sum = 0;
    for (int64_t i = 0; i < length; ++i) {
        const double next = sum + static_cast<double>(frameBytes[static_cast<size_t>(i)]) + audioPerFrame;
        // The frame boundary nearer to the goal: before this frame or after it.
        if (next >= goal)
            return goal - sum <= next - goal ? i : i + 1;
        sum = next;
    }
    return length;
}

int64_t nearestKeyFrame(vfw::PAVISTREAM video, int64_t t, int64_t length) {
    const int64_t base = vfw::AVIStreamStart(video);
    const vfw::LONG back = vfw::AVIStreamFindSample(video, toLong(base + t), vfw::FIND_PREV | vfw::FIND_KEY);
    const vfw::LONG forward =
        vfw::AVIStreamFindSample(video, toLong(base + t), vfw::FIND_NEXT | vfw::FIND_KEY);
    const int64_t before = back < 0 ? 0 : std::clamp<int64_t>(back - base, 0, t);
    const int64_t after = forward < 0 ? length : std::clamp<int64_t>(forward - base, t, length);
    return t - before < after - t ? before : after;
}

InterleaveEnd interleave(const InterleavePlan& plan, InterleaveObserver& observer, const bool& userBreak) {
    AudioFeed audio(plan);
    std::vector<uint8_t> frame;
    int64_t v = plan.start;
    const int64_t base = vfw::AVIStreamStart(plan.video);
    observer.progress(percentOf(0, plan.length), 0);
    for (;;) {
        if (audio.pending()) {
            const InterleaveEnd end = audio.writeChunk(plan.end - v);
            if (end != InterleaveEnd::Done)
                return end;
        }
        if (v < plan.end) {
            int64_t bytes = 0;
            if (!readFrame(plan.video, v, frame, bytes))
                return InterleaveEnd::VideoReadFailed;
            const bool key = v == plan.start || vfw::AVIStreamIsKeyFrame(plan.video, toLong(base + v));
            if (vfw::AVIStreamWrite(plan.outVideo, toLong(v - plan.start), 1, frame.data(), toLong(bytes),
                                    key ? vfw::AVIIF_KEYFRAME : 0, nullptr, nullptr) != vfw::AVIERR_OK)
                return InterleaveEnd::WriteFailed;
            ++v;
        }
        observer.progress(percentOf(v, plan.length), percentOf(audio.position(), plan.audioLength));
        observer.processMessages();
        if (userBreak)
            return InterleaveEnd::Stopped;
        if (v >= plan.end)
            return InterleaveEnd::Done;
    }
}

InterleaveEnd appendClip(vfw::PAVISTREAM clip, vfw::PAVISTREAM outVideo, int64_t at) {
    const int64_t base = vfw::AVIStreamStart(clip);
    const int64_t length = vfw::AVIStreamLength(clip);
    std::vector<uint8_t> frame;
    for (int64_t i = 0; i < length; ++i) {
        int64_t bytes = 0;
        if (!readFrame(clip, i, frame, bytes))
            return InterleaveEnd::VideoReadFailed;
        const bool key = i == 0 || vfw::AVIStreamIsKeyFrame(clip, toLong(base + i));
        if (vfw::AVIStreamWrite(outVideo, toLong(at + i), 1, frame.data(), toLong(bytes),
                                key ? vfw::AVIIF_KEYFRAME : 0, nullptr, nullptr) != vfw::AVIERR_OK)
            return InterleaveEnd::WriteFailed;
    }
    return InterleaveEnd::Done;
}

vfw::DWORD setPartAudio(InterleavePlan& plan, bool split, bool firstPart, int64_t delay, int64_t splitSample,
                        int64_t audioLength) {
    plan.a0 = !split || firstPart ? delay : splitSample;
    plan.a1 = split && firstPart ? splitSample : audioLength;
    plan.audioLength = audioLength;
    return static_cast<vfw::DWORD>(std::max<int64_t>(0, plan.a1 - plan.a0));
}

} // namespace tools::muxer
