// The DivX codec drivers through the installable-compressor interface: what they are found as, and
// what FFmpeg reads from the streams they make.

#include "outside/divx_codec/codec_settings.h"
#include "platform/core/registry.h"
#include "platform/vfw/video_compressor.h"
#include "tests/outside/divx_codec/clip_util.h"
#include "tests/support/program_folder.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kes::test {
namespace {

namespace vfw = platform::vfw;

constexpr int Width = 320;
constexpr int Height = 240;

class Compressor : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string system = (builtProgramDir() / "system").string();
        setenv("KESTROVA_SYSTEM_DIR", system.c_str(), 1);
    }
    void TearDown() override { unsetenv("KESTROVA_SYSTEM_DIR"); }

    std::unique_ptr<vfw::VideoCompressor> open(const char* fourcc) {
        std::string error;
        auto c =
            vfw::VideoCompressor::open(vfw::mmioFOURCC(fourcc[0], fourcc[1], fourcc[2], fourcc[3]), error);
        EXPECT_TRUE(c) << error;
        return c;
    }
    void set(vfw::VideoCompressor& c, const std::string& id, const std::string& value) {
        std::string error;
        ASSERT_TRUE(c.setControl(id, value, error)) << error;
    }
    ProbedClip roundTrip(const EncodedClip& clip, uint32_t handler, int sceneEvery = 0) {
        const std::string path = dir_.file("clip.avi");
        EXPECT_TRUE(writeClipAvi(path, clip, handler));
        return probeAvi(path, sceneEvery);
    }

    TempDir dir_{"kes-codec"};
};

TEST_F(Compressor, DriversAreFoundByFileAndFourCC) {
    const auto all = vfw::listCompressors();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].file, "divx.dll");
    EXPECT_EQ(all[0].description.rfind("DivX Codec 4.", 0), 0u);
    EXPECT_EQ(all[1].description, "DivX ;-) MPEG-4 Low-Motion");
    EXPECT_EQ(all[2].description, "DivX ;-) MPEG-4 Fast-Motion");

    auto divx = open("divx"); // any letter case
    ASSERT_TRUE(divx);
    EXPECT_EQ(divx->info().file, "divx.dll");
    auto div3 = open("DIV3");
    ASSERT_TRUE(div3);
    EXPECT_EQ(div3->info().file, "divxc32.dll");

    std::string error;
    auto fast = vfw::VideoCompressor::openFile("DIVXC32F.DLL", error);
    ASSERT_TRUE(fast) << error;
    EXPECT_EQ(fast->handler(), vfw::mmioFOURCC('D', 'I', 'V', '3'));
    EXPECT_FALSE(vfw::VideoCompressor::open(vfw::mmioFOURCC('X', 'V', 'I', 'D'), error));
    EXPECT_NE(error.find("XVID"), std::string::npos);
}

TEST_F(Compressor, DivX4OnePassMakesAStreamFFmpegReads) {
    auto c = open("DIVX");
    ASSERT_TRUE(c);
    set(*c, "ED00", "600");
    set(*c, "ED06", "50");
    const EncodedClip clip = encodeClip(*c, 150, Width, Height);
    ASSERT_EQ(clip.error, "");
    EXPECT_EQ(clip.format.biCompression, vfw::mmioFOURCC('D', 'I', 'V', 'X'));
    EXPECT_EQ(clip.format.biWidth, Width);
    const ProbedClip probe = roundTrip(clip, c->handler());
    ASSERT_TRUE(probe.opened);
    EXPECT_EQ(probe.codecName, "mpeg4");
    EXPECT_EQ(probe.codecTag, vfw::mmioFOURCC('D', 'I', 'V', 'X'));
    EXPECT_EQ(probe.packets, 150);
    EXPECT_EQ(probe.decoded, 150);
    EXPECT_EQ(probe.decodeErrors, 0);
    EXPECT_EQ(probe.keyFrames, (std::vector<int>{0, 50, 100}));
    EXPECT_GT(probe.psnrLuma, 28.0);
    EXPECT_NEAR(clipKbps(clip), 600.0, 60.0);
}

