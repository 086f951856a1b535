// The split wizard's built-in player on a small MPEG-4 AVI encoded here: frame stepping, key-frame
// jumps and the split points.

#include "tools/synchronizer/tform6.h"

#include "tests/support/temp_dir.h"

#include "platform/ui/dialog_script.h"
#include "platform/vfw/vfw.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

#include <cstring>
#include <functional>
#include <vector>

namespace tools::synchronizer {
namespace {

namespace vfw = platform::vfw;
using kes::test::TempDir;
using platform::ui::testing::DialogScript;

constexpr int Width = 64;
constexpr int Height = 48;
constexpr int FrameCount = 12;
constexpr int Gop = 5; // key frames 0, 5, 10

struct Packet {
    std::string bytes;
    bool key = false;
};

std::vector<Packet> encodeMpeg4() {
    std::vector<Packet> out;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    if (codec == nullptr)
        return out;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->width = Width;
    ctx->height = Height;
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx->time_base = {1, 25};
    ctx->gop_size = Gop;
    ctx->max_b_frames = 0;
    ctx->bit_rate = 400000;
    av_opt_set_int(ctx, "sc_threshold", 1000000000, AV_OPT_SEARCH_CHILDREN);
    if (avcodec_open2(ctx, codec, nullptr) < 0) {
        avcodec_free_context(&ctx);
        return out;
    }
    AVFrame* frame = av_frame_alloc();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = Width;
    frame->height = Height;
    av_frame_get_buffer(frame, 0);
    AVPacket* pkt = av_packet_alloc();
    const auto drain = [&] {
        while (avcodec_receive_packet(ctx, pkt) == 0) {
            out.push_back({std::string(reinterpret_cast<char*>(pkt->data), static_cast<size_t>(pkt->size)),
                           (pkt->flags & AV_PKT_FLAG_KEY) != 0});
            av_packet_unref(pkt);
        }
    };
    for (int i = 0; i < FrameCount; ++i) {
        av_frame_make_writable(frame);
        for (int y = 0; y < Height; ++y)
            std::memset(frame->data[0] + y * frame->linesize[0], 40 + 15 * i, Width);
        for (int plane = 1; plane <= 2; ++plane)
            for (int y = 0; y < Height / 2; ++y)
                std::memset(frame->data[plane] + y * frame->linesize[plane], 128, Width / 2);
        frame->pts = i;
        avcodec_send_frame(ctx, frame);
        drain();
    }
    avcodec_send_frame(ctx, nullptr);
    drain();
    av_packet_free(&pkt);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
    return out;
}

// A video-only AVI of the encoded frames at 25 fps.
bool writeMpeg4Avi(const std::string& path) {
    const auto packets = encodeMpeg4();
    if (packets.size() != FrameCount)
        return false;
    vfw::AVIFileInit();
    vfw::PAVIFILE file = nullptr;
    bool ok = vfw::AVIFileOpen(&file, path, vfw::OF_CREATE | vfw::OF_WRITE) == vfw::AVIERR_OK;
    vfw::PAVISTREAM video = nullptr;
    if (ok) {
        vfw::AVISTREAMINFO info;
        info.fccType = vfw::streamtypeVIDEO;
        info.fccHandler = vfw::mmioFOURCC('X', 'V', 'I', 'D');
        info.dwScale = 1;
        info.dwRate = 25;
        ok = vfw::AVIFileCreateStream(file, &video, &info) == vfw::AVIERR_OK;
    }
    vfw::BITMAPINFOHEADER format;
    format.biWidth = Width;
    format.biHeight = Height;
    format.biBitCount = 24;
    format.biCompression = vfw::mmioFOURCC('X', 'V', 'I', 'D');
    format.biSizeImage = Width * Height * 3;
    ok = ok && vfw::AVIStreamSetFormat(video, 0, &format, sizeof format) == vfw::AVIERR_OK;
    for (size_t i = 0; ok && i < packets.size(); ++i)
        ok =
            vfw::AVIStreamWrite(video, static_cast<vfw::LONG>(i), 1, packets[i].bytes.data(),
                                static_cast<vfw::LONG>(packets[i].bytes.size()),
                                packets[i].key ? vfw::AVIIF_KEYFRAME : 0, nullptr, nullptr) == vfw::AVIERR_OK;
    if (video != nullptr)
        vfw::AVIStreamRelease(video);
    if (file != nullptr)
        vfw::AVIFileRelease(file);
    vfw::AVIFileExit();
    return ok;
}

class SynchronizerPlayer : public ::testing::Test {
protected:
    void SetUp() override {
        if (!writeMpeg4Avi(path))
            GTEST_SKIP() << "no MPEG-4 encoder in this FFmpeg";
    }

    MainWindowLink link() {
        MainWindowLink result;
        result.programFolder = dir.str();
        result.loadLanguageSection = [](std::vector<SectionText>& entries) {
            entries = {{58, "Pause"}, {103, "Frame "}, {104, " is no key frame"}, {105, "beyond"}};
            return true;
        };
        return result;
    }

