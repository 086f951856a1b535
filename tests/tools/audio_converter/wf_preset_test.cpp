#include "tools/audio_converter/conversion_pipeline.h"
#include "tools/audio_converter/converter_time.h"
#include "tools/audio_converter/wf_preset.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace tools::audio_converter;
using platform::acm::pcmFormat;
using platform::acm::WaveFormat;

namespace {

struct Row {
    const char* parameter;
    const char* area; // the 30-byte format area, hex
};

// Every row of the table with the bytes its preset string stands for.
const Row Rows[] = {
    {"WF=MP3/S/48/192", "5500020080bb0000c05d0000010000000c00010002000000400201007105"},
    {"WF=MP3/S/48/160", "5500020080bb0000204e0000010000000c00010002000000e00101007105"},
    {"WF=MP3/S/48/128", "5500020080bb0000803e0000010000000c00010002000000800101007105"},
    {"WF=MP3/S/48/112", "5500020080bb0000b0360000010000000c00010002000000500101007105"},
    {"WF=MP3/S/48/96", "5500020080bb0000e02e0000010000000c00010002000000200101007105"},
    {"WF=MP3/S/44.1/192", "5500020044ac0000c05d0000010000000c00010002000000720201007105"},
    {"WF=MP3/S/44.1/160", "5500020044ac0000204e0000010000000c000100020000000a0201007105"},
    {"WF=MP3/S/44.1/128", "5500020044ac0000803e0000010000000c00010002000000a10101007105"},
    {"WF=MP3/S/44.1/112", "5500020044ac0000b0360000010000000c000100020000006d0101007105"},
    {"WF=MP3/S/44.1/96", "5500020044ac0000e02e0000010000000c00010002000000390101007105"},
    {"WF=MP3/S/22.05/64", "5500020022560000401f0000010000000c00010002000000d00001007105"},
    {"WF=MP3/S/22.05/56", "5500020022560000581b0000010000000c00010002000000b60001007105"},
    {"WF=MP3/S/22.05/48", "550002002256000070170000010000000c000100020000009c0001007105"},
    {"WF=MP3/M/48/64", "5500010080bb0000401f0000010000000c00010002000000c00001007105"},
    {"WF=MP3/M/48/56", "5500010080bb0000581b0000010000000c00010002000000a80001007105"},
    {"WF=MP3/M/48/48", "5500010080bb000070170000010000000c00010002000000900001007105"},
    {"WF=MP3/M/44.1/64", "5500010044ac0000401f0000010000000c00010002000000d00001007105"},
    {"WF=MP3/M/44.1/56", "5500010044ac0000581b0000010000000c00010002000000b60001007105"},
    {"WF=MP3/M/44.1/48", "5500010044ac000070170000010000000c000100020000009c0001007105"},
    {"WF=MP3/M/22.05/32", "5500010022560000a00f0000010000000c00010002000000680001007105"},
    {"WF=MP3/M/22.05/24", "55000100803e0000b80b0000010000000c000100020000006c0001007105"},
    {"WF=WMA/S/44.1/64", "6101020044ac00004a1f0000740110000a00000800000100740100000000"},
    {"WF=WMA/S/32/64", "61010200007d0000401f0000000210000a00000800000100000200000000"},
    {"WF=WMA/S/22.05/32", "6101020022560000a50f0000ba0010000a00000400000100ba0000000000"},
    {"WF=WMA/S/22.05/20", "6101020022560000d7090000750010000a00000400000000750000000000"},
    {"WF=WMA/M/32/32", "61010100007d0000a00f0000000110000a00000800000100000100000000"},
    {"WF=WMA/M/22.05/20", "6101010022560000d7090000750010000a00000400000000750000000000"},
    {"WF=WMA/M/22.05/16", "61010100803e0000d0070000400010000a00000200000000400000000000"},
};

std::string hex(const WaveFormat& f) {
    std::string text;
    char digits[3];
    for (uint8_t b : f.toBytes()) {
        std::snprintf(digits, sizeof digits, "%02x", b);
        text += digits;
    }
    return text;
}

std::optional<WaveFormat> formatFor(const std::string& parameter) {
    const auto preset = presetStringFor(splitWfParameter(parameter));
    return preset ? parsePresetString(*preset) : std::nullopt;
}

} // namespace

TEST(WfPreset, EveryRowParsesIntoItsExactBytes) {
    for (const Row& row : Rows) {
        SCOPED_TRACE(row.parameter);
        const auto format = formatFor(row.parameter);
        ASSERT_TRUE(format);
        EXPECT_EQ(hex(*format), row.area);
    }
}

TEST(WfPreset, SixteenKbitRowServesEveryCodecAndMode) {
    const std::string wmaMono16 = Rows[27].area;
    EXPECT_EQ(hex(*formatFor("WF=MP3/S/22.05/16")), wmaMono16);
    EXPECT_EQ(hex(*formatFor("WF=WMA/S/22.05/16")), wmaMono16);
    EXPECT_EQ(hex(*formatFor("WF=XYZ/Q/22.05/16")), wmaMono16);
}

