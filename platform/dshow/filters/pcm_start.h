#pragma once

// Makes a PCM stream begin at a chosen instant of its clock: what is stamped before that instant is
// cut away, and silence fills from it to a first sample stamped later. Only the first stamped chunk
// decides; the stream's own clock keeps the rest in place.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace platform::dshow::filters {

class PcmStart {
public:
    // origin: the instant in 100 ns units; rate and bytesPerFrame: the PCM layout.
    PcmStart(int64_t origin, int rate, int bytesPerFrame);

    // The next chunk and its start time (100 ns): appends to out what the file gets.
    void take(std::span<const uint8_t> bytes, std::optional<int64_t> startTime, std::vector<uint8_t>& out);

    // Frames of silence put before the first sample, and frames cut away.
    int64_t framesPadded() const { return padded_; }
    int64_t framesCut() const { return cut_; }

private:
    int64_t origin_;
    int rate_;
    int bytesPerFrame_;
    bool placed_ = false;
    int64_t cutPending_ = 0; // frames still to cut
    int64_t padded_ = 0;
    int64_t cut_ = 0;
};

// The longest silence put before a stream's first sample: a later first stamp is taken as a clock the
// origin does not share, and the stream is written from its first sample.
inline constexpr int64_t kLongestLeadSeconds = 600;

} // namespace platform::dshow::filters
