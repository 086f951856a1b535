// The report of a finished rip: its exact text for known records, the label columns, the length
// warnings, the log file's name, the encoding speed and what the report step does at its end.
#include "kes/rip_report.h"

#include "platform/core/clock.h"

#include <gtest/gtest.h>

namespace kes {
namespace {

using platform::core::encodeDateTime;

// A label in its 40-character column.
std::string col(const std::string& label) {
    return label + std::string(ReportLabelWidth - label.size(), ' ');
}

class ReportTest : public ::testing::Test {
protected:
    ReportTest() {
        const std::pair<int, const char*> texts[] = {{3, "Video encoding time"}, {4, "Encoding speed (fps)"},
                                                     {5, "Audio extraction"},    {6, "Normalisation"},
                                                     {7, "Compression"},         {8, "WAV length"},
                                                     {9, "Compressed length"},   {10, "LENGTHS DIFFER"},
                                                     {11, "WAV 2 length"},       {12, "Compressed 2 length"},
                                                     {13, "Mux time"},           {14, "Video length"},
                                                     {15, "Audio length"},       {16, "MUX LENGTHS DIFFER"},
                                                     {17, "Audio 2 length"},     {18, "NO LOGO CLIP"},
                                                     {19, "Total time"},         {50, " free before"},
                                                     {51, " free after"}};
        for (const auto& [n, text] : texts)
            messages.set(n, text);
        c.profileName = "Matrix";
        c.description = "1CD-PAL-512x208-MP3/48/128- DivX 3";
        c.secondStreamHeading = "2nd audio";
        r.RipStart = at(10, 0, 0);
        r.RipEnd = at(11, 30, 15);
        r.LogoClipOk = true;
    }
    static platform::core::DateTime at(int h, int m, int s) { return encodeDateTime(2026, 3, 14, h, m, s); }
    void freeSpace(FreeSlot slot, const std::string& before, const std::string& after) {
        r.freeBefore(slot) = before;
        r.freeAfter(slot) = after;
    }
    std::string freePair(const std::string& before, const std::string& after) {
        return col("... free before") + before + "\r\n" + col("... free after") + after + "\r\n";
    }
    std::string report() { return buildRipReport(c, r, messages); }