TEST(WfPreset, AnyLetterButSIsMono) {
    EXPECT_EQ(formatFor("WF=MP3/J/48/64")->nChannels, 1);
    EXPECT_FALSE(formatFor("WF=MP3/J/48/192")); // no mono row at 192
}

TEST(WfPreset, ParametersMatchingNoRowAreRejected) {
    EXPECT_FALSE(formatFor("WF=MP3/S/48/191"));
    EXPECT_FALSE(formatFor("WF=MP3/S/48.0/192"));
    EXPECT_FALSE(formatFor("WF=WMA/S/48/192"));
    EXPECT_FALSE(formatFor("WF="));
    EXPECT_FALSE(formatFor("garbage"));
}

TEST(WfPreset, DamagedPresetStringsAreRejected) {
    EXPECT_FALSE(parsePresetString("85/2/48000/24000/1/0/13/1/0/2/0/0/0/64/2/1/0/113/5/0")); // 13 extra bytes
    EXPECT_FALSE(parsePresetString("85/2/48000/24000/1/0/12/1/0/2/0/0/0/64/2/1/0/113/999"));
    EXPECT_FALSE(parsePresetString("85/x/48000"));
    EXPECT_FALSE(parsePresetString("70000/2/48000/24000/1/0/0"));
    EXPECT_TRUE(parsePresetString("1/2/44100/176400/4/16/0"));
}

TEST(WfPreset, GetNextTakesTextsOffTheFront) {
    std::string entry = "MP3/S/44.1/128";
    EXPECT_EQ(GetNext(entry), "MP3");
    EXPECT_EQ(entry, "S/44.1/128");
    GetNext(entry);
    GetNext(entry);
    EXPECT_EQ(GetNext(entry), "128");
    EXPECT_EQ(entry, "128"); // the last text stays
    std::string empty = "/x";
    EXPECT_EQ(GetNext(empty), "");
    EXPECT_EQ(empty, "x");
}

TEST(WfPreset, TargetDetailsText) {
    EXPECT_EQ(targetDetailsText(splitWfParameter("WF=MP3/S/44.1/128")), "128 kBit/s, 44.1 kHz,  Stereo");
    EXPECT_EQ(targetDetailsText(splitWfParameter("WF=WMA/M/32/32")), "32 kBit/s, 32 kHz,  Mono");
}

TEST(ConversionPathChoice, FollowsRatesAndPcmShape) {
    const WaveFormat mp3At44 = *formatFor("WF=MP3/S/44.1/128");
    EXPECT_EQ(choosePath(pcmFormat(44100), mp3At44), ConversionPath::LameDirect);
    EXPECT_EQ(choosePath(pcmFormat(48000), mp3At44), ConversionPath::LameViaPcm);
    // Only 16-bit stereo goes straight to the encoder.
    EXPECT_EQ(choosePath(pcmFormat(44100, 1, 16), mp3At44), ConversionPath::LameViaPcm);
    EXPECT_EQ(choosePath(pcmFormat(44100, 2, 8), mp3At44), ConversionPath::LameViaPcm);
    const WaveFormat wma = *formatFor("WF=WMA/S/44.1/64");
    EXPECT_EQ(choosePath(pcmFormat(44100, 1, 8), wma), ConversionPath::AcmDirect);
    EXPECT_EQ(choosePath(pcmFormat(48000), wma), ConversionPath::AcmViaPcm);
    EXPECT_EQ(choosePath(mp3At44, wma), ConversionPath::AcmViaPcm); // neither side PCM
    EXPECT_EQ(choosePath(mp3At44, pcmFormat(44100)), ConversionPath::AcmDirect);
    EXPECT_EQ(intermediateFormat(wma), pcmFormat(44100, 2, 16));
}

TEST(ConverterTime, TextToSeconds) {
    bool ok = false;
    EXPECT_EQ(timeTextToSeconds("1:02:03", ok), 3723);
    EXPECT_TRUE(ok);
    EXPECT_EQ(timeTextToSeconds("", ok), 0);
    EXPECT_TRUE(ok);
    EXPECT_EQ(timeTextToSeconds("00:99:99", ok), 99 * 60 + 99);
    EXPECT_EQ(timeTextToSeconds("01-02-03", ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(timeTextToSeconds("1:2:3", ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(timeTextToSeconds("01:02", ok), 0);
    EXPECT_FALSE(ok);
}

TEST(ConverterTime, SecondsToText) {
    EXPECT_EQ(secondsToTimeText(1), "00:00:00");
    EXPECT_EQ(secondsToTimeText(2), "00:00:02");
    EXPECT_EQ(secondsToTimeText(3723), "01:02:03");
    EXPECT_EQ(secondsToTimeText(99 * 3600 + 59 * 60 + 59), "99:59:59");
    EXPECT_EQ(secondsToTimeText(360000), "00:00:00");
}