TEST_F(Compressor, DivX4TwoPassHitsTheBitRate) {
    const std::string log = dir_.file("movie.log");
    for (int kbps : {300, 450, 900}) {
        for (const char* mode : {"2-pass, first pass", "2-pass, second pass"}) {
            auto c = open("DIVX");
            ASSERT_TRUE(c);
            set(*c, "ED00", std::to_string(kbps));
            set(*c, "ED06", "250");
            set(*c, "CB01", mode);
            set(*c, "ED07", log);
            const EncodedClip clip = encodeClip(*c, 250, Width, Height, vfw::InputFormat::YV12, 60);
            ASSERT_EQ(clip.error, "") << mode;
            if (std::string(mode).find("second") == std::string::npos) {
                EXPECT_FALSE(readBytes(log).empty());
                continue;
            }
            EXPECT_NEAR(clipKbps(clip), kbps, kbps * 0.01) << kbps;
            if (kbps == 450) {
                const ProbedClip probe = roundTrip(clip, c->handler(), 60);
                EXPECT_EQ(probe.decoded, 250);
                EXPECT_EQ(probe.decodeErrors, 0);
            }
        }
    }
}

TEST_F(Compressor, AFirstPassStoppedHalfWayLeavesNoLog) {
    const std::string log = dir_.file("stopped.log");
    {
        auto c = open("DIVX");
        ASSERT_TRUE(c);
        set(*c, "CB01", "2-pass, first pass");
        set(*c, "ED07", log);
        vfw::CompressorInput input;
        input.width = Width;
        input.height = Height;
        std::string error;
        ASSERT_TRUE(c->begin(input, error)) << error;
        const Yuv420 p = syntheticPicture(0, Width, Height);
        vfw::InputPicture picture;
        picture.data[0] = p.y.data();
        picture.data[1] = p.u.data();
        picture.data[2] = p.v.data();
        picture.stride[0] = Width;
        picture.stride[1] = picture.stride[2] = Width / 2;
        vfw::CompressedFrame frame;
        ASSERT_TRUE(c->compress(picture, frame, error)) << error;
        EXPECT_TRUE(frame.keyFrame);
    }
    EXPECT_FALSE(std::filesystem::exists(log));
}

TEST_F(Compressor, SecondPassWithoutItsLogIsRefused) {
    auto c = open("DIVX");
    ASSERT_TRUE(c);
    set(*c, "CB01", "2-pass, second pass");
    set(*c, "ED07", dir_.file("absent.log"));
    vfw::CompressorInput input;
    input.width = Width;
    input.height = Height;
    std::string error;
    EXPECT_FALSE(c->begin(input, error));
    EXPECT_NE(error.find("absent.log"), std::string::npos);
}

TEST_F(Compressor, DivX3KeyFramesInSecondsAndItsBitRate) {
    for (const char* fourccFile : {"divxc32.dll", "divxc32f.dll"}) {
        std::string error;
        auto c = vfw::VideoCompressor::openFile(fourccFile, error);
        ASSERT_TRUE(c) << error;
        set(*c, "ED00", "2");
        set(*c, "SB00", "80");
        set(*c, "SB01", "700");
        const EncodedClip clip = encodeClip(*c, 125, Width, Height);
        ASSERT_EQ(clip.error, "");
        const ProbedClip probe = roundTrip(clip, c->handler());
        EXPECT_EQ(probe.codecName, "msmpeg4v3") << fourccFile;
        EXPECT_EQ(probe.codecTag, vfw::mmioFOURCC('D', 'I', 'V', '3'));
        EXPECT_EQ(probe.decoded, 125);
        EXPECT_EQ(probe.decodeErrors, 0);
        EXPECT_EQ(probe.keyFrames, (std::vector<int>{0, 50, 100})) << fourccFile;
        EXPECT_NEAR(clipKbps(clip), 700.0, 105.0) << fourccFile;
    }
}

