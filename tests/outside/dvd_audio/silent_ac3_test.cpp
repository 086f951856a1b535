// Silent AC3 frames: the layout read from a stream's frame header, silences of any length made of
// whole frames and one that names how many of its samples to keep, and FFmpeg's decoder reading them.
#include "outside/dvd_audio/silent_ac3.h"

#include "platform/dshow/filters/ps_packet.h"

#include "tests/outside/dvd_audio/ac3_test_support.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace outside::dvd_audio {
namespace {

// The frames of a stream made of concatenated frames, by their headers.
std::vector<std::vector<uint8_t>> splitFrames(const std::vector<uint8_t>& bytes) {
    std::vector<std::vector<uint8_t>> frames;
    for (size_t at = 0; at < bytes.size();) {
        const auto frame = platform::dshow::filters::ac3Frame({bytes.data() + at, bytes.size() - at});
        if (!frame || at + frame->size > bytes.size())
            break;
        frames.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                            bytes.begin() + static_cast<std::ptrdiff_t>(at + frame->size));
        at += frame->size;
    }
    return frames;
}

TEST(SilentAc3, LayoutOfStereoAndSixChannelFrames) {
    for (const auto& [channels, rate, acmod, lfe] :
         {std::tuple{2, 192000, 2, false}, std::tuple{6, 448000, 7, true}, std::tuple{1, 96000, 1, false}}) {
        const auto stream =
            kes::test::encodeAc3(channels, 48000, rate, 0.1, [](int, int64_t) { return 0.0; });
        const auto layout = ac3Layout(stream);
        ASSERT_TRUE(layout) << channels;
        EXPECT_EQ(layout->sampleRate, 48000);
        EXPECT_EQ(layout->bitRate, rate);
        EXPECT_EQ(layout->acmod, acmod);
        EXPECT_EQ(layout->lfe, lfe);
    }
    EXPECT_FALSE(ac3Layout(std::vector<uint8_t>{0x0B, 0x77, 0, 0}));
}

TEST(SilentAc3, SilencesOfAnyLengthDecodeToThatManyQuietSamplesInOurDecoderAndWholeFramesInFfmpegs) {
    SilentAc3 silent;
    for (const auto& layout : {Ac3Layout{}, Ac3Layout{48000, 448000, 7, true}}) {
        for (const int64_t samples :
             {int64_t{1536}, int64_t{576}, int64_t{1}, int64_t{1535}, int64_t{5000}}) {
            std::vector<uint8_t> out;
            std::string error;
            ASSERT_TRUE(silent.append(layout, samples, out, error)) << error;
            const auto frames = splitFrames(out);
            ASSERT_EQ(frames.size(), static_cast<size_t>((samples + 1535) / 1536)) << samples;
            int64_t kept = 0;
            for (const auto& f : frames) {
                EXPECT_EQ(ac3Layout(f), layout);
                kept += keptSamples(f).value_or(1536);
            }
            EXPECT_EQ(kept, samples);
            // Whole frames carry no note; FFmpeg decodes every frame, silent, with its CRCs checked.
            EXPECT_FALSE(keptSamples(frames.front()) && samples >= 1536);
            kes::test::TempDir dir("kes-silent-ac3");
            kes::test::writeBytes(dir.file("s.ac3"), std::string(out.begin(), out.end()));
            const kes::test::Pcm pcm =
                kes::test::ffmpegDecode(dir.file("s.ac3"), -1, {{"err_detect", "crccheck"}});
            EXPECT_EQ(pcm.frames(), frames.size() * 1536) << samples;
            EXPECT_LT(kes::test::rms(pcm.samples), 1.0);
        }
    }
    // Nothing for no silence.
    std::vector<uint8_t> none;
    std::string error;
    EXPECT_TRUE(silent.append(Ac3Layout{}, 0, none, error));
    EXPECT_TRUE(none.empty());
}

TEST(SilentAc3, AFrameOfAStreamCarriesNoNote) {
    const auto stream =
        kes::test::encodeAc3(2, 48000, 192000, 0.2, [](int, int64_t i) { return (i % 100) / 200.0; });
    for (const auto& frame : splitFrames(stream))
        EXPECT_FALSE(keptSamples(frame));
}

} // namespace
} // namespace outside::dvd_audio
