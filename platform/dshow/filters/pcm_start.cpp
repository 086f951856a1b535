#include "platform/dshow/filters/pcm_start.h"

#include <algorithm>

namespace platform::dshow::filters {

namespace {
constexpr int64_t kUnits = 10'000'000;
}

PcmStart::PcmStart(int64_t origin, int rate, int bytesPerFrame)
    : origin_(origin), rate_(rate), bytesPerFrame_(bytesPerFrame) {}

void PcmStart::take(std::span<const uint8_t> bytes, std::optional<int64_t> startTime,
                    std::vector<uint8_t>& out) {
    if (!placed_ && startTime) {
        placed_ = true;
        // Rounded to the nearest frame, so that a stream stamped on the origin is left as it is.
        // Beyond the longest lead either way the offset is not used: clamped first, so that it
        // cannot overflow when scaled.
        const int64_t limit = (kLongestLeadSeconds + 1) * kUnits;
        int64_t offset = 0;
        if (__builtin_sub_overflow(*startTime, origin_, &offset))
            offset = *startTime < origin_ ? -limit : limit;
        offset = std::clamp(offset, -limit, limit);
        const int64_t frames =
            (offset >= 0 ? offset * rate_ + kUnits / 2 : offset * rate_ - kUnits / 2) / kUnits;
        if (frames > 0 && frames <= kLongestLeadSeconds * rate_) {
            out.resize(out.size() + static_cast<size_t>(frames * bytesPerFrame_), 0);
            padded_ = frames;
        } else if (frames < 0 && -frames <= kLongestLeadSeconds * rate_) {
            cutPending_ = -frames;
        }
    }
    if (cutPending_ > 0) {
        const int64_t have = static_cast<int64_t>(bytes.size()) / bytesPerFrame_;
        const int64_t cut = std::min(cutPending_, have);
        bytes = bytes.subspan(static_cast<size_t>(cut * bytesPerFrame_));
        cutPending_ -= cut;
        cut_ += cut;
    }
    out.insert(out.end(), bytes.begin(), bytes.end());
}

} // namespace platform::dshow::filters
