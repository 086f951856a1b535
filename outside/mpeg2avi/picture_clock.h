#pragma once

// The times of a stream's pictures on the converter's clock, from their presentation time stamps.
// Each picture (in display order) takes its own stamp, unwrapped from the 33-bit 90 kHz counter and
// counted from the first picture; a picture without a stamp follows the one before it by that one's
// duration. A leap ahead is data the set has lost, and its time is kept. A stamp far ahead of where
// the pictures before it end, or going back for several pictures in a row, is a new time base (a
// seam between two recordings): the count goes on from where it was. A single picture whose stamp
// goes back is out of place (damaged data) and gets no time.

#include <cstdint>
#include <optional>

namespace mpeg2avi {

class PictureClock {
public:
    // Stamps are 90 kHz; times and durations are ticks of the converter's clock (two per stamp unit).
    static constexpr int64_t kTicksPerStamp = 2;
    static constexpr int64_t kStampWrap = int64_t{1} << 33;
    // A leap ahead by more than this much time (ticks) is taken for a new time base, not a gap.
    static constexpr int64_t kLargestGap = 10 * 180000;

    // Pictures in a row whose stamps go back before they are taken for a new time base.
    static constexpr int kOutOfPlaceLimit = 3;

    // The next picture in display order: its stamp when it has one, and how long it lasts. Gives its
    // time in ticks from the first picture (that one at 0); none for a picture out of place.
    std::optional<int64_t> place(std::optional<int64_t> stamp, int64_t duration);
    // True when pictures are missing before the one just placed (its stamp lies later than where
    // the picture before it ends).
    bool afterGap() const { return afterGap_; }

    // The stamp (as stamped, 0 .. 2^33 - 1) of the instant at time 0; none before a stamp was seen.
    std::optional<int64_t> originStamp() const;
    // Where the latest picture ends (ticks).
    int64_t end() const { return end_; }
    bool started() const { return started_; }

private:
    bool started_ = false;
    int64_t end_ = 0;      // the expected time of the next picture
    int64_t previous_ = 0; // the previous picture's time
    // The last stamp seen, unwrapped, and the time it gave (ticks); the first stamp, unwrapped, and
    // the time it was placed at.
    std::optional<int64_t> lastStamp_;
    int64_t lastUnwrapped_ = 0;
    int64_t base_ = 0; // time = (unwrapped stamp - base_) * kTicksPerStamp
    std::optional<int64_t> origin_;
    bool afterGap_ = false;
    int outOfPlace_ = 0;
};

} // namespace mpeg2avi
