// The converter's command line, sizes, frame-rate mapping and "m2a.bat" line, without running it.

#include "outside/mpeg2avi/adjust_file.h"
#include "outside/mpeg2avi/geometry.h"
#include "outside/mpeg2avi/options.h"

#include <gtest/gtest.h>

namespace mpeg2avi {
namespace {

ConvertOptions parsed(const std::vector<std::string>& items, Variant variant = Variant::Px3) {
    ConvertOptions o;
    std::string error;
    EXPECT_TRUE(parseOptions(variant, items, o, error)) << error;
    return o;
}

std::string refused(const std::vector<std::string>& items) {
    ConvertOptions o;
    std::string error;
    EXPECT_FALSE(parseOptions(Variant::Px3, items, o, error));
    return error;
}

TEST(ConverterOptions, TheRipsLineWithEveryItem) {
    const ConvertOptions o =
        parsed({"-b",  "/v/vob.lst", "-a",  "-#",  "1500", "3000", "-f5", "-q0", "-r3", "-1",  "512",
                "208", "-2",         "-3X", "512", "-3Y",  "272",  "-df", "-s2", "-7",  "-o9", "/w/Wtemp"});
    EXPECT_EQ(o.list, "/v/vob.lst");
    EXPECT_TRUE(o.noAudio);
    EXPECT_EQ(o.firstFrame, 1500);
    EXPECT_EQ(o.lastFrame, 3000);
    EXPECT_EQ(o.rate, (FrameRate{24000, 1001}));
    EXPECT_EQ(o.postFilter, PostFilter::HighQuality);
    EXPECT_EQ(o.idct, 3);
    EXPECT_EQ(o.cropWidth, 512);
    EXPECT_EQ(o.cropHeight, 208);
    EXPECT_TRUE(o.halfRes);
    EXPECT_EQ(o.width, 512);
    EXPECT_EQ(o.height, 272);
    EXPECT_TRUE(o.deinterlace);
    EXPECT_EQ(o.ivtc, 2);
    EXPECT_TRUE(o.dual);
    EXPECT_EQ(o.colour, ColourFormat::YUY2);
    EXPECT_EQ(o.outputFolder, "/w/Wtemp");
    EXPECT_FALSE(o.preview);
}

TEST(ConverterOptions, ThePreviewLineNeedsNoFolder) {
    const ConvertOptions o = parsed({"-b", "/v/vob.lst", "-f6", "-q1", "-@", "15000", "-o6"}, Variant::V12);
    EXPECT_TRUE(o.preview);
    EXPECT_EQ(o.startSector, 15000);
    EXPECT_EQ(o.rate, (FrameRate{30000, 1001}));
    EXPECT_EQ(o.postFilter, PostFilter::Fast);
    EXPECT_TRUE(o.outputFolder.empty());
}

TEST(ConverterOptions, RatesAndColourFormats) {
    EXPECT_EQ(parsed({"-b", "l", "-f2", "o"}).rate, (FrameRate{25, 1}));
    EXPECT_EQ(parsed({"-b", "l", "-f3", "o"}).rate, (FrameRate{24, 1}));
    EXPECT_EQ(parsed({"-b", "l", "-f4", "o"}).rate, (FrameRate{30, 1}));
    EXPECT_FALSE(parsed({"-b", "l", "o"}).rate.has_value());
    EXPECT_EQ(parsed({"-b", "l", "-o7", "o"}).colour, ColourFormat::RGB24);
    EXPECT_EQ(parsed({"-b", "l", "-o8", "o"}).colour, ColourFormat::YV12);
    EXPECT_EQ(parsed({"-b", "l", "o"}).colour, ColourFormat::YV12);
}

TEST(ConverterOptions, BadLinesAreRefusedWithAReason) {
    EXPECT_NE(refused({"-b", "l", "-x", "o"}).find("\"-x\""), std::string::npos);
    EXPECT_NE(refused({"-b", "l", "-3X", "5l2", "o"}).find("5l2"), std::string::npos);
    EXPECT_NE(refused({"-b", "l", "-1", "512", "o"}).find("-1"), std::string::npos);
    EXPECT_NE(refused({"-b", "l", "-3Y", "0", "o"}).find("-3Y"), std::string::npos);
    EXPECT_NE(refused({"-b", "l", "-#", "30", "10", "o"}).find("holds no frame"), std::string::npos);
    EXPECT_NE(refused({"-b", "l"}).find("output folder"), std::string::npos);
    EXPECT_NE(refused({"o"}).find("-b"), std::string::npos);
    EXPECT_NE(refused({"-b", "l", "o", "p"}).find("one output folder"), std::string::npos);
    EXPECT_FALSE(refused({"-b", "l", "-s", "o"}).empty());
    EXPECT_FALSE(refused({"-b", "l", "-r8", "o"}).empty());
}

TEST(ConverterOptions, ProgramNamesAndTheirOutputs) {
    EXPECT_EQ(variantOfProgram("/p/extern/m2aPX3g.exe"), Variant::Px3Gui);
    EXPECT_EQ(variantOfProgram("Mpeg2AviSVE.exe"), Variant::Sve);
    EXPECT_EQ(variantOfProgram("mpeg2v12"), Variant::V12);
    EXPECT_EQ(variantOfProgram("m2apx3go.exe"), Variant::Px3GuiDual);
    EXPECT_FALSE(variantOfProgram("other.exe"));
    EXPECT_EQ(outputName(parsed({"-b", "l", "o"}), 1), "movie.avi");
    EXPECT_EQ(outputName(parsed({"-b", "l", "o"}, Variant::Px3Gui), 1), "movie_1.avi");
    EXPECT_EQ(outputName(parsed({"-b", "l", "o"}, Variant::Px3GuiDual), 1), "movie_1.avi");
    EXPECT_EQ(outputName(parsed({"-b", "l", "-7", "o"}), 1), "movie_1.avi");
    EXPECT_EQ(outputName(parsed({"-b", "l", "-7", "o"}), 2), "movie_2.avi");
    EXPECT_TRUE(parsed({"-b", "l", "o"}, Variant::Sve).deinterlace);
}

TEST(ConverterGeometry, ResizeThenCropFromTheCentre) {
    std::string note;
    Geometry g = planGeometry(parsed({"-b", "l", "-3X", "512", "-3Y", "272", "-1", "512", "208", "o"}), 720,
                              576, note);
    EXPECT_EQ(g.scaledWidth, 512);
    EXPECT_EQ(g.scaledHeight, 272);
    EXPECT_EQ(g.width, 512);
    EXPECT_EQ(g.height, 208);
    EXPECT_EQ(g.cropX, 0);
    EXPECT_EQ(g.cropY, 32);
    EXPECT_TRUE(note.empty());

    g = planGeometry(parsed({"-b", "l", "-2", "o"}), 720, 576, note);
    EXPECT_EQ(g.width, 360);
    EXPECT_EQ(g.height, 288);

    g = planGeometry(parsed({"-b", "l", "-1", "720", "432", "o"}), 720, 480, note);
    EXPECT_FALSE(g.scaled());
    EXPECT_EQ(g.cropY, 24);

    g = planGeometry(parsed({"-b", "l", "-1", "800", "600", "o"}), 720, 576, note);
    EXPECT_EQ(g.width, 720);
    EXPECT_EQ(g.height, 576);
    EXPECT_NE(note.find("larger"), std::string::npos);

    g = planGeometry(parsed({"-b", "l", "-3X", "511", "o"}), 720, 576, note);
    EXPECT_EQ(g.width, 510);
    EXPECT_EQ(g.height, 576);
}

TEST(ConverterRates, DefaultsFollowTheSource) {
    EXPECT_EQ(outputRate(parsed({"-b", "l", "o"}), {30000, 1001}), (FrameRate{30000, 1001}));
    EXPECT_EQ(outputRate(parsed({"-b", "l", "-s3", "o"}), {30000, 1001}), (FrameRate{24000, 1001}));
    EXPECT_EQ(outputRate(parsed({"-b", "l", "-s3", "-f6", "o"}), {30000, 1001}), (FrameRate{30000, 1001}));
    EXPECT_EQ(frameTime(1500, {25, 1}), 60 * kTicksPerSecond);
}

TEST(AdjustFile, ThreeDigitItemsAndTheirReading) {
    AdjustValues v{640, 352, 16, 8};
    EXPECT_EQ(adjustLine(v), "-3X 640 -3Y 352 -1 016 008");
    EXPECT_EQ(adjustLine({std::nullopt, std::nullopt, 720, 432}), "-1 720 432");
    EXPECT_EQ(adjustLine({}), "");
    AdjustValues read;
    std::string error;
    ASSERT_TRUE(parseAdjustItems("-3X 512 -1 512 208", read, error));
    EXPECT_EQ(read, (AdjustValues{512, std::nullopt, 512, 208}));
    EXPECT_FALSE(parseAdjustItems("-3X 1024", read, error));
    EXPECT_FALSE(parseAdjustItems("-1 512", read, error));
    EXPECT_FALSE(parseAdjustItems("-9 1", read, error));
    EXPECT_EQ(read, (AdjustValues{512, std::nullopt, 512, 208}));
}

} // namespace
} // namespace mpeg2avi
