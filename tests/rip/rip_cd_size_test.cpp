// The final AVI against the CD it was asked for: rips of a short title at the rate the video page
// suggests for a two-hour movie on one CD of 650 and 700 MB and on two CDs of 1300 and 1400 MB (split
// in halves), each file scaled back to two hours: its headers once, everything that grows with the
// movie (the stream chunks and their index) in proportion. Every part must fit its CD-R and fill at
// least 97 % of it. The first profile is named "Face/Off", whose "/" must not reach the file names, and
// deletes its work files, the first pass's log among them.
#include "tests/rip/av_probe.h"
#include "tests/rip/rip_checks.h"
#include "tests/rip/rip_road.h"

#include "kes/form1_unit.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>

namespace kes::test {
namespace {

namespace fs = std::filesystem;

constexpr double MovieSeconds = 120 * 60.0;
constexpr double Cd650Bytes = 681984000.0; // 333,000 sectors of 2048 bytes
constexpr double Cd700Bytes = 737280000.0; // 360,000 sectors
constexpr double LeastFill = 0.97;
constexpr const char* OneCdWidth = "512";
constexpr const char* OneCdHeight = "384";

uint32_t le32(const char* p) {
    return static_cast<uint32_t>(static_cast<unsigned char>(p[0])) |
           static_cast<uint32_t>(static_cast<unsigned char>(p[1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(p[2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(p[3])) << 24;
}

// An AVI's bytes in two shares: those that grow with the movie (the "movi" list and the index) and
// the rest (the RIFF header, the stream headers, padding).
struct AviShares {
    double growing = 0;
    double fixed = 0;
};
AviShares aviShares(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    AviShares shares;
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "AVI ") != 0)
        return shares;
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::string id = bytes.substr(at, 4);
        const uint64_t size = le32(bytes.data() + at + 4);
        const uint64_t whole = 8 + size + (size & 1);
        const bool movi = id == "LIST" && at + 12 <= bytes.size() && bytes.compare(at + 8, 4, "movi") == 0;
        if (movi || id == "idx1")
            shares.growing += static_cast<double>(whole);
        at += whole;
    }
    shares.fixed = static_cast<double>(bytes.size()) - shares.growing;
    return shares;
}

class CdSizeRoadTest : public RipRoadTest {
protected:
    void SetUp() override {
        fillMissingHelpers();
        DvdTitleSpec spec;
        spec.video = true;
        spec.seconds = 8.0;
        spec.beeps = {2.0, 6.0}; // one in each half
        makeTitle(spec);
        out = at("out/");
        start();
    }

    // The file as the two-hour movie it stands for, against the CD.
    struct Fit {
        double bytes = 0;
        double fill = 0;
    };
    Fit fitOf(const std::string& path, double cdBytes) const {
        const AviShares shares = aviShares(path);
        Fit fit;
        fit.bytes = shares.fixed + shares.growing * MovieSeconds / title.spec.seconds;
        fit.fill = fit.bytes / cdBytes;
        return fit;
    }
    void expectFits(const std::string& path, double cdBytes, const std::string& what) {
        ASSERT_TRUE(fs::exists(path)) << what;
        const Fit fit = fitOf(path, cdBytes);
        expectFits(fit.bytes, cdBytes, what);
    }
    static void expectFits(double bytes, double cdBytes, const std::string& what) {
        std::printf("%s: %.0f bytes for two hours, %.2f %% of the CD-R's %.0f\n", what.c_str(), bytes,
                    bytes / cdBytes * 100, cdBytes);
        EXPECT_LE(bytes, cdBytes) << what;
        EXPECT_GE(bytes / cdBytes, LeastFill) << what;
    }
    // The two parts of a split movie. A split cuts at a key frame: a second apart here, an eighth of
    // the title, where a two-hour movie's ten seconds are a seven-hundredth of it. So the cut must be
    // at the key frame nearest the middle of the bytes (the parts differ by less than a second's
    // bytes), and each part is held against its CD as the half of the bytes it is with key frames as
    // close as a two-hour movie's.
    void expectPartsFit(const std::string& part1, const std::string& part2, double cdBytes,
                        const std::string& what) {
        ASSERT_TRUE(fs::exists(part1) && fs::exists(part2)) << what;
        const AviShares a = aviShares(part1);
        const AviShares b = aviShares(part2);
        const double secondBytes = (a.growing + b.growing) / title.spec.seconds;
        EXPECT_LT(std::abs(a.growing - b.growing), secondBytes)
            << what << ": " << a.growing << " / " << b.growing;
        const double half = (a.growing + b.growing) / 2 * MovieSeconds / title.spec.seconds;
        expectFits(a.fixed + half, cdBytes, what + ", part 1");
        expectFits(b.fixed + half, cdBytes, what + ", part 2");
    }
    // Another rip of the same title with the audio made by the first: only the video and the mux.
    void ripAgain(const std::string& name, const std::string& size, bool split) {
        TForm1& f = *form;
        // A split cuts at a key frame: one a second for these (ten seconds apart, as the one-CD rips
        // have them, would leave this short title none to cut at).
        f.kframe.setText(split ? "1" : "10");
        // A picture size whose detail takes these rates between the codec's finest and coarsest
        // quantizers: the title's own for two CDs, a smaller one for one.
        f.DownX.setChecked(!split);
        f.DownY.setChecked(!split);
        f.RipAudio.setChecked(false);
        f.normal.setChecked(false);
        f.compress.setChecked(false);
        f.ProfileEdit.setText(name);
        f.finalsize.setText(size);
        f.Split.setChecked(split);
        f.sih.setChecked(true);
        fs::remove(out + "work/movie.avi");
        launch();
        ASSERT_FALSE(RipAborted) << ::testing::PrintToString(shown());
        EXPECT_EQ(shown(), Lines{});
    }
    std::string out;
};

TEST_F(CdSizeRoadTest, SuggestedRateFillsOneOrTwoCdsWithoutGoingOver) {
    saveProfile("Face/Off", "faceoff.pfl", [&](TForm1& f) {
        chooseOneCdRip(f);
        f.XSize.setText(OneCdWidth);
        f.YSize.setText(OneCdHeight);
        f.DelWav.setChecked(true);
        f.finalsize.setText("650");
        f.movielength.setText("120");
        f.sec.setText("0");
    });
    loadProfile("Face/Off");
    EXPECT_EQ(loadBoxes, Lines{});
    EXPECT_EQ(form->FinalFile.text(), out + "Face_Off.avi");
    EXPECT_EQ(form->DivFR.text(), "612"); // 650 * 8192 / 7200 - 128
    launch();
    ASSERT_FALSE(RipAborted) << ::testing::PrintToString(shown());
    EXPECT_EQ(shown(), Lines{});
    EXPECT_EQ(reports().size(), 1u);
    expectFits(out + "Face_Off.avi", Cd650Bytes, "650 MB");
    EXPECT_EQ(filesUnder(out + "Face"), Lines{}); // no folder made of the title
    // The work files asked to go are gone, the first pass's log with them.
    EXPECT_EQ(filesUnder(out + "work"), (Lines{"audio.mp3.wav", "movie.avi"}));

    ripAgain("CD 700", "700", false);
    EXPECT_EQ(form->DivFR.text(), "668");
    expectFits(out + "CD_700.avi", Cd700Bytes, "700 MB");

    ripAgain("CD 1300", "1300", true);
    EXPECT_EQ(form->DivFR.text(), "1351");
    expectPartsFit(out + "CD_1300.avi", out + "CD_13002.avi", Cd650Bytes, "1300 MB");

    ripAgain("CD 1400", "1400", true);
    EXPECT_EQ(form->DivFR.text(), "1465");
    expectPartsFit(out + "CD_1400.avi", out + "CD_14002.avi", Cd700Bytes, "1400 MB");
}

} // namespace
} // namespace kes::test
