// Picture times from time stamps, and pictures onto the AVI's frame rate: which source picture each
// output frame shows.

#include "outside/mpeg2avi/picture_clock.h"
#include "outside/mpeg2avi/rate_converter.h"

#include <gtest/gtest.h>

#include <vector>

namespace mpeg2avi {
namespace {

constexpr int64_t kNtscFrame = 6006; // ticks of one 30000/1001 frame
constexpr int64_t kPalFrame = 7200;

// Which picture each output frame shows, for pictures at the given times ending at end.
std::vector<int> framesOf(FrameRate out, FrameRate pictures, const std::vector<int64_t>& times, int64_t end) {
    RateConverter rates(out, pictures);
    std::vector<int> shown;
    for (size_t i = 0; i < times.size(); ++i) {
        const int64_t before = rates.framesBefore(times[i]);
        // Frames before the first picture show the first one.
        shown.insert(shown.end(), static_cast<size_t>(before), i == 0 ? 0 : static_cast<int>(i - 1));
    }
    shown.insert(shown.end(), static_cast<size_t>(rates.framesUntil(end)),
                 static_cast<int>(times.size() - 1));
    return shown;
}

// Film pictures of a soft-telecined title: 2, 3, 2, 3 fields each, times as 90 kHz stamps give them
// (a field is 1501.5 stamp units; the stamps are rounded).
std::vector<int64_t> softTelecineTimes(int pictures) {
    static const int start[4] = {0, 2, 5, 7};
    std::vector<int64_t> times;
    for (int n = 0; n < pictures; ++n) {
        const int64_t field = int64_t{n / 4} * 10 + start[n % 4];
        times.push_back((field * 3003 + 1) / 2 * PictureClock::kTicksPerStamp);
    }
    return times;
}

TEST(RateConverter, EvenPicturesAtTheSameRateMapOneToOne) {
    std::vector<int64_t> pal;
    for (int n = 0; n < 250; ++n)
        pal.push_back(n * kPalFrame);
    const auto shown = framesOf({25, 1}, {25, 1}, pal, 250 * kPalFrame);
    ASSERT_EQ(shown.size(), 250u);
    for (int k = 0; k < 250; ++k)
        EXPECT_EQ(shown[k], k);
}

TEST(RateConverter, SoftTelecineGivesEachFilmPictureOnceAtFilmRate) {
    const auto times = softTelecineTimes(480);
    const int64_t end = 600 * kNtscFrame; // 480 pictures are 1200 fields
    const auto film = framesOf({24000, 1001}, {30000, 1001}, times, end);
    ASSERT_EQ(film.size(), 480u);
    for (int k = 0; k < 480; ++k)
        ASSERT_EQ(film[k], k) << "frame " << k;

    // At video rate every fifth frame repeats a picture: the 3:2 pattern, every picture shown.
    const auto video = framesOf({30000, 1001}, {30000, 1001}, times, end);
    ASSERT_EQ(video.size(), 600u);
    for (int k = 0; k < 600; k += 5) {
        const int g = k / 5 * 4;
        EXPECT_EQ(std::vector<int>(video.begin() + k, video.begin() + k + 5),
                  (std::vector<int>{g, g + 1, g + 1, g + 2, g + 3}))
            << "frames from " << k;
    }
}

TEST(RateConverter, OtherRatesRepeatOrLeaveOutEvenlyAndKeepTheLength) {
    std::vector<int64_t> ntsc;
    for (int n = 0; n < 300; ++n)
        ntsc.push_back(n * kNtscFrame);
    const auto film = framesOf({24000, 1001}, {30000, 1001}, ntsc, 300 * kNtscFrame);
    ASSERT_EQ(film.size(), 240u);
    // Frame k at k × 1.25 video frames: the nearest picture.
    for (int k = 0; k < 240; ++k)
        EXPECT_EQ(film[k], (k * 5 + 2) / 4) << k;

    std::vector<int64_t> pal;
    for (int n = 0; n < 25; ++n)
        pal.push_back(n * kPalFrame);
    const auto up = framesOf({30, 1}, {25, 1}, pal, 25 * kPalFrame);
    ASSERT_EQ(up.size(), 30u);
    for (int k = 0; k < 30; ++k)
        EXPECT_EQ(up[k], (k * 5 + 3) / 6) << k;
}

TEST(RateConverter, AGapHoldsThePictureBeforeIt) {
    // Pictures 0..9, then nothing for 20 frames, then 10..19 at their own times.
    std::vector<int64_t> times;
    for (int n = 0; n < 10; ++n)
        times.push_back(n * kPalFrame);
    for (int n = 30; n < 40; ++n)
        times.push_back(n * kPalFrame);
    const auto shown = framesOf({25, 1}, {25, 1}, times, 40 * kPalFrame);
    ASSERT_EQ(shown.size(), 40u);
    for (int k = 0; k < 40; ++k)
        EXPECT_EQ(shown[k], k < 10 ? k : k < 30 ? 9 : k - 20) << k;
}

TEST(RateConverter, PicturesBeforeTheStartAreLeftOutUnlessNearest) {
    // A range starting between pictures: frame 0 shows the picture nearest to it.
    RateConverter rates({25, 1}, {25, 1});
    EXPECT_EQ(rates.framesBefore(-kPalFrame - 100), 0);
    EXPECT_EQ(rates.framesBefore(-100), 0);
    EXPECT_EQ(rates.framesBefore(kPalFrame - 100), 1); // the picture at -100 is frame 0's
    EXPECT_EQ(rates.framesUntil(2 * kPalFrame - 100), 1);
}

TEST(PictureClock, StampsGiveTheTimesAndThePicturesWithoutOneFollow) {
    PictureClock clock;
    EXPECT_EQ(clock.place(90000, kNtscFrame), 0);
    EXPECT_EQ(clock.originStamp(), 90000);
    // Repeated first fields: 3 fields, then 2; a stamp rounded to 90 kHz.
    EXPECT_EQ(clock.place(93003, kNtscFrame * 3 / 2), 6006);
    EXPECT_EQ(clock.place(std::nullopt, kNtscFrame), 6006 + 9009);
    EXPECT_EQ(clock.place(100511, kNtscFrame), 21022);
    EXPECT_EQ(clock.end(), 21022 + kNtscFrame);
}

TEST(PictureClock, FirstPicturesWithoutStampsTakeTheirTimeFromTheFirstStamp) {
    PictureClock clock;
    EXPECT_EQ(clock.place(std::nullopt, kPalFrame), 0);
    EXPECT_FALSE(clock.originStamp());
    EXPECT_EQ(clock.place(std::nullopt, kPalFrame), kPalFrame);
    EXPECT_EQ(clock.place(50000, kPalFrame), 2 * kPalFrame);
    EXPECT_EQ(clock.originStamp(), 50000 - 2 * 3600);
}

TEST(PictureClock, LostDataKeepsItsTimeAndSeamsDoNot) {
    PictureClock clock;
    clock.place(1000, kPalFrame);
    clock.place(4600, kPalFrame);
    EXPECT_FALSE(clock.afterGap());
    // Two seconds of pictures lost: the gap stays.
    EXPECT_EQ(clock.place(4600 + 3600 + 180000, kPalFrame), 2 * kPalFrame + 360000);
    EXPECT_TRUE(clock.afterGap());
    // Stamps that go back for pictures in a row (a new recording's time base): the count goes on
    // from the first of them.
    EXPECT_EQ(clock.place(200, kPalFrame), std::nullopt);
    EXPECT_EQ(clock.place(3800, kPalFrame), std::nullopt);
    EXPECT_EQ(clock.place(7400, kPalFrame), 3 * kPalFrame + 360000);
    EXPECT_FALSE(clock.afterGap());
    EXPECT_EQ(clock.place(11000, kPalFrame), 4 * kPalFrame + 360000);
    // A leap of an hour: a new time base too.
    EXPECT_EQ(clock.place(11000 + 3600 * 90000, kPalFrame), 5 * kPalFrame + 360000);
    EXPECT_FALSE(clock.afterGap());
    EXPECT_EQ(clock.originStamp(), 1000);
}

TEST(PictureClock, OnePictureOutOfPlaceGetsNoTime) {
    PictureClock clock;
    for (int n = 0; n < 5; ++n)
        clock.place(n * 3600, kPalFrame);
    // A damaged picture whose stamp lies before the previous one's.
    EXPECT_EQ(clock.place(3600, kPalFrame), std::nullopt);
    EXPECT_EQ(clock.place(5 * 3600, kPalFrame), 5 * kPalFrame);
    EXPECT_FALSE(clock.afterGap());
    // Stamps that step over a soft telecine's repeated field are no gap; a missing picture is.
    EXPECT_EQ(clock.place(6 * 3600 + 1, kPalFrame), 6 * kPalFrame + 2);
    EXPECT_FALSE(clock.afterGap());
    EXPECT_EQ(clock.place(8 * 3600, kPalFrame), 8 * kPalFrame);
    EXPECT_TRUE(clock.afterGap());
}

TEST(PictureClock, TheStampCounterWrapsAround) {
    PictureClock clock;
    const int64_t nearTop = PictureClock::kStampWrap - 3600;
    EXPECT_EQ(clock.place(nearTop, kPalFrame), 0);
    EXPECT_EQ(clock.place(0, kPalFrame), kPalFrame);
    EXPECT_EQ(clock.place(3600, kPalFrame), 2 * kPalFrame);
    EXPECT_EQ(clock.originStamp(), nearTop);
}

} // namespace
} // namespace mpeg2avi
