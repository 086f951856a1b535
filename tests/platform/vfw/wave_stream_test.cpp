// WAVE files opened through the AVI file interface as one audio stream.
#include "platform/vfw/vfw.h"

#include "tests/platform/vfw/avi_test_util.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <vector>

using namespace platform::vfw;
using namespace kes::test;

namespace {

std::string fmtChunk(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t avg, uint16_t align,
                     uint16_t bits) {
    const auto wf = waveFormat(tag, channels, rate, avg, align, bits);
    return chunk("fmt ", std::string(wf.begin(), wf.begin() + 16));
}

std::string wave(const std::string& body) {
    return "RIFF" + le32(static_cast<uint32_t>(body.size() + 4)) + "WAVE" + body;
}

std::string pcmData(size_t bytes) {
    std::string d(bytes, '\0');
    for (size_t i = 0; i < bytes; ++i)
        d[i] = static_cast<char>(i * 3);
    return d;
}

class WaveStream : public ::testing::Test {
protected:
    TempDir dir{"kes-vfw-wav"};
};

TEST_F(WaveStream, PcmFileIsAStreamOfBlocks) {
    const std::string path = dir.file("_tmpwav.wav");
    writeBytes(path, wave(fmtChunk(1, 2, 44100, 176400, 4, 16) + chunk("data", pcmData(4000))));
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIFileOpen(&file, dir.file("_TMPWAV.WAV"), OF_READ), AVIERR_OK);
    AVIFILEINFO fi;
    AVIFileInfo(file, &fi, sizeof fi);
    EXPECT_EQ(fi.dwStreams, 1u);
    PAVISTREAM s = nullptr;
    EXPECT_EQ(AVIFileGetStream(file, &s, streamtypeVIDEO, 0), AVIERR_NODATA);
    ASSERT_EQ(AVIFileGetStream(file, &s, streamtypeAUDIO, 0), AVIERR_OK);
    AVIFileRelease(file);

    AVISTREAMINFO info;
    ASSERT_EQ(AVIStreamInfo(s, &info, sizeof info), AVIERR_OK);
    EXPECT_EQ(info.fccType, streamtypeAUDIO);
    EXPECT_EQ(info.dwScale, 4u);
    EXPECT_EQ(info.dwRate, 176400u);
    EXPECT_EQ(info.dwSampleSize, 4u);
    EXPECT_EQ(info.dwLength, 1000u);
    uint8_t format[30] = {};
    LONG size = sizeof format;
    EXPECT_EQ(AVIStreamReadFormat(s, 0, format, &size), AVIERR_OK);
    EXPECT_EQ(size, 16);
    EXPECT_EQ(format[12], 4); // nBlockAlign