// MS-MPEG-4 v3 has one quantizer per picture: whatever the crispness, FFmpeg must read every block
// with the quantizer it was coded with, so it logs nothing (damaged blocks show only in its log).
TEST_F(Compressor, DivX3DecodesCleanAtEveryCrispnessAndRate) {
    for (const char* file : {"divxc32.dll", "divxc32f.dll"})
        for (const char* crispness : {"0", "30", "50", "85", "100"})
            for (const char* kbps : {"16", "300", "900", "20000"}) {
                std::string error;
                auto c = vfw::VideoCompressor::openFile(file, error);
                ASSERT_TRUE(c) << error;
                set(*c, "ED00", "1");
                set(*c, "SB00", crispness);
                set(*c, "SB01", kbps);
                const EncodedClip clip = encodeClip(*c, 40, Width, Height, vfw::InputFormat::YV12, 15);
                ASSERT_EQ(clip.error, "");
                const ProbedClip probe = roundTrip(clip, c->handler(), 15);
                const std::string where = std::string(file) + " crispness " + crispness + " at " + kbps;
                EXPECT_EQ(probe.decoded, 40) << where;
                EXPECT_EQ(probe.decodeErrors, 0) << where;
                EXPECT_EQ(probe.errorMessages, 0) << where << ": " << probe.firstMessage;
            }
}

// The same for DivX 4 over what its settings page allows: every effort level, the quantizer range's
// ends, the quality-based mode's ends and both passes.
TEST_F(Compressor, DivX4DecodesCleanAtEveryEffortQuantizerAndMode) {
    namespace reg = platform::core::registry;
    constexpr auto User = platform::core::RootKey::CurrentUser;
    struct Case {
        uint32_t quality, minQ, maxQ, vbrQuality;
        const char* mode;
        const char* kbps;
    };
    const std::string log = dir_.file("clean.log");
    const Case cases[] = {
        {1, 2, 31, 85, "1-pass", "300"},
        {2, 2, 31, 85, "1-pass", "20000"},
        {3, 1, 1, 85, "1-pass", "900"},
        {4, 31, 31, 85, "1-pass", "900"},
        {5, 1, 31, 85, "1-pass", "16"},
        {5, 2, 31, 0, "1-pass quality-based", "900"},
        {5, 1, 31, 100, "1-pass quality-based", "900"},
        {5, 2, 31, 85, "2-pass, first pass", "900"},
        {5, 2, 31, 85, "2-pass, second pass", "900"},
        {1, 2, 31, 85, "2-pass, first pass", "16"},
        {1, 2, 31, 85, "2-pass, second pass", "16"},
    };
    for (const Case& k : cases) {
        reg::writeDword(User, divx_codec::RegistryKey, "Quality", k.quality);
        reg::writeDword(User, divx_codec::RegistryKey, "Min Quantizer", k.minQ);
        reg::writeDword(User, divx_codec::RegistryKey, "Max Quantizer", k.maxQ);
        reg::writeDword(User, divx_codec::RegistryKey, "VBR Quality", k.vbrQuality);
        auto c = open("DIVX");
        ASSERT_TRUE(c);
        set(*c, "ED00", k.kbps);
        set(*c, "ED06", "25");
        set(*c, "CB01", k.mode);
        set(*c, "ED07", log);
        const EncodedClip clip = encodeClip(*c, 40, Width, Height, vfw::InputFormat::YV12, 15);
        ASSERT_EQ(clip.error, "");
        const ProbedClip probe = roundTrip(clip, c->handler(), 15);
        const std::string where = std::string(k.mode) + " quality " + std::to_string(k.quality) + " q " +
                                  std::to_string(k.minQ) + ".." + std::to_string(k.maxQ) + " at " + k.kbps;
        EXPECT_EQ(probe.decoded, 40) << where;
        EXPECT_EQ(probe.decodeErrors, 0) << where;
        EXPECT_EQ(probe.errorMessages, 0) << where << ": " << probe.firstMessage;
    }
    reg::deleteKey(User, divx_codec::RegistryKey);
}

// The pixel aspect handed in is what a player reads from the MPEG-4 stream: a 16:9 PAL picture kept
// at 720x576 has pixels of 64:45, and terms too large for the stream are brought to the nearest
// fraction that fits. Square or unknown pixels store nothing.
TEST_F(Compressor, DivX4StreamCarriesThePixelAspect) {
    struct Case {
        uint32_t num, den;
        int wantNum, wantDen;
    };
    for (const Case& k : {Case{64, 45, 64, 45}, Case{128, 90, 64, 45}, Case{44, 45, 44, 45},
                          Case{2048, 2000, 128, 125}, Case{1, 1, 1, 1}, Case{0, 0, 1, 1}, Case{5, 0, 1, 1}}) {
        auto c = open("DIVX");
        ASSERT_TRUE(c);
        const EncodedClip clip = encodeClip(*c, 3, Width, Height, vfw::InputFormat::YV12, 0, k.num, k.den);
        ASSERT_EQ(clip.error, "");
        const ProbedClip probe = roundTrip(clip, c->handler());
        EXPECT_EQ(probe.aspectNum, k.wantNum) << k.num << "/" << k.den;
        EXPECT_EQ(probe.aspectDen, k.wantDen) << k.num << "/" << k.den;
    }
}

