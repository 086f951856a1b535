// Whole rips of PAL and NTSC titles that flash white and beep at the same instants every two seconds,
// whose sound begins before or after the first picture or that lost a stretch of data, on the three
// audio paths (AC3Dec, Azid through the per-VOB demultiplexer and the join, the built-in extractor)
// and at the movie frame rates a user picks: in the final AVI the sound plays with its flash at every
// mark where the title has sound.
//
// Each title's video is converted once for each frame rate; the other paths' rips decode the audio
// again and mux it with that video, as a user who rips the sound a second time does.
#include "tests/rip/av_probe.h"
#include "tests/rip/rip_checks.h"
#include "tests/rip/rip_road.h"

#include "kes/form1_unit.h"
#include "tests/support/ifogen.h"
#include "tests/support/sync_title.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace kes::test {
namespace {

namespace fs = std::filesystem;

// The compression leaves the MP3 codec's own delay out, so the movie's sound needs no allowance.
constexpr double Mp3Delay = 0.0;
constexpr double Mp3Tolerance = 0.005;
constexpr double WmaTolerance = 0.020;

// The movie's frames a second for a text of the frame rate list.
double rateOf(const std::string& text) {
    if (text == "23.976")
        return 24000.0 / 1001;
    if (text == "29.970")
        return 30000.0 / 1001;
    return std::stod(text);
}

class SyncRoadTest : public RipRoadTest {
protected:
    void SetUp() override {
        fillMissingHelpers();
        start();
    }

    void makeSyncTitle(const SyncTitleSpec& spec, const std::function<void(const VobSet&)>& damage = {}) {
        const fs::path dvd = data.path() / "dvd" / "VIDEO_TS";
        sync = writeSyncTitle(dvd, spec);
        if (damage)
            damage(sync.set);
        fs::remove(sync.set.list); // the rip writes its own
        IfoSpec ifo;
        ifo.pal = spec.standard == VideoStandard::Pal;
        ifo.audio = {{0, "en", 1, false, 2}};
        IfoCell cell;
        cell.seconds = spec.seconds;
        ifo.cells = {cell};
        title.spec.seconds = spec.seconds;
        title.set = sync.set;
        title.folder = dvd;
        title.ifoPath = writeIfo(dvd, ifo);
        frameRate = ifo.pal ? "25" : "23.976";
    }

    // One rip of the first stream through the path, compressed to MP3 or WMA and muxed; with the video
    // converted at the frame rate chosen (the frame rate list's text), or with the video the last rip
    // left.
    std::string rip(const std::string& path, bool video, const std::string& codec = "MP3") {
        const std::string out = at("out/");
        baseSettings(*form, title, out);
        TForm1& f = *form;
        f.RipAudio.setChecked(true);
        f.arip.setTextSilent(path);
        f.SubStream.setText("0x80 [English]");
        // WMA is offered at 44.1 kHz: the decoders then give 44.1 kHz too.
        f.Samplerate.setText(codec == "MP3" ? "48" : "44.1");
        f.compress.setChecked(true);
        f.mp3wma.setText(codec);
        f.Mode.setText("Stereo");
        f.Bitrate.setText(codec == "MP3" ? "128" : "64");
        if (video) {
            f.RipVid.setChecked(true);
            f.Codec.setText("DivX 4.x");
            f.D4VBR.setText("1-pass");
            f.finalsize.setText("2");
            f.DivFR.setText(f.SBitRate.text());
            f.DownX.setChecked(true);
            f.DownY.setChecked(true);
            f.XSize.setText("320");
            f.YSize.setText(sync.spec.standard == VideoStandard::Pal ? "256" : "240");
            f.fps.setText(frameRate);
            movieRate = rateOf(frameRate);
        }
        f.Merge.setChecked(true);
        const std::string final = out + path + "-" + codec + ".avi";
        f.FinalFile.setText(final);
        launch();
        EXPECT_FALSE(RipAborted) << ::testing::PrintToString(shown());
        return final;
    }

    // The time of the movie's first frame that shows the picture of a mark: the converter shows at
    // each frame the title's picture nearest to it.
    double flashInMovie(double mark) const {
        const double halfPicture = sync.frameSeconds() / 2;
        return std::ceil((mark - halfPicture) * movieRate - 1e-9) / movieRate;
    }

    // Every mark: a flash at the movie's frame nearest its picture, also after lost data (the title
    // begins each flash with an intra picture, which decodes on its own), and a beep at every mark
    // where the title has sound, within the tolerance of the mark once the encoder's delay is taken off
    // and of the flash heard with it. FFmpeg decodes the movie without a complaint. Prints the sound
    // against the title's marks and against the movie's flashes.
    void expectInStep(const std::string& final, double delay, double tolerance) {
        SCOPED_TRACE(final);
        const FlashScan scan = scanFlashes(final);
        EXPECT_EQ(scan.decoderErrors, 0);
        const std::vector<double>& flashes = scan.starts;
        const std::vector<double> beeps = beepStarts(final);
        ASSERT_EQ(flashes.size(), sync.marks.size()) << ::testing::PrintToString(flashes);
        for (size_t i = 0; i < flashes.size(); ++i)
            EXPECT_NEAR(flashes[i], flashInMovie(sync.marks[i]), 1e-6) << "flash " << i;
        const std::vector<double> sound = sync.soundMarks();
        ASSERT_EQ(beeps.size(), sound.size()) << ::testing::PrintToString(beeps);
        std::string offsets, againstPicture;
        for (size_t i = 0; i < beeps.size(); ++i) {
            const double offset = beeps[i] - delay - sound[i];
            const size_t mark = static_cast<size_t>(
                std::find(sync.marks.begin(), sync.marks.end(), sound[i]) - sync.marks.begin());
            const double fromFlash = beeps[i] - delay - flashes[mark];
            char text[64];
            std::snprintf(text, sizeof text, " %+.2f ms", offset * 1000);
            offsets += text;
            std::snprintf(text, sizeof text, " %+.2f ms", fromFlash * 1000);
            againstPicture += text;
            EXPECT_NEAR(offset, 0.0, tolerance) << "mark " << i << " at " << sound[i];
            EXPECT_NEAR(fromFlash, 0.0, tolerance) << "flash " << mark << " at " << flashes[mark];
        }
        std::printf("[ sync ] %s at %s: sound - mark%s, sound - picture%s\n",
                    fs::path(final).filename().c_str(), frameRate.c_str(), offsets.c_str(),
                    againstPicture.c_str());
    }

