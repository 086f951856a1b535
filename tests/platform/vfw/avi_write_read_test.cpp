// AVI files written through the interface and read back: headers, index, interleave, samples of video
// and of audio with and without a sample size, key frames and the writer's rules.
#include "platform/vfw/vfw.h"

#include "tests/platform/vfw/avi_test_util.h"
#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <vector>

using namespace platform::vfw;
using namespace kes::test;

namespace {

class AviWriteRead : public ::testing::Test {
protected:
    void SetUp() override { AVIFileInit(); }
    void TearDown() override { AVIFileExit(); }
    TempDir dir{"kes-vfw"};
};

struct OpenStreams {
    PAVIFILE file = nullptr;
    PAVISTREAM video = nullptr;
    PAVISTREAM audio = nullptr;
    ~OpenStreams() {
        AVIStreamRelease(video);
        AVIStreamRelease(audio);
        AVIFileRelease(file);
    }
};

void openMovie(const std::string& path, OpenStreams& s) {
    ASSERT_EQ(AVIFileOpen(&s.file, path, OF_READ | OF_SHARE_DENY_WRITE), AVIERR_OK);
    ASSERT_EQ(AVIFileGetStream(s.file, &s.video, streamtypeVIDEO, 0), AVIERR_OK);
    ASSERT_EQ(AVIFileGetStream(s.file, &s.audio, streamtypeAUDIO, 0), AVIERR_OK);
}

TEST_F(AviWriteRead, HeadersFormatsAndFramesComeBackAsWritten) {
    const std::string path = dir.file("movie.avi");
    ASSERT_TRUE(writeTestMovie(path, 12, 5));
    OpenStreams s;
    openMovie(path, s);

    AVIFILEINFO fi;
    ASSERT_EQ(AVIFileInfo(s.file, &fi, sizeof fi), AVIERR_OK);
    EXPECT_EQ(fi.dwStreams, 2u);
    EXPECT_EQ(fi.dwWidth, 64u);
    EXPECT_EQ(fi.dwHeight, 48u);
    EXPECT_NE(fi.dwFlags & AVIF_HASINDEX, 0u);

    AVISTREAMINFO vi;
    ASSERT_EQ(AVIStreamInfo(s.video, &vi, sizeof vi), AVIERR_OK);
    EXPECT_EQ(vi.fccHandler, mmioFOURCC('D', 'I', 'V', 'X'));
    EXPECT_EQ(vi.dwRate, 25u);
    EXPECT_EQ(vi.dwScale, 1u);
    EXPECT_EQ(vi.dwLength, 12u);
    EXPECT_EQ(vi.dwStart, 0u);
    EXPECT_STREQ(vi.szName, "Video");
    EXPECT_EQ(vi.rcFrame.right, 64);
    EXPECT_EQ(vi.rcFrame.bottom, 48);
    EXPECT_GE(vi.dwSuggestedBufferSize, testFrame(11, false).size());

    BITMAPINFOHEADER bmp;
    LONG size = sizeof bmp;
    ASSERT_EQ(AVIStreamReadFormat(s.video, 0, &bmp, &size), AVIERR_OK);
    EXPECT_EQ(size, 40);
    EXPECT_EQ(bmp.biWidth, 64);
    EXPECT_EQ(bmp.biCompression, mmioFOURCC('D', 'I', 'V', 'X'));

    for (int i = 0; i < 12; ++i) {
        std::vector<char> frame(64 * 48);
        LONG bytes = 0;
        LONG samples = 0;
        ASSERT_EQ(
            AVIStreamRead(s.video, i, 1, frame.data(), static_cast<LONG>(frame.size()), &bytes, &samples),
            AVIERR_OK);
        const std::string expected = testFrame(i, i % 5 == 0);
        EXPECT_EQ(samples, 1);
        ASSERT_EQ(bytes, static_cast<LONG>(expected.size()));
        EXPECT_EQ(std::string(frame.data(), static_cast<size_t>(bytes)), expected) << "frame " << i;
    }
}

// FFmpeg's reading of the same file: both streams, every video chunk with its key flag, every audio
// byte.
TEST_F(AviWriteRead, AnotherReaderSeesTheSameStreamsFramesAndSamples) {
    const std::string path = dir.file("movie.avi");
    ASSERT_TRUE(writeTestMovie(path, 12, 5));
    const LavfProbe probe = probeLavf(path, true);
    ASSERT_EQ(probe.format, "avi");
    ASSERT_EQ(probe.streams.size(), 2u);
    const LavfStream* video = probe.first("video");
    const LavfStream* audio = probe.first("audio");
    ASSERT_TRUE(video && audio);
    EXPECT_EQ(video->codec, "mpeg4");
    EXPECT_EQ(video->width, 64);
    EXPECT_EQ(video->height, 48);
    EXPECT_EQ(video->packets, 12);
    EXPECT_EQ(audio->codec, "pcm_s16le");
    EXPECT_EQ(audio->sampleRate, 44100);
    EXPECT_EQ(audio->channels, 2);
    EXPECT_EQ(audio->samples, 12 * 441);
    ASSERT_EQ(audio->pcm.size(), 12u * 441 * 2);
    // Chunk i holds the bytes i * 7 + b; sample 0 of chunk 1 is the bytes 7, 8.
    EXPECT_NEAR(audio->pcm[441 * 2], (8 * 256 + 7) / 32768.0, 1e-9);
    const LavfVideo frames = readLavfVideo(path);
    ASSERT_EQ(frames.packets.size(), 12u);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(frames.packets[static_cast<size_t>(i)].bytes, testFrame(i, i % 5 == 0)) << i;
        EXPECT_EQ(frames.packets[static_cast<size_t>(i)].key, i % 5 == 0) << i;
    }
}