    // 2048 samples into a 2048-byte buffer: as many whole blocks as fit.
    std::vector<uint8_t> buf(2048);
    LONG bytes = 0;
    LONG samples = 0;
    ASSERT_EQ(AVIStreamRead(s, 900, 2048, buf.data(), 2048, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(samples, 100);
    EXPECT_EQ(bytes, 400);
    EXPECT_EQ(buf[0], static_cast<uint8_t>(3600 * 3));
    AVIStreamRelease(s);
}

TEST_F(WaveStream, Mp3InWaveIsAByteStream) {
    const std::string path = dir.file("audio.wav");
    writeBytes(path, wave(fmtChunk(85, 2, 44100, 16000, 1, 0) + chunk("data", pcmData(3001))));
    PAVISTREAM s = nullptr;
    ASSERT_EQ(AVIStreamOpenFromFile(&s, path, streamtypeAUDIO, 0, OF_READ | OF_SHARE_DENY_WRITE), AVIERR_OK);
    AVISTREAMINFO info;
    AVIStreamInfo(s, &info, sizeof info);
    EXPECT_EQ(info.dwRate / info.dwScale, 16000u);
    EXPECT_EQ(info.dwSampleSize, 1u);
    EXPECT_EQ(AVIStreamLength(s), 3001);
    EXPECT_EQ(AVIStreamSampleToTime(s, 16000), 1000);
    AVIStreamRelease(s);
}

TEST_F(WaveStream, UnfinishedAndOversizedDataRunToTheEndOfTheFile) {
    const std::string fmt = fmtChunk(1, 1, 8000, 16000, 2, 16);
    writeBytes(dir.file("zero.wav"), "RIFF" + le32(0) + "WAVE" + fmt + "data" + le32(0) + pcmData(1000));
    writeBytes(dir.file("huge.wav"), wave(fmt + "data" + le32(0x7FFFFFF0) + pcmData(600)));
    for (const char* name : {"zero.wav", "huge.wav"}) {
        PAVISTREAM s = nullptr;
        ASSERT_EQ(AVIStreamOpenFromFile(&s, dir.file(name), streamtypeAUDIO, 0, OF_READ), AVIERR_OK) << name;
        EXPECT_EQ(AVIStreamLength(s), std::string(name) == "zero.wav" ? 500 : 300) << name;
        std::vector<uint8_t> buf(4096);
        LONG samples = 0;
        EXPECT_EQ(AVIStreamRead(s, 0, 4096, buf.data(), 4096, nullptr, &samples), AVIERR_OK);
        EXPECT_EQ(samples, AVIStreamLength(s));
        AVIStreamRelease(s);
    }
}

TEST_F(WaveStream, OtherChunksAreSkippedAndBrokenFormatsRefused) {
    const std::string fmt = fmtChunk(1, 2, 44100, 176400, 4, 16);
    writeBytes(dir.file("list.wav"),
               wave(chunk("LIST", "INFOodd") + fmt + chunk("fact", "1234") + chunk("data", pcmData(40))));
    PAVISTREAM s = nullptr;
    ASSERT_EQ(AVIStreamOpenFromFile(&s, dir.file("list.wav"), streamtypeAUDIO, 0, OF_READ), AVIERR_OK);
    EXPECT_EQ(AVIStreamLength(s), 10);
    AVIStreamRelease(s);

    // A PCM format without a block align gets the one its channels and bits give.
    writeBytes(dir.file("align.wav"), wave(fmtChunk(1, 2, 44100, 0, 0, 16) + chunk("data", pcmData(40))));
    ASSERT_EQ(AVIStreamOpenFromFile(&s, dir.file("align.wav"), streamtypeAUDIO, 0, OF_READ), AVIERR_OK);
    AVISTREAMINFO info;
    AVIStreamInfo(s, &info, sizeof info);
    EXPECT_EQ(info.dwSampleSize, 4u);
    EXPECT_EQ(info.dwRate / info.dwScale, 44100u);
    AVIStreamRelease(s);

    PAVIFILE file = nullptr;
    writeBytes(dir.file("nofmt.wav"), wave(chunk("data", pcmData(40))));
    EXPECT_EQ(AVIFileOpen(&file, dir.file("nofmt.wav"), OF_READ), AVIERR_BADFORMAT);
    writeBytes(dir.file("shortfmt.wav"),
               wave(chunk("fmt ", "\x01\x00\x02\x00") + chunk("data", pcmData(40))));
    EXPECT_EQ(AVIFileOpen(&file, dir.file("shortfmt.wav"), OF_READ), AVIERR_BADFORMAT);
    writeBytes(dir.file("nodata.wav"), wave(fmt));
    EXPECT_EQ(AVIFileOpen(&file, dir.file("nodata.wav"), OF_READ), AVIERR_BADFORMAT);
    EXPECT_EQ(file, nullptr);
}

} // namespace

namespace {

// Plain MP3: an ID3v2 tag, ten MPEG-1 layer III frames of 128 kbit/s at 44.1 kHz (417 bytes each) and
// an ID3v1 tag; opened under a WAVE name, as a renamed MP3 file is.
TEST_F(WaveStream, PlainMp3FileIsAByteStreamOfItsFrames) {
    std::string bytes = std::string("ID3\x03\x00\x00\x00\x00\x00\x05", 10) + "abcde";
    for (int i = 0; i < 10; ++i)
        bytes += std::string("\xFF\xFB\x90\x64", 4) + std::string(413, static_cast<char>(i));
    bytes += "TAG" + std::string(125, ' ');
    const std::string path = dir.file("_tmpsize.wav");
    writeBytes(path, bytes);
    PAVISTREAM s = nullptr;
    ASSERT_EQ(AVIStreamOpenFromFile(&s, path, streamtypeAUDIO, 0, OF_READ), AVIERR_OK);
    AVISTREAMINFO info;
    AVIStreamInfo(s, &info, sizeof info);
    EXPECT_EQ(info.dwSampleSize, 1u);
    EXPECT_EQ(info.dwLength, 4170u);
    EXPECT_EQ(info.dwRate / info.dwScale, 15963u); // 4170 bytes in 10 × 1152 samples at 44.1 kHz
    uint8_t format[30] = {};
    LONG size = sizeof format;
    ASSERT_EQ(AVIStreamReadFormat(s, 0, format, &size), AVIERR_OK);
    EXPECT_EQ(size, 30);
    EXPECT_EQ(format[0], 85);
    EXPECT_EQ(format[2], 2);  // channels
    EXPECT_EQ(format[12], 1); // block align
    std::vector<uint8_t> buf(4);
    ASSERT_EQ(AVIStreamRead(s, 417, 4, buf.data(), 4, nullptr, nullptr), AVIERR_OK);
    EXPECT_EQ(buf[0], 0xFF); // the second frame's header
    AVIStreamRelease(s);

    // A single stray sync word is no MP3 file.
    writeBytes(dir.file("stray.wav"), std::string("\xFF\xFB\x90\x64", 4) + std::string(100, 'x'));
    PAVIFILE file = nullptr;
    EXPECT_EQ(AVIFileOpen(&file, dir.file("stray.wav"), OF_READ), AVIERR_BADFORMAT);
}

} // namespace
