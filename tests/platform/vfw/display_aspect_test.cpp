// The display aspect of a video stream, kept in the OpenDML video properties header: written where it
// is known and nowhere else, read back by FFmpeg as the pixel aspect it means, and read from files
// FFmpeg wrote.
#include "platform/vfw/vfw.h"
#include "platform/vfw/video_properties.h"

#include "tests/platform/vfw/avi_test_util.h"
#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/rational.h>
}

#include <string>

using namespace platform::vfw;
using namespace kes::test;

namespace {

class DisplayAspectFiles : public ::testing::Test {
protected:
    void SetUp() override { AVIFileInit(); }
    void TearDown() override { AVIFileExit(); }
    TempDir dir{"kes-aspect"};
};

// A movie of a video stream (width x height, the given aspect) and an audio stream given an aspect too.
bool writeAspectMovie(const std::string& path, int width, int height, DisplayAspect aspect) {
    PAVIFILE file = nullptr;
    if (AVIFileOpen(&file, path, OF_CREATE | OF_WRITE) != AVIERR_OK)
        return false;
    AVISTREAMINFO vi = videoInfo(25, 1, mmioFOURCC('D', 'I', 'V', 'X'));
    vi.aspect = aspect;
    AVISTREAMINFO ai = audioInfo(176400, 4, 4);
    ai.aspect = aspect; // not a picture: no properties header
    const BITMAPINFOHEADER bmp = bitmapFormat(width, height, mmioFOURCC('D', 'I', 'V', 'X'));
    const auto wf = waveFormat(1, 2, 44100, 176400, 4, 16);
    PAVISTREAM video = nullptr;
    PAVISTREAM audio = nullptr;
    bool ok = AVIFileCreateStream(file, &video, &vi) == AVIERR_OK &&
              AVIStreamSetFormat(video, 0, &bmp, sizeof bmp) == AVIERR_OK &&
              AVIFileCreateStream(file, &audio, &ai) == AVIERR_OK &&
              AVIStreamSetFormat(audio, 0, wf.data(), static_cast<LONG>(wf.size())) == AVIERR_OK;
    const std::vector<uint8_t> pcm(441 * 4);
    for (int i = 0; ok && i < 5; ++i) {
        const std::string f = testFrame(i, i == 0);
        ok = AVIStreamWrite(video, i, 1, f.data(), static_cast<LONG>(f.size()), i == 0 ? AVIIF_KEYFRAME : 0,
                            nullptr, nullptr) == AVIERR_OK &&
             AVIStreamWrite(audio, i * 441, 441, pcm.data(), static_cast<LONG>(pcm.size()), AVIIF_KEYFRAME,
                            nullptr, nullptr) == AVIERR_OK;
    }
    AVIStreamRelease(audio);
    AVIStreamRelease(video);
    AVIFileRelease(file);
    return ok;
}

DisplayAspect readAspect(const std::string& path, DWORD type = streamtypeVIDEO) {
    PAVISTREAM stream = nullptr;
    AVISTREAMINFO info;
    if (AVIStreamOpenFromFile(&stream, path, type, 0, OF_READ) != AVIERR_OK)
        return {0xDEAD, 0xDEAD};
    AVIStreamInfo(stream, &info, sizeof info);
    AVIStreamRelease(stream);
    return info.aspect;
}

int occurrences(const std::string& bytes, const std::string& text) {
    int n = 0;
    for (size_t at = findText(bytes, text); at != std::string::npos; at = findText(bytes, text, at + 1))
        ++n;
    return n;
}

} // namespace

// FFmpeg's own reduction of a ratio to 16-bit terms is the reference, also where the exact ratio does
// not fit.
TEST(DisplayAspectOf, IsTheShapeInSixteenBitTerms) {
    struct Case {
        uint32_t pixelWidth, pixelHeight, width, height;
    };
    for (const Case& k :
         {Case{64, 45, 720, 576}, Case{44, 45, 640, 352}, Case{1, 1, 640, 480}, Case{8, 9, 720, 480},
          Case{65521, 65519, 719, 577}, Case{1, 1, 100000, 1}, Case{1, 1, 1, 100000},
          Case{4000000007u, 3, 2000000011u, 7}, Case{12345, 54321, 1023, 769}}) {
        int num = 0, den = 0;
        av_reduce(&num, &den, int64_t{k.pixelWidth} * k.width, int64_t{k.pixelHeight} * k.height, 0xFFFF);
        const DisplayAspect aspect = displayAspectOf(k.pixelWidth, k.pixelHeight, k.width, k.height);
        EXPECT_EQ(int{aspect.width}, num)
            << k.pixelWidth << ":" << k.pixelHeight << " " << k.width << "x" << k.height;
        EXPECT_EQ(int{aspect.height}, den)
            << k.pixelWidth << ":" << k.pixelHeight << " " << k.width << "x" << k.height;
    }
    EXPECT_EQ(displayAspectOf(64, 45, 720, 576), (DisplayAspect{16, 9}));
    EXPECT_FALSE(displayAspectOf(0, 0, 720, 576).known());
    EXPECT_FALSE(displayAspectOf(64, 45, 0, 576).known());
}

TEST_F(DisplayAspectFiles, FfmpegReadsThePixelAspectOfWhatWeWrite) {
    struct Case {
        int width, height;
        DisplayAspect aspect;
        int num, den; // FFmpeg's pixel aspect; 0/1 none
    };
    for (const Case& k : {Case{720, 576, {16, 9}, 64, 45}, Case{640, 352, {16, 9}, 44, 45},
                          Case{720, 576, {4, 3}, 16, 15}, Case{640, 480, {}, 0, 1}}) {
        const std::string path = dir.file(std::to_string(k.width) + "-" + std::to_string(k.num) + ".avi");
        ASSERT_TRUE(writeAspectMovie(path, k.width, k.height, k.aspect));
        const LavfProbe probe = probeLavf(path);
        const LavfStream* video = probe.first("video");
        ASSERT_NE(video, nullptr);
        EXPECT_EQ(video->packets, 5);
        EXPECT_EQ(probe.first("audio")->samples, 5 * 441);
        EXPECT_EQ(video->aspectNum, k.num) << k.width;
        EXPECT_EQ(video->aspectDen, k.den) << k.width;
        // One header, the video's; our reader gives the aspect back, and none for the audio.
        EXPECT_EQ(occurrences(readBytes(path), "vprp"), k.aspect.known() ? 1 : 0);
        EXPECT_EQ(readAspect(path), k.aspect);
        EXPECT_EQ(readAspect(path, streamtypeAUDIO), DisplayAspect{});
    }
}

TEST_F(DisplayAspectFiles, ReadFromAMovieFfmpegWrote) {
    MovieSpec movie = wideDivx3Movie(5, MovieSpec::Audio::None);
    std::string error;
    ASSERT_TRUE(writeMovie(dir.file("wide.avi"), movie, &error)) << error;
    EXPECT_EQ(readAspect(dir.file("wide.avi")), (DisplayAspect{16, 9}));
    movie.aspectNum = movie.aspectDen = 0;
    ASSERT_TRUE(writeMovie(dir.file("plain.avi"), movie, &error)) << error;
    EXPECT_EQ(readAspect(dir.file("plain.avi")), DisplayAspect{});
}