// A movie FFmpeg wrote: our reader finds the same frames, key flags and audio samples as FFmpeg does.
TEST_F(AviWriteRead, ReadsAMovieAnotherProgramWrote) {
    for (const LavfAudio sound : {LavfAudio::Pcm16, LavfAudio::Mp3}) {
        SCOPED_TRACE(sound == LavfAudio::Pcm16 ? "PCM" : "MP3");
        const std::string path = dir.file("other.avi");
        LavfAviSpec spec;
        spec.frames = 30;
        spec.gop = 12;
        spec.audio = sound;
        std::string error;
        ASSERT_TRUE(writeLavfAvi(path, spec, &error)) << error;
        const LavfVideo theirs = readLavfVideo(path);
        const LavfProbe probe = probeLavf(path, true);
        ASSERT_EQ(theirs.packets.size(), 30u);
        OpenStreams s;
        openMovie(path, s);
        // FFmpeg may end the video with an empty chunk that repeats the last frame (its reader skips it);
        // every chunk that holds a frame is the same in both readings.
        size_t next = 0;
        for (LONG i = 0; i < AVIStreamLength(s.video); ++i) {
            LONG bytes = 0;
            ASSERT_EQ(AVIStreamRead(s.video, i, 1, nullptr, 0, &bytes, nullptr), AVIERR_OK);
            if (bytes == 0)
                continue;
            std::string frame(static_cast<size_t>(bytes), '\0');
            ASSERT_EQ(AVIStreamRead(s.video, i, 1, frame.data(), bytes, &bytes, nullptr), AVIERR_OK);
            ASSERT_LT(next, theirs.packets.size()) << i;
            EXPECT_EQ(frame, theirs.packets[next].bytes) << i;
            EXPECT_EQ(AVIStreamIsKeyFrame(s.video, i) != 0, theirs.packets[next].key) << i;
            ++next;
        }
        EXPECT_EQ(next, theirs.packets.size());
        AVISTREAMINFO ai;
        ASSERT_EQ(AVIStreamInfo(s.audio, &ai, sizeof ai), AVIERR_OK);
        const LavfStream* audio = probe.first("audio");
        ASSERT_NE(audio, nullptr);
        if (sound == LavfAudio::Pcm16) {
            ASSERT_EQ(AVIStreamLength(s.audio), audio->samples);
            std::vector<int16_t> pcm(static_cast<size_t>(audio->samples) * 2);
            LONG samples = 0;
            ASSERT_EQ(AVIStreamRead(s.audio, 0, static_cast<LONG>(audio->samples), pcm.data(),
                                    static_cast<LONG>(pcm.size() * 2), nullptr, &samples),
                      AVIERR_OK);
            ASSERT_EQ(samples, audio->samples);
            for (size_t i = 0; i < pcm.size(); ++i)
                ASSERT_EQ(pcm[i], std::lround(audio->pcm[i] * 32768.0)) << i;
        } else {
            EXPECT_EQ(ai.dwRate * 1.0 / ai.dwScale, 44100.0 / 1152);
            EXPECT_EQ(AVIStreamLength(s.audio), audio->packets);
        }
    }
}