    TextTable messages;
    ReportChoices c;
    TRipRecord r;
};

TEST_F(ReportTest, VideoOnlyRip) {
    c.ripVid = true;
    c.encodingSpeed = "24.3";
    r.VideoStart = at(10, 0, 0);
    r.VideoEnd = at(11, 2, 3);
    freeSpace(FreeSlot::Video, "/home => 9000.50 Mb ", "/home => 8300.25 Mb ");
    EXPECT_EQ(report(), "Matrix\r\n1CD-PAL-512x208-MP3/48/128- DivX 3\r\n" + col("Video encoding time") +
                            "01:02:03\r\n" + col("Encoding speed (fps)") + "24.3\r\n" +
                            freePair("/home => 9000.50 Mb ", "/home => 8300.25 Mb ") + "\r\n" +
                            col("Total time") + "01:30:15");

    // The profile "None" is left out; DivX Auto adds the codec line and an empty line.
    c.profileName = "None";
    c.divxAuto = true;
    c.divFR = "812";
    c.kframe = "10";
    c.crisp = "100";
    EXPECT_TRUE(
        report().starts_with("1CD-PAL-512x208-MP3/48/128- DivX 3\r\nBitrate = 812 / KF = 10 / Crispness "
                             "= 100\r\n\r\n" +
                             col("Video encoding time")));
}

TEST_F(ReportTest, EveryStepWithTwoStreams) {
    c.ripAudio = c.twostreams = c.normal = c.norm2Other = c.compress = c.merge = true;
    r.AudioStart = at(10, 0, 0);
    r.AudioEnd = at(10, 5, 0);
    r.NormStart = at(10, 5, 0);
    r.NormEnd = at(10, 6, 1);
    r.CompStart = at(10, 6, 1);
    r.CompEnd = at(10, 16, 1);
    r.MergeStart = at(10, 16, 1);
    r.MergeEnd = at(10, 20, 0);
    r.CompSource1 = 100;
    r.CompTarget1 = 100.1;
    r.CompSource2 = 100;
    r.CompTarget2 = 100.2;
    r.MuxVideoLen = 6000.04;
    r.MuxAudioLen = 6000.2;
    r.Mux2AudioLen = 6000;
    r.Mux2Ran = true;
    r.LogoClipOk = false;
    const FreeSlot slots[] = {FreeSlot::Audio1, FreeSlot::Audio2, FreeSlot::Norm1, FreeSlot::Norm2,
                              FreeSlot::Comp1,  FreeSlot::Comp2,  FreeSlot::Mux,   FreeSlot::Mux2};
    for (const FreeSlot slot : slots) {
        const std::string n = std::to_string(static_cast<int>(slot));
        freeSpace(slot, "b" + n, "a" + n);
    }
    const std::string expected =
        "Matrix\r\n1CD-PAL-512x208-MP3/48/128- DivX 3\r\n" + col("Audio extraction") + "00:05:00\r\n" +
        freePair("b0", "a0") + "2nd audio\r\n" + freePair("b1", "a1") + col("Normalisation") +
        "00:01:01\r\n" + freePair("b2", "a2") + "2nd audio\r\n" + freePair("b3", "a3") + col("Compression") +
        "00:10:00\r\n" + col("WAV length") + "100 sec.\r\n" + col("Compressed length") + "100.1 sec.\r\n" +
        col("WAV 2 length") + "100 sec.\r\n" + col("Compressed 2 length") +
        "100.2 sec.\r\nLENGTHS DIFFER\r\n" + freePair("b4", "a4") + "2nd audio\r\n" + freePair("b5", "a5") +
        col("Mux time") + "00:03:59\r\n" + col("Video length") + "6000.04 sec.\r\n" + col("Audio length") +
        "6000.2 sec.\r\nMUX LENGTHS DIFFER\r\n" + col("Audio 2 length") + "6000 sec.\r\n" +
        freePair("b7", "a7") + "2nd audio\r\n" + freePair("b8", "a8") + "NO LOGO CLIP\r\n\r\n" +
        col("Total time") + "01:30:15";
    EXPECT_EQ(report(), expected);
}

TEST_F(ReportTest, LengthWarnings) {
    c.compress = c.merge = true;
    r.LogoClipOk = true;
    const auto count = [this](const std::string& warning) {
        const std::string text = report();
        size_t n = 0;
        for (size_t at = text.find(warning); at != std::string::npos; at = text.find(warning, at + 1))
            ++n;
        return n;
    };
    r.CompSource1 = 100;
    r.CompTarget1 = 100.1;
    EXPECT_EQ(count("LENGTHS DIFFER\r\n"), 0u);
    r.CompTarget1 = 100.2;
    EXPECT_EQ(count("\r\nLENGTHS DIFFER\r\n"), 1u);
    r.CompTarget1 = 99.8;
    EXPECT_EQ(count("\r\nLENGTHS DIFFER\r\n"), 1u);
    // Exactly 0.15 s apart is within the limit on either side, whatever the binary fractions make
    // of the difference (10.15 - 10.00 is a little above 0.15 in doubles, 0.3 - 0.15 a little below).
    for (const auto& [source, target] :
         {std::pair{10.0, 10.15}, std::pair{10.15, 10.0}, std::pair{0.3, 0.15}, std::pair{5999.85, 6000.0}}) {
        r.CompSource1 = source;
        r.CompTarget1 = target;
        EXPECT_EQ(count("LENGTHS DIFFER\r\n"), 0u) << source << " " << target;
    }
    r.CompSource1 = 10.0;
    r.CompTarget1 = 10.16;
    EXPECT_EQ(count("\r\nLENGTHS DIFFER\r\n"), 1u);
    r.CompSource1 = 100;
    r.CompTarget1 = 99.8;

    // A range converts part of the WAV: no compression warning, but the mux still warns.
    c.audioRange = true;
    r.MuxVideoLen = 50;
    r.MuxAudioLen = 40;
    EXPECT_EQ(count("\r\nLENGTHS DIFFER\r\n"), 0u);
    EXPECT_EQ(count("MUX LENGTHS DIFFER"), 1u);

    // The second stream's mux length is held against the video.
    c.twostreams = true;
    r.Mux2Ran = true;
    r.MuxAudioLen = 50.1;
    r.Mux2AudioLen = 49.8;
    EXPECT_EQ(count("MUX LENGTHS DIFFER"), 1u);
    EXPECT_EQ(count("NO LOGO CLIP"), 0u);

    // Without a split the second stream had no mux of its own: no length, no warning, no free space.
    r.Mux2Ran = false;
    EXPECT_EQ(count("MUX LENGTHS DIFFER"), 0u);
    EXPECT_EQ(report().find("Audio 2 length"), std::string::npos);
}

TEST(ReportLabelTest, PadsAndCutsToTheValueColumn) {
    EXPECT_EQ(PadLabel("Time", 40), "Time" + std::string(36, ' '));
    EXPECT_EQ(PadLabel("", 40), std::string(40, ' '));
    const std::string longLabel = "A label that is far longer than the forty columns";
    EXPECT_EQ(PadLabel(longLabel, 40), longLabel.substr(0, 40));
    // Accented characters count once and are never split.
    const std::string accented = "Durée de l'encodage vidéo, étape première";
    const std::string padded = PadLabel(accented, 40);
    EXPECT_EQ(padded, "Durée de l'encodage vidéo, étape premièr");
    EXPECT_EQ(PadLabel("Durée", 10), "Durée     ");
}

TEST(ReportLogFileTest, SeparatorsOfTheNameBecomeUnderscores) {
    EXPECT_EQ(logFilePath("/opt/kes/logs/", "Matrix", "03/14/26", "10:05:00"),
              "/opt/kes/logs/Matrix_D03_14_26_T10_05_00.log");
    EXPECT_EQ(logFilePath("/opt/kes/logs/", "A:B/C", "14.03.2026", "10:05:00"),
              "/opt/kes/logs/A_B_C_D14.03.2026_T10_05_00.log");
}

TEST(ReportEndTest, ShutdownWinsThenMultiRipShowsNothing) {
    EXPECT_EQ(reportEnd(true, false), ReportEnd::Shutdown);
    EXPECT_EQ(reportEnd(true, true), ReportEnd::Shutdown);
    EXPECT_EQ(reportEnd(false, true), ReportEnd::Nothing);
    EXPECT_EQ(reportEnd(false, false), ReportEnd::ShowBox);
}

TEST(EncodingSpeedTest, FramesOverWholeSecondsOfTheRip) {
    const auto start = encodeDateTime(2026, 3, 14, 10, 0, 0);
    const auto end = encodeDateTime(2026, 3, 14, 10, 1, 40);
    EXPECT_EQ(encodingSpeedText(2500u, "25", start, end), "25.0");
    EXPECT_EQ(encodingSpeedText(1234u, "25", start, end), "12.3");
    // A film-rate source is counted at 29.97 fps: 1000 frames count as 1250.
    EXPECT_EQ(encodingSpeedText(1000u, "23.976", start, end), "12.5");
    EXPECT_EQ(encodingSpeedText(std::nullopt, "25", start, end), "");
    // A rip of less than a second has no speed.
    EXPECT_EQ(encodingSpeedText(1000u, "25", start, start), "");
}

} // namespace
} // namespace kes
