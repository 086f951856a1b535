#include "platform/acm/format_list.h"
#include "platform/acm/wave_format.h"

#include <gtest/gtest.h>

using namespace platform::acm;

TEST(WaveFormat, ThirtyBytesRoundTripLittleEndian) {
    WaveFormat f = pcmFormat(44100, 2, 16);
    f.cbSize = 12;
    f.extra[11] = 0xAB;
    const auto bytes = f.toBytes();
    EXPECT_EQ(bytes[4], 0x44); // 44100 = 0xAC44
    EXPECT_EQ(bytes[5], 0xAC);
    EXPECT_EQ(bytes[8], 0x10); // 176400 = 0x2B110
    EXPECT_EQ(bytes[29], 0xAB);
    EXPECT_EQ(WaveFormat::fromBytes(bytes.data(), bytes.size()), f);
}

TEST(WaveFormat, ShortHeaderReadsAsZeroExtra) {
    WaveFormat f = pcmFormat(48000, 1, 8);
    auto bytes = f.toBytes();
    bytes[16] = 0x77; // beyond the 16 bytes given: must not be read
    const WaveFormat read = WaveFormat::fromBytes(bytes.data(), 16);
    EXPECT_EQ(read.cbSize, 0);
    EXPECT_EQ(read.nSamplesPerSec, 48000u);
    EXPECT_TRUE(isUsablePcm(read));
}

TEST(WaveFormat, UnusablePcmIsRecognised) {
    WaveFormat f = pcmFormat(44100, 2, 16);
    f.nBlockAlign = 3;
    EXPECT_FALSE(isUsablePcm(f));
    EXPECT_FALSE(isUsablePcm(pcmFormat(44100, 6, 16)));
    EXPECT_FALSE(isUsablePcm(pcmFormat(44100, 2, 24)));
    EXPECT_FALSE(isUsablePcm(pcmFormat(0, 2, 16)));
}

TEST(FormatList, WmaFormatsMatchThePresetLayout) {
    // 64 kbit/s at 44.1 kHz: 372-byte packets of 2048 samples, extra 00 08 00 00 01 00 74 01 00 00.
    const WaveFormat f = wmaFormat(44100, 2, 64000);
    EXPECT_EQ(f.nBlockAlign, 372);
    EXPECT_EQ(f.nAvgBytesPerSec, 8010u);
    EXPECT_EQ(f.cbSize, 10);
    const std::array<uint8_t, 10> extra = {0, 8, 0, 0, 1, 0, 116, 1, 0, 0};
    EXPECT_TRUE(std::equal(extra.begin(), extra.end(), f.extra.begin()));
}
