#pragma once

// Silent AC3 frames, to keep a demultiplexed AC3 stream on its title's clock where the title has no
// sound (before the stream's first frame, across lost data). A frame is always 1536 samples; a silence
// of another length ends with a silent frame that names, in its auxiliary data, how many of its
// samples to keep. Decoders that do not know the note play the whole frame; ours keep only that many.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace outside::dvd_audio {

// The layout a silent frame copies from a frame of the stream: sample rate, bit rate and channels.
struct Ac3Layout {
    int sampleRate = 48000;
    int bitRate = 192000;
    int acmod = 2; // AC3 audio coding mode: 1 mono, 2 stereo, 3 to 7 three to five channels
    bool lfe = false;
    bool operator==(const Ac3Layout&) const = default;
};

// The layout of the frame at the start of bytes; nothing when it is no AC3 frame header.
std::optional<Ac3Layout> ac3Layout(std::span<const uint8_t> frame);

class SilentAc3 {
public:
    // Frames of silence totalling the given samples (whole frames, then one that keeps the rest),
    // appended to out. False, with error set, when the encoder is missing.
    bool append(const Ac3Layout& layout, int64_t samples, std::vector<uint8_t>& out, std::string& error);

private:
    bool make(const Ac3Layout& layout, std::string& error);
    std::optional<Ac3Layout> layout_;
    std::vector<uint8_t> frame_;
};

// A silent frame's note: how many of its samples to keep; nothing for any other frame.
std::optional<int> keptSamples(std::span<const uint8_t> frame);

} // namespace outside::dvd_audio
