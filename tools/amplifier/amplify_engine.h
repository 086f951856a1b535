#pragma once

// The amplification job: every sample of a PCM WAV file's audio (8-bit unsigned, 16-bit or 24-bit signed)
// multiplied by a gain given in tenths of a decibel, with hard clipping, in place or into a new file. The
// window drives it; tests and benchmarks call it directly.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tools::amplifier {

inline constexpr int32_t ClipHigh = 29000;
inline constexpr int32_t ClipLow = -29001;
inline constexpr size_t AmplifyBlockBytes = 131072;

// 10 raised to position / 200: position 150 (15.0 dB) gives about 5.62.
double gainFactor(int position);

// The amplified value of every 16-bit sample: round(sample x gain), halves to even, clipped.
class GainTable {
public:
    explicit GainTable(double gain);
    int16_t operator()(int16_t sample) const { return table_[static_cast<uint16_t>(sample)]; }
    // Scales the whole little-endian samples of a block in place (a last odd byte stays).
    void apply(uint8_t* bytes, size_t length) const;

private:
    std::array<int16_t, 65536> table_{};
};

// The samples of a PCM WAV file the job can scale.
enum class SampleFormat { U8, S16, S24 };

// The bytes of one sample.
int sampleBytes(SampleFormat format);

// round(sample x gain), halves to even, clipped to the 16-bit limits scaled to the sample's width
// (29000 and -29001 for 16 bits, 256 times that for 24 bits, 113 and -113 about the midpoint 128 for
// 8 bits), for a whole block of little-endian samples (a last partial sample stays).
class SampleScaler {
public:
    SampleScaler(SampleFormat format, double gain);
    void apply(uint8_t* bytes, size_t length) const;
    SampleFormat format() const { return format_; }

private:
    SampleFormat format_;
    double gain_;
    GainTable table16_;
    std::array<uint8_t, 256> table8_{};
};

class AmplifySink {
public:
    virtual ~AmplifySink() = default;
    virtual void errorBox(const std::string& text) = 0;
    virtual void jobStarted(int64_t /*count*/) {} // gauge maximum, the timer runs
    virtual void progressStep(int64_t /*bytes*/) {}
    virtual void jobEnded() {} // the timer stops
    virtual void processMessages() {}
};

struct AmplifyRequest {
    std::string source;      // Edit1
    std::string destination; // Edit2
    bool same = false;       // in place
    int position = 0;        // TB: tenths of a dB
};

struct AmplifyResult {
    bool failed = false;    // ended by a check or an I/O error: nothing was changed or created
    bool completed = false; // every sample was processed (not stopped, not failed)
    bool inPlace = false;
    bool throughCopy = false; // in place through a temporary copy that replaced the source
};

class AmplifyEngine {
public:
    explicit AmplifyEngine(AmplifySink& sink) : sink_(sink) {}

    // userBreak is cleared when the job starts and read between blocks.
    AmplifyResult run(const AmplifyRequest& request, bool& userBreak);

    // For the window's timer.
    int64_t count() const { return count_; }
    int64_t processed() const { return processed_; }
    int64_t startMs() const { return startMs_; }
    bool running() const { return running_; }

    // Whether the volume of a file has room for a copy of size bytes; an in-place job without room
    // writes into the source itself. Tests replace the check.
    using RoomCheck = std::function<bool(const std::string& path, int64_t size)>;
    void setRoomCheck(RoomCheck check) { roomCheck_ = std::move(check); }

private:
    bool runSteps(const AmplifyRequest& request, bool& userBreak, AmplifyResult& result);

    AmplifySink& sink_;
    RoomCheck roomCheck_;
    int64_t count_ = 0;
    int64_t processed_ = 0;
    int64_t startMs_ = 0;
    bool running_ = false;
};

} // namespace tools::amplifier