TEST_F(Compressor, PackedColourFormatsKeepThePicture) {
    for (auto format : {vfw::InputFormat::RGB24, vfw::InputFormat::YUY2}) {
        auto c = open("DIVX");
        ASSERT_TRUE(c);
        set(*c, "ED00", "1500");
        const EncodedClip clip = encodeClip(*c, 20, Width, Height, format);
        ASSERT_EQ(clip.error, "");
        const ProbedClip probe = roundTrip(clip, c->handler());
        EXPECT_EQ(probe.decoded, 20);
        // The RGB round trip loses a little to the two colour conversions; a wrong byte order or a
        // picture upside down would fall far below this.
        EXPECT_GT(probe.psnrLuma, 26.0) << static_cast<int>(format);
    }
}

TEST_F(Compressor, OwnDecompressionGivesThePictureBack) {
    auto c = open("DIV3");
    ASSERT_TRUE(c);
    set(*c, "SB01", "2000");
    const EncodedClip clip = encodeClip(*c, 5, Width, Height);
    ASSERT_EQ(clip.error, "");
    std::string error;
    ASSERT_TRUE(c->beginDecompress(Width, Height, error)) << error;
    std::vector<uint8_t> bgr;
    for (const auto& f : clip.frames)
        ASSERT_TRUE(c->decompress(f.data.data(), f.data.size(), bgr, error)) << error;
    const std::vector<uint8_t> want = toBgr24(syntheticPicture(4, Width, Height));
    double err = 0;
    for (size_t i = 0; i < want.size(); ++i)
        err += std::abs(static_cast<int>(want[i]) - static_cast<int>(bgr[i]));
    EXPECT_LT(err / static_cast<double>(want.size()), 12.0);
    c->endDecompress();
}

TEST_F(Compressor, BadSizesAndControlValuesAreRefused) {
    auto c = open("DIVX");
    ASSERT_TRUE(c);
    std::string error;
    vfw::CompressorInput odd;
    odd.width = 321;
    odd.height = 240;
    EXPECT_FALSE(c->begin(odd, error));
    EXPECT_NE(error.find("321x240"), std::string::npos);
    EXPECT_FALSE(c->setControl("ED00", "fast", error));
    EXPECT_FALSE(c->setControl("CB01", "3-pass", error));
    EXPECT_FALSE(c->setControl("SB00", "50", error)); // a DivX 3 control
    EXPECT_TRUE(c->setControl("CB01", "1-pass quality-based", error));
    EXPECT_EQ(c->control("CB01"), "1-pass quality-based");

    auto d3 = open("DIV3");
    ASSERT_TRUE(d3);
    EXPECT_TRUE(d3->setControl("SB00", "250", error)); // a slider stops at its end
    EXPECT_EQ(d3->control("SB00"), "100");
    const auto controls = d3->controls();
    ASSERT_EQ(controls.size(), 3u);
    EXPECT_EQ(controls[1].maximum, 100);
}

} // namespace
} // namespace kes::test

namespace kes::test {
namespace {

// The files the main program's start-up and codec checks look for, under those names (the checks
// find files without regard to case, the rip runs "divxauto.exe" and "delayer.exe" as spelt here).
TEST(CodecFiles, TheProgramFolderHoldsThemUnderTheCheckedNames) {
    const auto program = builtProgramDir();
    for (const char* file : {"system/divx.dll", "system/divxc32.dll", "system/divxc32f.dll",
                             "extern/divxauto.exe", "extern/delayer.exe"})
        EXPECT_TRUE(std::filesystem::is_regular_file(program / file)) << file;
}

} // namespace
} // namespace kes::test
