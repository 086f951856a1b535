// Golden command lines of the converters, the preview programs, the AC3 decoder and the codec
// automation, byte for byte.
#include "kes/converter_command.h"

#include "platform/core/text.h"

#include <gtest/gtest.h>

namespace kes {
namespace {

constexpr const char* Extern = "/prog/extern/";

ConverterSettings plain() {
    ConverterSettings s;
    s.vobFile = "/dvd/VIDEO_TS/VTS_01_1.VOB";
    s.aviFile = "/out/movie.avi";
    return s;
}

// The items between the list and the output folder of a converter line.
std::string itemsOf(const ConverterSettings& s) {
    const std::string line = converterLine(s, Extern);
    const std::string head = "\"/dvd/VIDEO_TS/vob.lst\" -a ";
    const size_t start = line.find(head);
    const size_t end = line.rfind("\"/out\"");
    if (start == std::string::npos || end == std::string::npos || end < start + head.size())
        return "<malformed: " + line + ">";
    return line.substr(start + head.size(), end - start - head.size());
}

TEST(ConverterLine, ProgramChosenByTheFirstMatch) {
    ConverterSettings s = plain();
    EXPECT_EQ(converterLine(s, Extern),
              "/prog/extern/mpeg2avipx3.exe -b \"/dvd/VIDEO_TS/vob.lst\" -a \"/out\"");
    s.px3gui = true;
    EXPECT_EQ(converterLine(s, Extern), "/prog/extern/m2apx3g.exe -b \"/dvd/VIDEO_TS/vob.lst\" -a \"/out\"");
    s.dual = true;
    EXPECT_EQ(converterLine(s, Extern),
              "/prog/extern/m2apx3go.exe -b \"/dvd/VIDEO_TS/vob.lst\" -a -7 \"/out\"");
    // Forced deinterlacing wins over everything and still carries the dual item.
    s.forceDeint = true;
    EXPECT_EQ(converterLine(s, Extern),
              "/prog/extern/mpeg2aviSVE.exe -b \"/dvd/VIDEO_TS/vob.lst\" -a -df -7 \"/out\"");
}

TEST(ConverterLine, EveryItemInItsPlace) {
    ConverterSettings s = plain();
    s.px3gui = true;
    s.range = true;
    s.rangeStart = 60;
    s.rangeEnd = 120;
    s.fps = "25";
    s.postFilter = "High Quality";
    s.refQuality = "32-bit MMX32 IDCT";
    s.crop = true;
    s.xCrop = "640";
    s.yCrop = "352";
    s.halfres = true;
    s.downX = true;
    s.xSize = "720";
    s.downY = true;
    s.ySize = "400";
    s.ivtc = true;
    s.ivtcNb = "2";
    s.output = "AVI - YV12 - 4:2:0 ";
    EXPECT_EQ(converterLine(s, Extern),
              "/prog/extern/m2apx3g.exe -b \"/dvd/VIDEO_TS/vob.lst\" -a -# 1500 3000 "
              "-f2 -q0 -r1 -1 640 352 -2 -3X 720 -3Y 400 -s2 -o8 \"/out\"");
}

TEST(ConverterLine, FrameRates) {
    const std::pair<const char*, const char*> cases[] = {{"23.976", "-f5 "}, {"24", "-f3 "}, {"25", "-f2 "},
                                                         {"29.970", "-f6 "}, {"30", "-f4 "}, {"", ""}};
    for (const auto& [fps, item] : cases) {
        ConverterSettings s = plain();
        s.fps = fps;
        EXPECT_EQ(itemsOf(s), item) << fps;
    }
}

TEST(ConverterLine, PostFiltersIdctsAndOutputs) {
    const std::pair<const char*, const char*> filters[] = {{"High Quality", "-q0 "}, {"Fast", "-q1 "}};
    for (const auto& [text, item] : filters) {
        ConverterSettings s = plain();
        s.postFilter = text;
        EXPECT_EQ(itemsOf(s), item) << text;
    }
    const std::pair<const char*, const char*> idcts[] = {
        {"64-bit D-FPU IDCT", "-r0 "},      {"32-bit MMX32 IDCT", "-r1 "},
        {"16-bit MMX16 Chen IDCT", "-r2 "}, {"16-bit MMX16 AAN IDCT", "-r3 "},
        {"3DNOW AP-922float IDCT", "-r4 "}, {"SSE AP-922float IDCT", "-r5 "},
        {"Fast ASSP-32 iDCT", "-r6 "},      {"64-bit FPU IDCT", "-r7 "}};
    for (const auto& [text, item] : idcts) {
        ConverterSettings s = plain();
        s.refQuality = text;
        EXPECT_EQ(itemsOf(s), item) << text;
    }
    const std::pair<const char*, const char*> outputs[] = {
        {"AVI - RGB24 - 4:4:4", "-o7 "}, {"AVI - YV12 - 4:2:0 ", "-o8 "}, {"AVI - YUY2 - 4:2:2 ", "-o9 "}};
    for (const auto& [text, item] : outputs) {
        ConverterSettings s = plain();
        s.output = text;
        EXPECT_EQ(itemsOf(s), item) << text;
    }
}

TEST(ConverterLine, RangeAtBothFrameRates) {
    ConverterSettings s = plain();
    s.range = true;
    s.rangeStart = 60;
    s.rangeEnd = 120;
    s.fps = "25";
    EXPECT_EQ(itemsOf(s), "-# 1500 3000 -f2 ");
    s.fps = "29.970";
    EXPECT_EQ(itemsOf(s), "-# 1798 3596 -f6 ");
    // Only a text with "25" counts at 25 per second; the others at 29.97, halves to even.
    EXPECT_EQ(frameNumber(50, "23.976"), 1498); // 1498.5
    EXPECT_EQ(frameNumber(150, "30"), 4496);    // 4495.5
    EXPECT_EQ(frameNumber(0, "24"), 0);
}

TEST(ConverterLine, OutputFolderWithoutItsDelimiter) {
    ConverterSettings s = plain();
    s.aviFile = "movie.avi";
    EXPECT_EQ(converterLine(s, Extern), "/prog/extern/mpeg2avipx3.exe -b \"/dvd/VIDEO_TS/vob.lst\" -a \"\"");
    s.aviFile = "/a b/c/movie.avi";
    s.vobFile = "VTS_01_1.VOB";
    EXPECT_EQ(converterLine(s, Extern), "/prog/extern/mpeg2avipx3.exe -b \"vob.lst\" -a \"/a b/c\"");
}

PreviewSettings preview() {
    PreviewSettings p;
    p.video = plain();
    p.video.fps = "25";
    p.video.dual = true; // never in a preview line
    p.video.output = "AVI - YV12 - 4:2:0 ";
    return p;
}

TEST(PreviewLine, ProgramsAndTheirItems) {
    PreviewSettings p = preview();
    EXPECT_EQ(previewLine(p, PreviewKind::AsOptions, Extern).line,
              "/prog/extern/m2aPX3g.exe -b \"/dvd/VIDEO_TS/vob.lst\"  -f2 -o6");
    p.video.forceDeint = true;
    EXPECT_EQ(previewLine(p, PreviewKind::AsOptions, Extern).line,
              "/prog/extern/Mpeg2AviSVE.exe -b \"/dvd/VIDEO_TS/vob.lst\"  -f2 -df -o6");
    p.prevstart = true;
    p.min = "5";
    EXPECT_EQ(previewLine(p, PreviewKind::AsOptions, Extern).line,
              "/prog/extern/mpeg2v12.exe -b \"/dvd/VIDEO_TS/vob.lst\"  -f2 -df  -@ 25000 -o6");
    EXPECT_EQ(previewLine(p, PreviewKind::Adjust, Extern).line,
              "/prog/extern/m2aPX3g.exe -b \"/dvd/VIDEO_TS/vob.lst\"  -f2 -df  -@ 25000 -o6");
}

TEST(PreviewLine, SharesTheConverterItems) {
    PreviewSettings p = preview();
    p.video.range = true;
    p.video.rangeStart = 60;
    p.video.rangeEnd = 120;
    p.video.fps = "29.970";
    p.video.postFilter = "Fast";
    p.video.refQuality = "64-bit FPU IDCT";
    p.video.crop = true;
    p.video.xCrop = "704";
    p.video.yCrop = "400";
    p.video.halfres = true;
    p.video.downX = true;
    p.video.xSize = "512";
    p.video.downY = true;
    p.video.ySize = "384";
    p.video.ivtc = true;
    p.video.ivtcNb = "0";
    const PreviewPlan plan = previewLine(p, PreviewKind::AsOptions, Extern);
    EXPECT_FALSE(plan.rangeUnreadable || plan.rangeReversed);
    EXPECT_EQ(plan.line, "/prog/extern/m2aPX3g.exe -b \"/dvd/VIDEO_TS/vob.lst\"  -# 1798 3596 -f6 -q1 -r7 "
                         "-1 704 400 -2 -3X 512 -3Y 384 -s0 -o6");
}

TEST(PreviewLine, BadRangesAndStarts) {
    PreviewSettings p = preview();
    p.video.range = true;
    p.video.rangeStart = 120;
    p.video.rangeEnd = 60;
    PreviewPlan plan = previewLine(p, PreviewKind::AsOptions, Extern);
    EXPECT_TRUE(plan.rangeReversed);
    EXPECT_EQ(plan.line, "");

    // An unreadable time is reported and the preview runs over the whole title.
    p.video.rangeEnd = -1;
    plan = previewLine(p, PreviewKind::AsOptions, Extern);
    EXPECT_TRUE(plan.rangeUnreadable);
    EXPECT_FALSE(plan.rangeReversed);
    EXPECT_EQ(plan.line, "/prog/extern/m2aPX3g.exe -b \"/dvd/VIDEO_TS/vob.lst\"  -f2 -o6");

    p.video.range = false;
    p.prevstart = true;
    p.min = "1O";
    plan = previewLine(p, PreviewKind::AsOptions, Extern);
    EXPECT_EQ(plan.conversionError, "'1O' is not a valid integer value");
    EXPECT_EQ(plan.line, "");
}

TEST(Ac3DecLine, WithAndWithoutTheOptionalItems) {
    Ac3DecSettings s;
    s.vobFile = "/dvd/VTS_01_1.VOB";
    s.samplerate = "48";
    s.wavFile = "/w/a b.wav";
    EXPECT_EQ(ac3DecLine(s, "0x81"),
              "ac3dec.exe \"/dvd/VTS_01_1.VOB\" -substream 0x81 -overwrite -pcmwav \"/w/a b.wav\"");
    s.ripAll = true;
    s.samplerate = "44.1";
    EXPECT_EQ(
        ac3DecLine(s, "0x80"),
        "ac3dec.exe \"/dvd/VTS_01_1.VOB\" -allvob -substream 0x80 -overwrite -44100  -pcmwav \"/w/a b.wav\"");
    s.samplerate = "44.10"; // only the exact text asks for 44.1 kHz
    EXPECT_EQ(ac3DecLine(s, "0x87"),
              "ac3dec.exe \"/dvd/VTS_01_1.VOB\" -allvob -substream 0x87 -overwrite -pcmwav \"/w/a b.wav\"");
}

AutoDivXSettings autoDivX(const char* codec) {
    AutoDivXSettings s;
    s.startDir = "/prog";
    s.codec = codec;
    s.rate = "653";
    s.kframe = "10";
    s.crisp = "100";
    s.d4vbr = "1-pass";
    s.aviFile = "/out/movie.avi";
    s.finalFile = "/final/Big Film.AVI";
    return s;
}

TEST(AutoDivXLine, DivX3Codecs) {
    EXPECT_EQ(
        autoDivXLine(autoDivX("Low Motion")),
        "/prog/extern/divxauto.exe WI00:ICCompressorChoose \"CB00:DivX ;-) MPEG-4 Low-Motion\" BT04: WI01: "
        "ED00:10 SB00:100 SB01:653 BT05: WI00: BT02: QU00:");
    AutoDivXSettings s = autoDivX("Fast Motion");
    s.kframe = "not a number"; // taken as it stands
    EXPECT_EQ(autoDivXLine(s),
              "/prog/extern/divxauto.exe WI00:ICCompressorChoose \"CB00:DivX ;-) MPEG-4 "
              "Fast-Motion\" BT04: WI01: ED00:not a number SB00:100 SB01:653 BT05: WI00: BT02: QU00:");
}

TEST(AutoDivXLine, DivX4Codec) {
    EXPECT_EQ(autoDivXLine(autoDivX("DivX 4.x")),
              "/prog/extern/divxauto.exe WI00:ICCompressorChoose \"CB00:DivX Codec 4.\" BT04: WI01: ED00:653 "
              "ED06:250 \"CB01:1-pass\"  \"ED07:/out/Big Film.log\" BT00: WI00: BT02: QU00:");
    AutoDivXSettings s = autoDivX("DivX 4.x");
    s.kframe = "9999";
    s.d4vbr = "2-pass, first pass";
    s.finalFile = "/f/x.Avi.part.avi";
    EXPECT_EQ(
        autoDivXLine(s),
        "/prog/extern/divxauto.exe WI00:ICCompressorChoose \"CB00:DivX Codec 4.\" BT04: WI01: ED00:653 "
        "ED06:249975 \"CB01:2-pass, first pass\"  \"ED07:/out/x.part.avi.log\" BT00: WI00: BT02: QU00:");
    s.kframe = "1O";
    EXPECT_THROW(autoDivXLine(s), platform::core::ConvertError);
}

} // namespace
} // namespace kes
