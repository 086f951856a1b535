#pragma once

// Where the sound renderer's samples go: the sound card through ALSA when a device opens, otherwise a
// sink that takes them at the pace they would play. Every wait goes through a PlaybackGate, so that a
// stop or a flush ends it at once.

#include "platform/dshow/filters/audio_format.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <span>
#include <string>

namespace platform::dshow::filters {

class PlaybackGate {
public:
    using Clock = std::chrono::steady_clock;

    // Time spent paused counts into pausedTotal() (read by the paced sink to hold its clock).
    void setRunning(bool running);
    Clock::duration pausedTotal();
    // Ends every wait until reset().
    void cancel();
    void reset();
    bool cancelled();
    // Waits while paused; true once running, false when cancelled.
    bool waitRunning();
    // Sleeps until the time; false when cancelled first.
    bool sleepUntil(Clock::time_point when);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool running_ = false;
    bool cancelled_ = false;
    Clock::time_point pausedSince_ = Clock::now();
    Clock::duration pausedTotal_{};
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Plays whole frames, waiting while the device (or the clock) is full; false when cancelled or
    // when the device failed.
    virtual bool play(std::span<const uint8_t> bytes) = 0;
    // Waits until everything given has played; false when cancelled.
    virtual bool drain() = 0;
    // Drops what is queued and starts the clock afresh.
    virtual void discard() = 0;
    virtual bool isDevice() const = 0;
    // Bytes given that have not been heard yet (in the device's buffer, or ahead of the paced clock).
    virtual int64_t pendingBytes() = 0;
};

// The environment variable that names the ALSA device ("default" when unset); "none" plays nothing.
inline constexpr char kSoundDeviceVariable[] = "KESTROVA_SOUND_DEVICE";

// The sound card for the format, or nullptr when no device opens or it cannot take the format.
std::unique_ptr<AudioOutput> openDeviceOutput(const WaveFormat& format, PlaybackGate& gate);
// Consumes the samples at real-time pace.
std::unique_ptr<AudioOutput> makePacedOutput(const WaveFormat& format, PlaybackGate& gate);

} // namespace platform::dshow::filters
