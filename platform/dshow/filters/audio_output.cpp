#include "platform/dshow/filters/audio_output.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace platform::dshow::filters {

namespace {

using namespace std::chrono;
using Clock = PlaybackGate::Clock;

constexpr unsigned kDeviceLatencyUs = 200'000;
constexpr int kDeviceWaitMs = 20;
constexpr auto kPollStep = milliseconds(kDeviceWaitMs);
// How far the paced sink may run ahead of the clock: what a device buffer would hold.
constexpr auto kPacedLead = milliseconds(200);
constexpr char kNoDevice[] = "none";
constexpr char kDefaultDevice[] = "default";

Clock::duration durationOf(int64_t bytes, const WaveFormat& format) {
    const int64_t perSecond = std::max<int64_t>(format.avgBytesPerSec, 1);
    return duration_cast<Clock::duration>(nanoseconds(bytes * 1'000'000'000LL / perSecond));
}

class PacedOutput final : public AudioOutput {
public:
    PacedOutput(const WaveFormat& format, PlaybackGate& gate) : format_(format), gate_(gate) {}

    bool play(std::span<const uint8_t> bytes) override {
        if (!started_) {
            start_ = Clock::now();
            pausedBefore_ = gate_.pausedTotal();
            started_ = true;
        }
        written_ += static_cast<int64_t>(bytes.size());
        return gate_.sleepUntil(endTime() - kPacedLead);
    }
    bool drain() override { return !started_ || gate_.sleepUntil(endTime()); }
    void discard() override {
        started_ = false;
        written_ = 0;
    }
    bool isDevice() const override { return false; }
    int64_t pendingBytes() override {
        if (!started_)
            return 0;
        const auto ahead = endTime() - Clock::now();
        if (ahead <= Clock::duration::zero())
            return 0;
        return duration_cast<nanoseconds>(ahead).count() * std::max<int64_t>(format_.avgBytesPerSec, 1) /
               1'000'000'000LL;
    }

private:
    WaveFormat format_;
    PlaybackGate& gate_;
    // When what was written has played: the clock stands still while the filter is paused.
    Clock::time_point endTime() {
        return start_ + durationOf(written_, format_) + (gate_.pausedTotal() - pausedBefore_);
    }

    Clock::time_point start_;
    Clock::duration pausedBefore_{};
    bool started_ = false;
    int64_t written_ = 0;
};

std::optional<snd_pcm_format_t> alsaFormat(const WaveFormat& format) {
    switch (format.bitsPerSample) {
    case 8:
        return SND_PCM_FORMAT_U8;
    case 16:
        return SND_PCM_FORMAT_S16_LE;
    case 24:
        return format.blockAlign == format.channels * 3 ? SND_PCM_FORMAT_S24_3LE : SND_PCM_FORMAT_S24_LE;
    case 32:
        return SND_PCM_FORMAT_S32_LE;
    default:
        return std::nullopt;
    }
}

class AlsaOutput final : public AudioOutput {
public:
    AlsaOutput(snd_pcm_t* pcm, const WaveFormat& format, PlaybackGate& gate)
        : pcm_(pcm), format_(format), gate_(gate) {}
    ~AlsaOutput() override {
        snd_pcm_drop(pcm_);
        snd_pcm_close(pcm_);
    }

    bool play(std::span<const uint8_t> bytes) override {
        const size_t frameSize = format_.blockAlign;
        while (bytes.size() >= frameSize) {
            if (gate_.cancelled())
                return false;
            const auto frames = static_cast<snd_pcm_uframes_t>(bytes.size() / frameSize);
            snd_pcm_sframes_t n = snd_pcm_writei(pcm_, bytes.data(), frames);
            if (n == -EAGAIN) {
                snd_pcm_wait(pcm_, kDeviceWaitMs);
                continue;
            }
            if (n < 0)
                n = snd_pcm_recover(pcm_, static_cast<int>(n), 1);
            if (n < 0)
                return false;
            bytes = bytes.subspan(static_cast<size_t>(n) * frameSize);
        }
        return true;
    }

    bool drain() override {
        for (;;) {
            snd_pcm_sframes_t delay = 0;
            if (snd_pcm_state(pcm_) != SND_PCM_STATE_RUNNING || snd_pcm_delay(pcm_, &delay) < 0 || delay <= 0)
                return true;
            const auto left = durationOf(static_cast<int64_t>(delay) * format_.blockAlign, format_);
            if (!gate_.sleepUntil(Clock::now() + std::min<Clock::duration>(left, kPollStep)))
                return false;
        }
    }

    void discard() override {
        snd_pcm_drop(pcm_);
        snd_pcm_prepare(pcm_);
    }

    bool isDevice() const override { return true; }
    int64_t pendingBytes() override {
        snd_pcm_sframes_t delay = 0;
        if (snd_pcm_state(pcm_) != SND_PCM_STATE_RUNNING || snd_pcm_delay(pcm_, &delay) < 0 || delay <= 0)
            return 0;
        return static_cast<int64_t>(delay) * format_.blockAlign;
    }

private:
    snd_pcm_t* pcm_;
    WaveFormat format_;
    PlaybackGate& gate_;
};

} // namespace

void PlaybackGate::setRunning(bool running) {
    {
        std::lock_guard lock(mutex_);
        if (running && !running_)
            pausedTotal_ += Clock::now() - pausedSince_;
        else if (!running && running_)
            pausedSince_ = Clock::now();
        running_ = running;
    }
    changed_.notify_all();
}

PlaybackGate::Clock::duration PlaybackGate::pausedTotal() {
    std::lock_guard lock(mutex_);
    return running_ ? pausedTotal_ : pausedTotal_ + (Clock::now() - pausedSince_);
}

void PlaybackGate::cancel() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    changed_.notify_all();
}

void PlaybackGate::reset() {
    std::lock_guard lock(mutex_);
    cancelled_ = false;
}

bool PlaybackGate::cancelled() {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

bool PlaybackGate::waitRunning() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return running_ || cancelled_; });
    return !cancelled_;
}

bool PlaybackGate::sleepUntil(Clock::time_point when) {
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, when, [this] { return cancelled_; });
    return !cancelled_;
}

// ALSA's own complaints (no card, no configuration) would go to stderr; a missing device is normal here.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

std::unique_ptr<AudioOutput> openDeviceOutput(const WaveFormat& format, PlaybackGate& gate) {
    const char* configured = std::getenv(kSoundDeviceVariable);
    const std::string device = configured && *configured ? configured : kDefaultDevice;
    const auto sampleFormat = alsaFormat(format);
    if (device == kNoDevice || !sampleFormat || format.channels == 0 || format.samplesPerSec == 0 ||
        format.blockAlign == 0)
        return nullptr;
    snd_lib_error_set_handler(quietAlsa);
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, device.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
        return nullptr;
    if (snd_pcm_set_params(pcm, *sampleFormat, SND_PCM_ACCESS_RW_INTERLEAVED, format.channels,
                           format.samplesPerSec, 1, kDeviceLatencyUs) < 0) {
        snd_pcm_close(pcm);
        return nullptr;
    }
    return std::make_unique<AlsaOutput>(pcm, format, gate);
}

std::unique_ptr<AudioOutput> makePacedOutput(const WaveFormat& format, PlaybackGate& gate) {
    return std::make_unique<PacedOutput>(format, gate);
}

} // namespace platform::dshow::filters