TEST_F(AviWriteRead, FileLayoutMatchesWhatHeaderPatchersExpect) {
    const std::string path = dir.file("movie.avi");
    ASSERT_TRUE(writeTestMovie(path, 4, 2));
    const std::string bytes = readBytes(path);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(readLE32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(bytes.substr(8, 4), "AVI ");
    EXPECT_EQ(bytes.substr(24, 4), "avih");
    EXPECT_EQ(readLE32(bytes, 48), 4u); // total frames of the main header
    // Stream headers: scale and rate 20 and 24 bytes after the type code, within the first 5000 bytes.
    const size_t vids = findText(bytes, "vids");
    const size_t auds = findText(bytes, "auds");
    ASSERT_LT(vids, 5000u);
    ASSERT_LT(auds, 5000u);
    EXPECT_EQ(readLE32(bytes, vids + 20), 1u);
    EXPECT_EQ(readLE32(bytes, vids + 24), 25u);
    EXPECT_EQ(readLE32(bytes, auds + 20), 4u);
    EXPECT_EQ(readLE32(bytes, auds + 24), 176400u);
    EXPECT_EQ(readLE32(bytes, auds + 32), 4u * 441); // audio length in samples
    // The movi list: its size stands before "movi"; idx1 follows it.
    const size_t movi = findText(bytes, "movi");
    ASSERT_LT(movi, 35000u);
    const uint32_t moviSize = readLE32(bytes, movi - 4);
    EXPECT_EQ(bytes.substr(movi - 8 + 8 + moviSize, 4), "idx1");
    // Chunks in the order of the writes: one audio chunk before each frame.
    size_t at = movi + 4;
    std::string order;
    for (int i = 0; i < 8; ++i) {
        order += bytes.substr(at, 4) + " ";
        const uint32_t sz = readLE32(bytes, at + 4);
        at += 8 + sz + (sz & 1);
    }
    EXPECT_EQ(order, "01wb 00dc 01wb 00dc 01wb 00dc 01wb 00dc ");
}

TEST_F(AviWriteRead, KeyFrameSearchesFollowTheIndexFlags) {
    const std::string path = dir.file("movie.avi");
    ASSERT_TRUE(writeTestMovie(path, 12, 5)); // key frames 0, 5, 10
    OpenStreams s;
    openMovie(path, s);
    EXPECT_TRUE(AVIStreamIsKeyFrame(s.video, 5));
    EXPECT_FALSE(AVIStreamIsKeyFrame(s.video, 6));
    EXPECT_EQ(AVIStreamNearestKeyFrame(s.video, 9), 5);
    EXPECT_EQ(AVIStreamNearestKeyFrame(s.video, 10), 10);
    EXPECT_EQ(AVIStreamNextKeyFrame(s.video, 5), 10);
    EXPECT_EQ(AVIStreamNextKeyFrame(s.video, 10), -1);
    EXPECT_EQ(AVIStreamPrevKeyFrame(s.video, 5), 0);
    EXPECT_EQ(AVIStreamPrevKeyFrame(s.video, 0), -1);
    EXPECT_EQ(AVIStreamFindSample(s.video, 3, FIND_NEXT | FIND_KEY), 5);
    EXPECT_EQ(AVIStreamFindSample(s.video, 100, FIND_PREV | FIND_KEY), 10); // from past the end: the last
    EXPECT_EQ(AVIStreamFindSample(s.video, 7, FIND_PREV | FIND_KEY | FIND_SIZE),
              static_cast<LONG>(testFrame(5, true).size()));
    // Every audio sample is a key frame.
    EXPECT_TRUE(AVIStreamIsKeyFrame(s.audio, 1234));
    EXPECT_EQ(AVIStreamStart(s.video), 0);
    EXPECT_EQ(AVIStreamEnd(s.video), 12);
}

TEST_F(AviWriteRead, FixedSizeAudioReadsAcrossChunksAndClampsToBufferAndEnd) {
    const std::string path = dir.file("movie.avi");
    ASSERT_TRUE(writeTestMovie(path, 10, 5));
    OpenStreams s;
    openMovie(path, s);
    AVISTREAMINFO ai;
    AVIStreamInfo(s.audio, &ai, sizeof ai);
    EXPECT_EQ(ai.dwSampleSize, 4u);
    EXPECT_EQ(ai.dwLength, 4410u);

    // 1000 samples from 300 span chunks 0 to 2 (441 samples each).
    std::vector<uint8_t> buf(65536);
    LONG bytes = 0;
    LONG samples = 0;
    ASSERT_EQ(AVIStreamRead(s.audio, 300, 1000, buf.data(), 65536, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(samples, 1000);
    EXPECT_EQ(bytes, 4000);
    EXPECT_EQ(buf[0], static_cast<uint8_t>(0 * 7 + 300 * 4));
    EXPECT_EQ(buf[(441 - 300) * 4], static_cast<uint8_t>(1 * 7 + 0)); // first byte of chunk 1
    // The buffer limits the count; a buffer smaller than one sample is too small.
    ASSERT_EQ(AVIStreamRead(s.audio, 0, 1000, buf.data(), 2050, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(samples, 512);
    EXPECT_EQ(AVIStreamRead(s.audio, 0, 10, buf.data(), 3, &bytes, &samples), AVIERR_BUFFERTOOSMALL);
    // Without a buffer: what the read would give.
    ASSERT_EQ(AVIStreamRead(s.audio, 4400, 100, nullptr, 0, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(samples, 10);
    EXPECT_EQ(bytes, 40);
    // Convenient reads end with the chunk.
    ASSERT_EQ(AVIStreamRead(s.audio, 400, AVISTREAMREAD_CONVENIENT, buf.data(), 65536, &bytes, &samples),
              AVIERR_OK);
    EXPECT_EQ(samples, 41);
    // At the end nothing is read; past it there is no data.
    EXPECT_EQ(AVIStreamRead(s.audio, 4410, 10, buf.data(), 65536, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(samples, 0);
    EXPECT_EQ(AVIStreamRead(s.audio, 4411, 10, buf.data(), 65536, &bytes, &samples), AVIERR_NODATA);
    EXPECT_EQ(AVIStreamRead(s.audio, -1, 10, buf.data(), 65536, &bytes, &samples), AVIERR_NODATA);
    // A video frame larger than the buffer.
    EXPECT_EQ(AVIStreamRead(s.video, 3, 1, buf.data(), 10, &bytes, &samples), AVIERR_BUFFERTOOSMALL);
    EXPECT_EQ(bytes, static_cast<LONG>(testFrame(3, false).size()));
}

// Writes an audio-only file with chunks of the given sizes.
void writeAudio(const std::string& path, const AVISTREAMINFO& info, const std::vector<uint32_t>& chunkSizes) {
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIFileOpen(&file, path, OF_CREATE | OF_WRITE), AVIERR_OK);
    PAVISTREAM audio = nullptr;
    ASSERT_EQ(AVIFileCreateStream(file, &audio, &info), AVIERR_OK);
    const auto wf = waveFormat(85, 2, 44100, 16000, info.dwSampleSize == 0 ? 1152 : 1, 0);
    ASSERT_EQ(AVIStreamSetFormat(audio, 0, wf.data(), static_cast<LONG>(wf.size())), AVIERR_OK);
    LONG pos = 0;
    for (uint32_t sz : chunkSizes) {
        std::vector<uint8_t> data(sz, static_cast<uint8_t>(sz));
        const LONG n = info.dwSampleSize == 0 ? 1 : static_cast<LONG>(sz / info.dwSampleSize);
        ASSERT_EQ(AVIStreamWrite(audio, pos, n, data.data(), static_cast<LONG>(sz), AVIIF_KEYFRAME, nullptr,
                                 nullptr),
                  AVIERR_OK);
        pos += n;
    }
    AVIStreamRelease(audio);
    AVIFileRelease(file);
}

// FFmpeg takes the audio-only files too: one MP3 stream of the format written.
TEST_F(AviWriteRead, AnotherReaderTakesAudioOnlyFiles) {
    writeAudio(dir.file("vbr.avi"), audioInfo(44100, 1152, 0), {417, 418, 209, 626});
    writeAudio(dir.file("cbr.avi"), audioInfo(16000, 1, 1), {417, 418, 209});
    for (const char* name : {"vbr.avi", "cbr.avi"}) {
        SCOPED_TRACE(name);
        const LavfProbe probe = probeLavf(dir.file(name));
        ASSERT_EQ(probe.format, "avi");
        ASSERT_EQ(probe.streams.size(), 1u);
        EXPECT_EQ(probe.streams[0].codec, "mp3");
        EXPECT_EQ(probe.streams[0].sampleRate, 44100);
        EXPECT_EQ(probe.streams[0].channels, 2);
    }
}

TEST_F(AviWriteRead, VariableBitRateAudioHasOneSamplePerChunk) {
    const std::string path = dir.file("vbr.avi");
    writeAudio(path, audioInfo(44100, 1152, 0), {417, 418, 209, 626});
    PAVISTREAM audio = nullptr;
    ASSERT_EQ(AVIStreamOpenFromFile(&audio, path, streamtypeAUDIO, 0, OF_READ), AVIERR_OK);
    EXPECT_EQ(AVIStreamLength(audio), 4);
    std::vector<uint8_t> buf(65536);
    LONG bytes = 0;
    LONG samples = 0;
    ASSERT_EQ(AVIStreamRead(audio, 1, 3, buf.data(), 65536, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(samples, 1);
    EXPECT_EQ(bytes, 418);
    EXPECT_EQ(buf[0], static_cast<uint8_t>(418));
    ASSERT_EQ(AVIStreamRead(audio, 3, 1, nullptr, 0, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(bytes, 626);
    AVISTREAMINFO info;
    AVIStreamInfo(audio, &info, sizeof info);
    EXPECT_EQ(info.dwSampleSize, 0u);
    EXPECT_EQ(info.dwSuggestedBufferSize, 626u);
    AVIStreamRelease(audio);
}

TEST_F(AviWriteRead, ConstantBitRateAudioIsAByteStream) {
    const std::string path = dir.file("cbr.avi");
    writeAudio(path, audioInfo(16000, 1, 1), {417, 418, 209});
    PAVISTREAM audio = nullptr;
    ASSERT_EQ(AVIStreamOpenFromFile(&audio, path, streamtypeAUDIO, 0, OF_READ), AVIERR_OK);
    EXPECT_EQ(AVIStreamLength(audio), 417 + 418 + 209);
    std::vector<uint8_t> buf(2048);
    LONG samples = 0;
    ASSERT_EQ(AVIStreamRead(audio, 400, 2048, buf.data(), 2048, nullptr, &samples), AVIERR_OK);
    EXPECT_EQ(samples, 417 + 418 + 209 - 400);
    EXPECT_EQ(buf[16], static_cast<uint8_t>(417 & 0xFF));
    EXPECT_EQ(buf[17], static_cast<uint8_t>(418 & 0xFF));
    AVIStreamRelease(audio);
}

TEST_F(AviWriteRead, WriterRefusesWhatWouldBreakTheFile) {
    const std::string path = dir.file("rules.avi");
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIFileOpen(&file, path, OF_CREATE | OF_WRITE), AVIERR_OK);
    AVISTREAMINFO vi = videoInfo(25, 1, mmioFOURCC('D', 'I', 'V', 'X'));
    AVISTREAMINFO ai = audioInfo(176400, 4, 4);
    PAVISTREAM video = nullptr;
    PAVISTREAM audio = nullptr;
    ASSERT_EQ(AVIFileCreateStream(file, &video, &vi), AVIERR_OK);
    ASSERT_EQ(AVIFileCreateStream(file, &audio, &ai), AVIERR_OK);
    const char frame[10] = {};
    EXPECT_EQ(AVIStreamWrite(video, 0, 1, frame, 10, 0, nullptr, nullptr), AVIERR_BADFORMAT); // no format yet
    const BITMAPINFOHEADER bmp = bitmapFormat(64, 48, mmioFOURCC('D', 'I', 'V', 'X'));
    ASSERT_EQ(AVIStreamSetFormat(video, 0, &bmp, sizeof bmp), AVIERR_OK);
    EXPECT_EQ(AVIStreamSetFormat(video, 0, &bmp, sizeof bmp), AVIERR_UNSUPPORTED);
    const auto wf = waveFormat(1, 2, 44100, 176400, 4, 16);
    ASSERT_EQ(AVIStreamSetFormat(audio, 0, wf.data(), static_cast<LONG>(wf.size())), AVIERR_OK);
    // Bytes that are not whole samples, several frames in one chunk, a position before the end.
    EXPECT_EQ(AVIStreamWrite(audio, 0, 2, frame, 10, 0, nullptr, nullptr), AVIERR_BADPARAM);
    EXPECT_EQ(AVIStreamWrite(video, 0, 2, frame, 10, 0, nullptr, nullptr), AVIERR_BADPARAM);
    LONG written = 0;
    ASSERT_EQ(AVIStreamWrite(video, 0, 1, frame, 10, AVIIF_KEYFRAME, &written, nullptr), AVIERR_OK);
    EXPECT_EQ(written, 1);
    EXPECT_EQ(AVIStreamWrite(video, 0, 1, frame, 10, 0, nullptr, nullptr), AVIERR_BADPARAM);
    // A gap: video gets empty frames, audio zero bytes.
    ASSERT_EQ(AVIStreamWrite(video, 3, 1, frame, 10, 0, nullptr, nullptr), AVIERR_OK);
    ASSERT_EQ(AVIStreamWrite(audio, 0, 1, "\1\1\1\1", 4, 0, nullptr, nullptr), AVIERR_OK);
    ASSERT_EQ(AVIStreamWrite(audio, 3, 1, "\2\2\2\2", 4, 0, nullptr, nullptr), AVIERR_OK);
    EXPECT_EQ(AVIStreamLength(video), 4);
    EXPECT_EQ(AVIStreamLength(audio), 4);
    AVIStreamRelease(video);
    AVIStreamRelease(audio);
    AVIFileRelease(file);

    OpenStreams s;
    openMovie(path, s);
    LONG bytes = -1;
    char buf[64];
    ASSERT_EQ(AVIStreamRead(s.video, 1, 1, buf, 64, &bytes, nullptr), AVIERR_OK);
    EXPECT_EQ(bytes, 0);
    EXPECT_EQ(AVIStreamFindSample(s.video, 2, FIND_PREV | FIND_ANY), 0);
    EXPECT_EQ(AVIStreamNextSample(s.video, 0), 3);
    ASSERT_EQ(AVIStreamRead(s.audio, 0, 4, buf, 64, &bytes, nullptr), AVIERR_OK);
    EXPECT_EQ(std::string(buf, 16), std::string("\1\1\1\1", 4) + std::string(8, '\0') + "\2\2\2\2");
    PAVISTREAM extra = nullptr;
    AVISTREAMINFO ti = videoInfo(25, 1, 0);
    EXPECT_EQ(AVIFileCreateStream(s.file, &extra, &ti), AVIERR_READONLY);
    EXPECT_EQ(AVIStreamWrite(s.video, 4, 1, frame, 10, 0, nullptr, nullptr), AVIERR_READONLY);
}

TEST_F(AviWriteRead, FirstWriteSetsTheStartAndDataStartsThere) {
    const std::string path = dir.file("start.avi");
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIFileOpen(&file, path, OF_CREATE | OF_WRITE), AVIERR_OK);
    AVISTREAMINFO vi = videoInfo(25, 1, mmioFOURCC('D', 'I', 'V', 'X'));
    vi.dwStart = 7;     // taken from the first write instead
    vi.dwLength = 9999; // counted from the writes
    PAVISTREAM video = nullptr;
    ASSERT_EQ(AVIFileCreateStream(file, &video, &vi), AVIERR_OK);
    const BITMAPINFOHEADER bmp = bitmapFormat(64, 48, mmioFOURCC('D', 'I', 'V', 'X'));
    ASSERT_EQ(AVIStreamSetFormat(video, 0, &bmp, sizeof bmp), AVIERR_OK);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(AVIStreamWrite(video, -1, 1, "abc", 3, AVIIF_KEYFRAME, nullptr, nullptr), AVIERR_OK);
    AVIStreamRelease(video);
    AVIFileRelease(file);

    PAVISTREAM s = nullptr;
    ASSERT_EQ(AVIStreamOpenFromFile(&s, path, streamtypeVIDEO, 0, OF_READ), AVIERR_OK);
    EXPECT_EQ(AVIStreamStart(s), 7);
    EXPECT_EQ(AVIStreamLength(s), 3);
    char buf[8];
    LONG bytes = 0;
    EXPECT_EQ(AVIStreamRead(s, 6, 1, buf, 8, &bytes, nullptr), AVIERR_NODATA);
    EXPECT_EQ(AVIStreamRead(s, 7, 1, buf, 8, &bytes, nullptr), AVIERR_OK);
    EXPECT_EQ(bytes, 3);
    AVIStreamRelease(s);
}

TEST_F(AviWriteRead, NewFileReplacesTheOldOneOnlyWhenReleased) {
    const std::string path = dir.file("target.avi");
    writeBytes(path, "old contents");
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIFileOpen(&file, path, OF_CREATE | OF_WRITE), AVIERR_OK);
    PAVISTREAM video = nullptr;
    AVISTREAMINFO vi = videoInfo(25, 1, mmioFOURCC('D', 'I', 'V', 'X'));
    ASSERT_EQ(AVIFileCreateStream(file, &video, &vi), AVIERR_OK);
    const BITMAPINFOHEADER bmp = bitmapFormat(64, 48, mmioFOURCC('D', 'I', 'V', 'X'));
    ASSERT_EQ(AVIStreamSetFormat(video, 0, &bmp, sizeof bmp), AVIERR_OK);
    ASSERT_EQ(AVIStreamWrite(video, 0, 1, "abc", 3, AVIIF_KEYFRAME, nullptr, nullptr), AVIERR_OK);
    // The file releases after its last stream: until then the old file stands.
    AVIFileRelease(file);
    EXPECT_EQ(readBytes(path), "old contents");
    AVIStreamRelease(video);
    EXPECT_EQ(readBytes(path).substr(0, 4), "RIFF");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1); // no temporary left
}

TEST_F(AviWriteRead, CreateFailsInAMissingFolderAndReadFailsOnOtherFiles) {
    PAVIFILE file = nullptr;
    EXPECT_EQ(AVIFileOpen(&file, dir.file("no/such/folder.avi"), OF_CREATE | OF_WRITE), AVIERR_FILEOPEN);
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(AVIFileOpen(&file, dir.file("missing.avi"), OF_READ), AVIERR_FILEOPEN);
    writeBytes(dir.file("text.avi"), "this is no AVI file at all");
    EXPECT_EQ(AVIFileOpen(&file, dir.file("text.avi"), OF_READ), AVIERR_BADFORMAT);
    ASSERT_TRUE(writeTestMovie(dir.file("movie.avi"), 2, 1));
    EXPECT_EQ(AVIFileOpen(&file, dir.file("movie.avi"), OF_WRITE), AVIERR_UNSUPPORTED);
    // Names are found without regard to case.
    ASSERT_EQ(AVIFileOpen(&file, dir.file("MOVIE.AVI"), OF_READ), AVIERR_OK);
    PAVISTREAM none = nullptr;
    EXPECT_EQ(AVIFileGetStream(file, &none, streamtypeAUDIO, 1), AVIERR_NODATA);
    EXPECT_EQ(none, nullptr);
    AVIFileRelease(file);
}

TEST_F(AviWriteRead, LastExitCompletesAFileLeftOpen) {
    const std::string path = dir.file("left.avi");
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIFileOpen(&file, path, OF_CREATE | OF_WRITE), AVIERR_OK);
    PAVISTREAM video = nullptr;
    AVISTREAMINFO vi = videoInfo(25, 1, mmioFOURCC('D', 'I', 'V', 'X'));
    ASSERT_EQ(AVIFileCreateStream(file, &video, &vi), AVIERR_OK);
    const BITMAPINFOHEADER bmp = bitmapFormat(64, 48, mmioFOURCC('D', 'I', 'V', 'X'));
    ASSERT_EQ(AVIStreamSetFormat(video, 0, &bmp, sizeof bmp), AVIERR_OK);
    ASSERT_EQ(AVIStreamWrite(video, 0, 1, "abc", 3, AVIIF_KEYFRAME, nullptr, nullptr), AVIERR_OK);
    AVIFileExit(); // balances SetUp's init: the file is completed
    AVIFileInit();
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(AVIStreamWrite(video, 1, 1, "abc", 3, 0, nullptr, nullptr), AVIERR_FILEWRITE);
    AVIStreamRelease(video);
    AVIFileRelease(file);
    PAVISTREAM s = nullptr;
    ASSERT_EQ(AVIStreamOpenFromFile(&s, path, streamtypeVIDEO, 0, OF_READ), AVIERR_OK);
    EXPECT_EQ(AVIStreamLength(s), 1);
    AVIStreamRelease(s);
}

TEST_F(AviWriteRead, SampleAndTimeConversionsRoundTrip) {
    const std::string path = dir.file("ntsc.avi");
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIFileOpen(&file, path, OF_CREATE | OF_WRITE), AVIERR_OK);
    AVISTREAMINFO vi = videoInfo(30000, 1001, mmioFOURCC('D', 'I', 'V', 'X'));
    AVISTREAMINFO ai = audioInfo(48000, 1, 4);
    PAVISTREAM video = nullptr;
    PAVISTREAM audio = nullptr;
    ASSERT_EQ(AVIFileCreateStream(file, &video, &vi), AVIERR_OK);
    ASSERT_EQ(AVIFileCreateStream(file, &audio, &ai), AVIERR_OK);
    for (LONG f = 0; f < 2000; ++f)
        ASSERT_EQ(AVIStreamTimeToSample(video, AVIStreamSampleToTime(video, f)), f);
    EXPECT_EQ(AVIStreamSampleToTime(video, 30), 1001);
    EXPECT_EQ(AVIStreamSampleToTime(video, 31), 1035); // 1034.3 ms, rounded up
    EXPECT_EQ(AVIStreamTimeToSample(video, 1000), 29);
    EXPECT_EQ(AVIStreamSampleToTime(audio, 48000), 1000);
    EXPECT_EQ(AVIStreamTimeToSample(audio, 500), 24000);
    // A damaged header's largest scale: the times are clamped, never overflowed.
    AVISTREAMINFO slow = videoInfo(1, 0xFFFFFFFF, mmioFOURCC('D', 'I', 'V', 'X'));
    PAVISTREAM huge = nullptr;
    ASSERT_EQ(AVIFileCreateStream(file, &huge, &slow), AVIERR_OK);
    EXPECT_EQ(AVIStreamSampleToTime(huge, 0x7FFFFFFF), INT_MAX);
    EXPECT_EQ(AVIStreamSampleToTime(huge, -0x7FFFFFFF), INT_MIN);
    AVISTREAMINFO thirds = videoInfo(3, 1, mmioFOURCC('D', 'I', 'V', 'X'));
    PAVISTREAM third = nullptr;
    ASSERT_EQ(AVIFileCreateStream(file, &third, &thirds), AVIERR_OK);
    EXPECT_EQ(AVIStreamSampleToTime(third, 1), 334);
    EXPECT_EQ(AVIStreamSampleToTime(third, -1), -333);
    EXPECT_EQ(AVIStreamSampleToTime(third, 0x7FFFFFFF), INT_MAX);
    AVIStreamRelease(huge);
    AVIStreamRelease(third);
    AVIStreamRelease(video);
    AVIStreamRelease(audio);
    AVIFileRelease(file);
}

} // namespace