    TempDir dir{"kes-synch-player"};
    std::string path = dir.file("clip.avi");
    DialogScript script;
};

TEST_F(SynchronizerPlayer, StepsFramesJumpsBetweenKeyFramesAndMarksSplitPoints) {
    TForm6 form(link());
    form.Edit1.setTextSilent(path);
    form.Synch.TotalBytes = 12 * 1024 * 1024;
    std::vector<std::function<void()>> steps;
    std::vector<int32_t> seen;
    int frameCalls = 0;
    size_t next = 0;
    form.onPlayerFrame = [&] {
        ++frameCalls;
        seen.push_back(form.FramePos);
        if (frameCalls > 200) // a test that went wrong must not run for ever
            form.StopFlag = true;
        if (next < steps.size())
            steps[next++]();
    };
    TForm30* playerWindow = nullptr;
    steps = {
        [&] {
            playerWindow = Form30;
            ASSERT_NE(playerWindow, nullptr);
            EXPECT_FALSE(form.Button4.enabled());
            EXPECT_TRUE(form.Set1.enabled());
            EXPECT_EQ(form.FrameCount, FrameCount);
            EXPECT_EQ(form.FrameDelay, 25);
            form.Button6.click(); // pause
            EXPECT_EQ(form.Button6.caption(), "Continue");
            EXPECT_EQ(playerWindow->Button6.caption(), "Continue");
        },
        [&] { playerWindow->Button2.click(); }, // KF >>
        [&] {
            EXPECT_EQ(form.FramePos, 5);
            EXPECT_EQ(playerWindow->Label1.caption(), "5 (+/-   5.0 Mb)");
            EXPECT_EQ(playerWindow->AviTime.caption(), "00:00:00.20 / 00:00:00.48");
            const QImage& shown = playerWindow->Screen.frames()->picture();
            EXPECT_EQ(shown.width(), Width);
            EXPECT_EQ(shown.height(), Height);
            form.Set1.click();
            EXPECT_EQ(form.endp1.caption(), "5");
            EXPECT_EQ(form.Part1End, 5);
            EXPECT_EQ(form.P1Size.caption(), "+/-   5.0 Mb");
            EXPECT_TRUE(form.Wizard.checked());
            EXPECT_TRUE(form.Split.checked());
            playerWindow->Button2.click();
        },
        [&] {
            EXPECT_EQ(form.FramePos, 10);
            playerWindow->Button2.click(); // no key frame after the last one
        },
        [&] {
            EXPECT_LE(form.FramePos, FrameCount - 1);
            EXPECT_EQ(form.FramePos, 10);
            playerWindow->Button1.click(); // << KF
        },
        [&] {
            EXPECT_EQ(form.FramePos, 5);
            playerWindow->Button3.click(); // go to 1/2
        },
        [&] {
            EXPECT_EQ(form.FramePos, 6);
            form.Set2.click(); // 6 is no key frame
            EXPECT_EQ(script.texts("error"), (std::vector<std::string>{"Frame 6 is no key frame"}));
            EXPECT_TRUE(form.Paused);
            form.frameb.setChecked(true);
            form.gotoframe.setText("13");
            form.Button9.click();
            EXPECT_EQ(script.texts("error").back(), "beyond");
            form.gotoframe.setText("10");
            form.Button9.click();
        },
        [&] {
            EXPECT_EQ(form.FramePos, 10);
            form.Set2.click();
            EXPECT_EQ(form.Part2Begin, 10);
            EXPECT_FALSE(form.Wizard.checked()) << "part 2 after part 1 would leave frames out";
            EXPECT_FALSE(form.Split.checked());
            form.Button6.click(); // continue
        },
        [&] {
            for (int i = 0; i < 3; ++i)
                form.Button8.click();
            EXPECT_EQ(form.FrameDelay, 22);
        },
        [&] {},
        [&] {},
        [&] {
            EXPECT_EQ(form.FramePos, FrameCount - 1) << "the player holds on the last frame";
            playerWindow->Button5.click();
        },
    };
    form.Button4.click();
    EXPECT_EQ(next, steps.size());
    EXPECT_EQ(Form30, nullptr) << "the player window goes with the loop";
    EXPECT_TRUE(form.Button4.enabled());
    EXPECT_FALSE(form.Button5.enabled());
    EXPECT_EQ(form.PlayerStream, nullptr);
}

TEST_F(SynchronizerPlayer, PlayerReportsAFileWithoutVideo) {
    TForm6 form(link());
    kes::test::writeBytes(path, "RIFF\x04\x00\x00\x00WAVE");
    form.Edit1.setTextSilent(path);
    form.Button4.click();
    ASSERT_EQ(script.shown().size(), 1u);
    EXPECT_EQ(script.shown()[0].text, "Error no video stream.");
    EXPECT_TRUE(form.Button4.enabled()) << "the wizard can play again";
    EXPECT_EQ(Form30, nullptr);
}

} // namespace
} // namespace tools::synchronizer