    // Every path on the title, the first one with the video conversion.
    void ripEveryPath(const std::vector<std::string>& paths) {
        bool video = true;
        for (const std::string& path : paths) {
            const std::string final = rip(path, video);
            expectInStep(final, Mp3Delay, Mp3Tolerance);
            video = false;
        }
    }

    SyncTitle sync;
    std::string frameRate = "25"; // the frame rate list's text for the next conversion
    double movieRate = 25;        // of the movie converted last
};

int64_t ms(int n) {
    return n * 90;
}

TEST_F(SyncRoadTest, SoundStartingHalfASecondBeforeThePicture) {
    makeSyncTitle({VideoStandard::Pal, 5.0, 10, 50, ms(-500)});
    ripEveryPath({"AC3Dec", "Azid", "Internal"});
}

TEST_F(SyncRoadTest, SoundStartingOneFrameAfterThePicture) {
    makeSyncTitle({VideoStandard::Pal, 5.0, 10, 50, ms(40)});
    ripEveryPath({"Azid", "Internal", "AC3Dec"});
}

TEST_F(SyncRoadTest, SoundStartingOneFrameBeforeThePictureInWma) {
    makeSyncTitle({VideoStandard::Pal, 5.0, 10, 50, ms(-40)});
    ripEveryPath({"Internal", "AC3Dec", "Azid"});
    // WMA keeps the same timing within its coarser blocks.
    expectInStep(rip("Internal", false, "WMA"), 0.0, WmaTolerance);
}

// Marks at 0.4, 2.4 and 4.4 s; the damage lies between the second and the third (the zeros across
// the boundary of the two VOB files, the cut inside the second file).

TEST_F(SyncRoadTest, SoundStartingHalfASecondAfterThePictureWithAStretchCutOut) {
    makeSyncTitle({VideoStandard::Pal, 6.0, 10, 50, ms(500)}, [&](const VobSet& set) {
        const int64_t from = packAtTime(set, sync.vob, 3.3);
        const int64_t to = packAtTime(set, sync.vob, 4.2);
        cutStretch(set, from * static_cast<int64_t>(kVobPackSize) + 100,
                   (to - from) * static_cast<int64_t>(kVobPackSize));
    });
    ripEveryPath({"AC3Dec", "Azid", "Internal"});
}

TEST_F(SyncRoadTest, SoundInStepWithAStretchOverwrittenWithZeros) {
    makeSyncTitle({VideoStandard::Pal, 6.0, 10, 50, 0}, [&](const VobSet& set) {
        const int64_t from = packAtTime(set, sync.vob, 2.7);
        const int64_t to = packAtTime(set, sync.vob, 3.9);
        zeroStretch(set, from * static_cast<int64_t>(kVobPackSize) + 123,
                    (to - from) * static_cast<int64_t>(kVobPackSize));
    });
    ripEveryPath({"Internal", "Azid", "AC3Dec"});
}

// NTSC video, 30000/1001 pictures a second, marks every 50 pictures from picture 20 (0.667, 2.335 and
// 4.004 s): instants the film rate's frames meet too (four of every five pictures). The movie at the
// film rate the IFO chooses, at the video rate and at 30 frames a second.

TEST_F(SyncRoadTest, NtscSoundHalfASecondBeforeThePictureAtFilmRate) {
    makeSyncTitle({VideoStandard::Ntsc, 5.0, 20, 50, ms(-500)});
    ASSERT_EQ(frameRate, "23.976");
    ripEveryPath({"AC3Dec", "Azid", "Internal"});
}

TEST_F(SyncRoadTest, NtscSoundHalfASecondAfterThePictureAtVideoRates) {
    makeSyncTitle({VideoStandard::Ntsc, 4.5, 20, 50, ms(500)});
    frameRate = "29.970";
    ripEveryPath({"Azid", "Internal", "AC3Dec"});
    expectInStep(rip("AC3Dec", false, "WMA"), 0.0, WmaTolerance);
    // At 30 frames a second a frame is repeated every 1001 pictures: here each flash comes up to
    // 4 ms before its mark.
    frameRate = "30";
    ripEveryPath({"Internal", "AC3Dec", "Azid"});
}

// NTSC film, soft-telecined: film pictures shown for 2, 3, 2, 3 fields, marks every 40 pictures from
// picture 16 (0.667, 2.336 and 4.004 s), where a group of four pictures begins and film and video
// frames meet.
TEST_F(SyncRoadTest, NtscFilmSoundHalfASecondBeforeThePicture) {
    makeSyncTitle({.standard = VideoStandard::Ntsc,
                   .firstMarkFrame = 16,
                   .markEveryFrames = 40,
                   .audioStartPts = ms(-500),
                   .film = true});
    ripEveryPath({"Azid", "AC3Dec", "Internal"});
    frameRate = "29.970";
    ripEveryPath({"AC3Dec"});
    frameRate = "30";
    ripEveryPath({"Internal"});
}

} // namespace
} // namespace kes::test
