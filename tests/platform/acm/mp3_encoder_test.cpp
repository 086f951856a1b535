#include "platform/acm/mp3_encoder_library.h"

#include "tests/platform/acm/audio_test_util.h"
#include "tests/support/program_folder.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace platform::acm;

namespace {

Mp3Config config(uint32_t rate, int32_t mode, uint32_t kbits) {
    Mp3Config c;
    std::memset(&c, 0, sizeof c);
    c.dwConfig = MP3_CONFIG_LAME;
    c.dwStructVersion = MP3_CONFIG_VERSION;
    c.dwStructSize = MP3_CONFIG_SIZE;
    c.dwSampleRate = c.dwReSampleRate = rate;
    c.nMode = mode;
    c.dwBitrate = kbits;
    c.nPreset = MP3_PRESET_HIGH_QUALITY;
    c.dwMpegVersion = MP3_MPEG1;
    return c;
}

std::unique_ptr<Mp3EncoderLibrary> loadBuilt() {
    std::string error;
    auto lib = Mp3EncoderLibrary::load((kes::test::builtProgramDir() / "extern").string(), error);
    EXPECT_TRUE(lib) << error;
    return lib;
}

// Encodes the PCM whole and returns the frames.
std::string encode(Mp3EncoderLibrary& lib, const Mp3Config& c, const std::string& pcm) {
    uint32_t chunk = 0, outBytes = 0;
    Mp3Stream stream = 0;
    EXPECT_EQ(lib.beInitStream(&c, &chunk, &outBytes, &stream), MP3_ERR_SUCCESSFUL);
    std::vector<uint8_t> out(outBytes);
    std::string mp3;
    const auto* samples = reinterpret_cast<const int16_t*>(pcm.data());
    const size_t total = pcm.size() / 2;
    for (size_t at = 0; at < total; at += chunk) {
        uint32_t made = 0;
        const auto n = static_cast<uint32_t>(std::min<size_t>(chunk, total - at));
        EXPECT_EQ(lib.beEncodeChunk(stream, n, samples + at, out.data(), &made), MP3_ERR_SUCCESSFUL);
        mp3.append(reinterpret_cast<const char*>(out.data()), made);
    }
    uint32_t made = 0;
    EXPECT_EQ(lib.beDeinitStream(stream, out.data(), &made), MP3_ERR_SUCCESSFUL);
    mp3.append(reinterpret_cast<const char*>(out.data()), made);
    EXPECT_EQ(lib.beCloseStream(stream), MP3_ERR_SUCCESSFUL);
    return mp3;
}

} // namespace

TEST(Mp3Encoder, LoadsFromTheExternFolderOnly) {
    std::string error;
    EXPECT_FALSE(Mp3EncoderLibrary::load("/nonexistent", error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(loadBuilt());
}

TEST(Mp3Encoder, ChunkSizesAndRecordChecks) {
    auto lib = loadBuilt();
    ASSERT_TRUE(lib);
    uint32_t chunk = 0, outBytes = 0;
    Mp3Stream stream = 0;
    Mp3Config c = config(44100, MP3_MODE_STEREO, 128);
    ASSERT_EQ(lib->beInitStream(&c, &chunk, &outBytes, &stream), MP3_ERR_SUCCESSFUL);
    EXPECT_EQ(chunk, 2304u); // 1152 stereo frames
    EXPECT_GE(outBytes, 7200u);
    std::vector<int16_t> tooMany(chunk + 2);
    std::vector<uint8_t> out(outBytes);
    uint32_t made = 0;
    EXPECT_EQ(lib->beEncodeChunk(stream, chunk + 2, tooMany.data(), out.data(), &made),
              MP3_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(lib->beCloseStream(stream), MP3_ERR_SUCCESSFUL);
    EXPECT_EQ(lib->beCloseStream(stream), MP3_ERR_INVALID_HANDLE);

    Mp3Config half = config(22050, MP3_MODE_STEREO, 64);
    ASSERT_EQ(lib->beInitStream(&half, &chunk, &outBytes, &stream), MP3_ERR_SUCCESSFUL);
    EXPECT_EQ(chunk, 1152u); // MPEG-2 frames hold 576 samples
    lib->beCloseStream(stream);

    Mp3Config wrong = c;
    wrong.dwStructSize = 330;
    EXPECT_EQ(lib->beInitStream(&wrong, &chunk, &outBytes, &stream), MP3_ERR_INVALID_FORMAT);
}

TEST(Mp3Encoder, MonoModeWritesMonoFramesFromStereoInput) {
    auto lib = loadBuilt();
    ASSERT_TRUE(lib);
    const std::string mp3 =
        encode(*lib, config(48000, MP3_MODE_MONO, 64), kes::test::makeTone(48000, 2, 48000, 800));
    ASSERT_GE(mp3.size(), 4u);
    const auto mode = (static_cast<unsigned char>(mp3[3]) >> 6) & 3;
    EXPECT_EQ(mode, 3u); // channel mode bits of the first frame header: mono
    const auto decoded = kes::test::decodeMp3(mp3);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.channels, 1);
    EXPECT_GT(kes::test::toneShare(decoded.first, 48000, 800), 0.9);
}

TEST(Mp3Encoder, NoInfoFrameAndTheWholeLength) {
    auto lib = loadBuilt();
    ASSERT_TRUE(lib);
    const int64_t frames = 44100 + 500;
    const std::string mp3 =
        encode(*lib, config(44100, MP3_MODE_STEREO, 192), kes::test::makeTone(44100, 2, frames, 1000));
    EXPECT_EQ(mp3.find("Xing"), std::string::npos);
    EXPECT_EQ(mp3.find("Info"), std::string::npos);
    EXPECT_NE(mp3.substr(0, 3), "ID3");
    const auto decoded = kes::test::decodeMp3(mp3);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.channels, 2);
    // The encoder's delay and padding add less than two frames.
    EXPECT_GE(static_cast<int64_t>(decoded.first.size()), frames);
    EXPECT_LT(static_cast<int64_t>(decoded.first.size()), frames + 2 * 1152 + 1152);
}

// A stream of several segments (the library encodes on several cores where the machine has them)
// comes out whole: every frame there, back to back, and the tone clean throughout.
TEST(Mp3Encoder, LongStreamComesOutWhole) {
    auto lib = loadBuilt();
    ASSERT_TRUE(lib);
    const int64_t frames = 48000 * 45 + 700;
    const std::string mp3 =
        encode(*lib, config(48000, MP3_MODE_STEREO, 128), kes::test::makeTone(48000, 2, frames, 440));
    const auto decoded = kes::test::decodeMp3(mp3);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.packets * 384, static_cast<int>(mp3.size())); // 128k at 48 kHz: 384-byte frames
    EXPECT_GE(static_cast<int64_t>(decoded.first.size()), frames);
    EXPECT_LT(static_cast<int64_t>(decoded.first.size()), frames + 3 * 1152);
    // Each second on its own: a join that lost reservoir bytes would spoil the tone where it lies.
    for (int64_t s = 1; s + 1 < frames / 48000; ++s) {
        const std::vector<float> second(decoded.first.begin() + s * 48000,
                                        decoded.first.begin() + (s + 1) * 48000);
        EXPECT_GT(kes::test::toneShare(second, 48000, 440), 0.98) << "second " << s;
    }
}
