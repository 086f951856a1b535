#pragma once

// An AC3 elementary stream decoded into whole frames of every channel it carries (not down-mixed),
// with the mix levels the stream gives for a down-mix. The stream's dynamic-range compression is
// applied only when asked.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace outside::azid {

struct DecodedFrame {
    const float* const* planes = nullptr; // one plane per channel
    int channels = 0;
    uint64_t channelMask = 0; // speaker positions of the channels, in their order
    int sampleRate = 0;
    int frames = 0;
    double centerMixLevel = 0; // linear factors for a down-mix, from the stream
    double surroundMixLevel = 0;
};

using FrameSink = std::function<void(const DecodedFrame&)>;

class Ac3Frames {
public:
    Ac3Frames();
    ~Ac3Frames();
    Ac3Frames(const Ac3Frames&) = delete;
    Ac3Frames& operator=(const Ac3Frames&) = delete;

    // False, with error set, when the decoder is not available.
    bool open(bool compression, std::string& error);
    void decode(std::span<const uint8_t> bytes, const FrameSink& sink);
    void finish(const FrameSink& sink);
    // Frames that failed to decode, and decoded frames in a layout that is not taken.
    int64_t errors() const { return errors_; }

private:
    struct State;
    void decodeFrame(const uint8_t* data, int size, const FrameSink& sink);
    void receive(const FrameSink& sink);

    std::unique_ptr<State> state_;
    int64_t errors_ = 0;
};

} // namespace outside::azid
