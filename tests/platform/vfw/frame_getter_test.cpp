// The frame getter on MPEG-4 streams encoded here with FFmpeg and on uncompressed DIB streams, and
// DrawDib onto a memory surface.
#include "platform/vfw/vfw.h"

#include "tests/platform/vfw/avi_test_util.h"
#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

using namespace platform::vfw;
using namespace kes::test;

namespace {

constexpr int Width = 64;
constexpr int Height = 48;

struct EncodedFrame {
    std::string bytes;
    bool key = false;
};

// Frame i is a flat colour: Y rising with i, U and V fixed so that the picture is reddish.
int lumaOf(int i) {
    return 60 + 10 * i;
}

std::vector<EncodedFrame> encode(AVCodecID id, int frames, int gop) {
    std::vector<EncodedFrame> out;
    const AVCodec* codec = avcodec_find_encoder(id);
    if (codec == nullptr)
        return out;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->width = Width;
    ctx->height = Height;
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx->time_base = {1, 25};
    ctx->gop_size = gop;
    ctx->max_b_frames = 0;
    ctx->bit_rate = 400000;
    // Every frame differs from the one before; without this the encoder would see scene cuts.
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
    auto drain = [&] {
        while (avcodec_receive_packet(ctx, pkt) == 0) {
            out.push_back({std::string(reinterpret_cast<char*>(pkt->data), static_cast<size_t>(pkt->size)),
                           (pkt->flags & AV_PKT_FLAG_KEY) != 0});
            av_packet_unref(pkt);
        }
    };
    for (int i = 0; i < frames; ++i) {
        av_frame_make_writable(frame);
        for (int y = 0; y < Height; ++y)
            std::memset(frame->data[0] + y * frame->linesize[0], lumaOf(i), Width);
        for (int y = 0; y < Height / 2; ++y) {
            std::memset(frame->data[1] + y * frame->linesize[1], 110, Width / 2);
            std::memset(frame->data[2] + y * frame->linesize[2], 170, Width / 2);
        }
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

void writeVideo(const std::string& path, FOURCC fcc, const std::vector<EncodedFrame>& frames,
                const std::vector<uint8_t>& format) {
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIFileOpen(&file, path, OF_CREATE | OF_WRITE), AVIERR_OK);
    AVISTREAMINFO vi = videoInfo(25, 1, fcc);
    PAVISTREAM video = nullptr;
    ASSERT_EQ(AVIFileCreateStream(file, &video, &vi), AVIERR_OK);
    ASSERT_EQ(AVIStreamSetFormat(video, 0, format.data(), static_cast<LONG>(format.size())), AVIERR_OK);
    for (size_t i = 0; i < frames.size(); ++i)
        ASSERT_EQ(AVIStreamWrite(video, static_cast<LONG>(i), 1, frames[i].bytes.data(),
                                 static_cast<LONG>(frames[i].bytes.size()),
                                 frames[i].key ? AVIIF_KEYFRAME : 0, nullptr, nullptr),
                  AVIERR_OK);
    AVIStreamRelease(video);
    AVIFileRelease(file);
}

std::vector<uint8_t> headerBytes(const BITMAPINFOHEADER& h) {
    const auto* p = reinterpret_cast<const uint8_t*>(&h);
    return {p, p + sizeof h};
}

std::string dibBytes(const BITMAPINFOHEADER* dib) {
    return std::string(reinterpret_cast<const char*>(dib), sizeof *dib + dib->biSizeImage);
}

// The expected RGB of frame i (BT.601, limited range), as 0xRRGGBB.
uint32_t expectedColour(int i) {
    const double c = 1.164 * (lumaOf(i) - 16);
    const double r = c + 1.596 * (170 - 128);
    const double g = c - 0.392 * (110 - 128) - 0.813 * (170 - 128);
    const double b = c + 2.017 * (110 - 128);
    auto clip = [](double v) { return static_cast<uint32_t>(std::clamp(v, 0.0, 255.0) + 0.5); };
    return clip(r) << 16 | clip(g) << 8 | clip(b);
}

void expectNear(uint32_t actual, uint32_t expected, int tolerance, const std::string& what) {
    for (int shift : {16, 8, 0}) {
        const int a = static_cast<int>(actual >> shift & 0xFF);
        const int e = static_cast<int>(expected >> shift & 0xFF);
        EXPECT_NEAR(a, e, tolerance) << what << " channel shift " << shift;
    }
}

class FrameGetter : public ::testing::TestWithParam<std::pair<AVCodecID, FOURCC>> {
protected:
    TempDir dir{"kes-vfw-getframe"};
};

TEST_P(FrameGetter, DecodesEveryFrameInAnyOrder) {
    const auto [codec, fcc] = GetParam();
    const auto frames = encode(codec, 12, 5);
    ASSERT_EQ(frames.size(), 12u);
    const std::string path = dir.file("mpeg4.avi");
    writeVideo(path, fcc, frames, headerBytes(bitmapFormat(Width, Height, fcc)));

    PAVISTREAM s = nullptr;
    ASSERT_EQ(AVIStreamOpenFromFile(&s, path, streamtypeVIDEO, 0, OF_READ), AVIERR_OK);
    for (LONG i = 0; i < 12; ++i)
        EXPECT_EQ(AVIStreamIsKeyFrame(s, i) != FALSE, frames[static_cast<size_t>(i)].key) << "frame " << i;
    EXPECT_FALSE(AVIStreamIsKeyFrame(s, 6)); // decoding frame 6 starts at the key frame before it
    PGETFRAME g = AVIStreamGetFrameOpen(s, nullptr);
    ASSERT_NE(g, nullptr);
    std::vector<std::string> inOrder;
    for (LONG i = 0; i < 12; ++i) {
        const BITMAPINFOHEADER* dib = AVIStreamGetFrame(g, i);
        ASSERT_NE(dib, nullptr) << "frame " << i;
        EXPECT_EQ(dib->biWidth, Width);
        EXPECT_EQ(dib->biHeight, Height);
        EXPECT_EQ(dib->biBitCount, 24);
        const auto* px = reinterpret_cast<const uint8_t*>(dib + 1) + (Height / 2 * Width + Width / 2) * 3;
        expectNear(static_cast<uint32_t>(px[2] << 16 | px[1] << 8 | px[0]), expectedColour(i), 12,
                   "frame " + std::to_string(i));
        inOrder.push_back(dibBytes(dib));
    }
    for (LONG i : {7, 2, 11, 3, 3, 0, 9}) {
        const BITMAPINFOHEADER* dib = AVIStreamGetFrame(g, i);
        ASSERT_NE(dib, nullptr);
        EXPECT_EQ(dibBytes(dib), inOrder[static_cast<size_t>(i)]) << "frame " << i;
    }
    EXPECT_EQ(AVIStreamGetFrame(g, 12), nullptr);
    EXPECT_EQ(AVIStreamGetFrame(g, -1), nullptr);
    EXPECT_EQ(AVIStreamGetFrameClose(g), AVIERR_OK);

    // 32 bits on request, the same picture.
    BITMAPINFOHEADER wanted;
    wanted.biBitCount = 32;
    g = AVIStreamGetFrameOpen(s, &wanted);
    ASSERT_NE(g, nullptr);
    const BITMAPINFOHEADER* dib = AVIStreamGetFrame(g, 4);
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(dib->biBitCount, 32);
    const auto* px = reinterpret_cast<const uint8_t*>(dib + 1);
    expectNear(static_cast<uint32_t>(px[2] << 16 | px[1] << 8 | px[0]), expectedColour(4), 12, "32-bit");

    // DrawDib puts the frame on a surface.
    ArgbSurface surface(100, 100);
    HDRAWDIB hdd = DrawDibOpen();
    ASSERT_TRUE(DrawDibStart(hdd, 40000));
    ASSERT_TRUE(DrawDibDraw(hdd, &surface, 0, 70, -1, -1, dib, nullptr, 0, 0, -1, -1, 0));
    expectNear(surface.pixel(10, 80), expectedColour(4), 12, "drawn");
    EXPECT_EQ(surface.pixel(10, 10), 0u);
    EXPECT_TRUE(DrawDibStop(hdd));
    EXPECT_TRUE(DrawDibClose(hdd));
    AVIStreamGetFrameClose(g);
    AVIStreamRelease(s);
}

TEST_P(FrameGetter, DroppedFramesRepeatThePictureBefore) {
    const auto [codec, fcc] = GetParam();
    auto frames = encode(codec, 12, 5);
    ASSERT_EQ(frames.size(), 12u);
    // Frames 6 to 8 dropped (empty chunks): the stream is 15 frames long.
    frames.insert(frames.begin() + 6, 3, EncodedFrame{});
    const std::string path = dir.file("dropped.avi");
    writeVideo(path, fcc, frames, headerBytes(bitmapFormat(Width, Height, fcc)));
    PAVISTREAM s = nullptr;
    ASSERT_EQ(AVIStreamOpenFromFile(&s, path, streamtypeVIDEO, 0, OF_READ), AVIERR_OK);
    PGETFRAME g = AVIStreamGetFrameOpen(s, nullptr);
    ASSERT_NE(g, nullptr);
    std::vector<std::string> shown;
    for (LONG i : {0, 5, 6, 7, 8, 9, 14, 8, 6, 7}) {
        const BITMAPINFOHEADER* dib = AVIStreamGetFrame(g, i);
        ASSERT_NE(dib, nullptr) << "frame " << i;
        shown.push_back(dibBytes(dib));
        const int picture = i < 6 ? i : (i <= 8 ? 5 : i - 3);
        const auto* px = reinterpret_cast<const uint8_t*>(dib + 1) + (Height / 2 * Width + Width / 2) * 3;
        expectNear(static_cast<uint32_t>(px[2] << 16 | px[1] << 8 | px[0]), expectedColour(picture), 12,
                   "frame " + std::to_string(i));
    }
    EXPECT_EQ(shown[2], shown[1]);
    EXPECT_EQ(shown[4], shown[1]);
    EXPECT_EQ(shown[7], shown[1]);
    AVIStreamGetFrameClose(g);
    AVIStreamRelease(s);
}

INSTANTIATE_TEST_SUITE_P(Mpeg4, FrameGetter,
                         ::testing::Values(std::make_pair(AV_CODEC_ID_MPEG4, mmioFOURCC('X', 'V', 'I', 'D')),
                                           std::make_pair(AV_CODEC_ID_MPEG4, mmioFOURCC('D', 'X', '5', '0')),
                                           std::make_pair(AV_CODEC_ID_MSMPEG4V3,
                                                          mmioFOURCC('d', 'i', 'v', '3'))));

class UncompressedFrames : public ::testing::Test {
protected:
    TempDir dir{"kes-vfw-dib"};
};

TEST_F(UncompressedFrames, AreHandedOutAsStoredOrConverted) {
    // 4 × 2 pixels, 24 bits, bottom-up: the stored first row is the picture's bottom row.
    std::string rows;
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x)
            rows +=
                std::string{static_cast<char>(x * 10), static_cast<char>(y * 100), static_cast<char>(200)};
    }
    const std::string empty; // a dropped frame repeats the one before it
    writeVideo(dir.file("rgb.avi"), 0, {{rows, true}, {empty, false}},
               headerBytes(bitmapFormat(4, 2, BI_RGB, 24)));
    PAVISTREAM s = nullptr;
    ASSERT_EQ(AVIStreamOpenFromFile(&s, dir.file("rgb.avi"), streamtypeVIDEO, 0, OF_READ), AVIERR_OK);
    PGETFRAME g = AVIStreamGetFrameOpen(s, nullptr);
    ASSERT_NE(g, nullptr);
    const BITMAPINFOHEADER* dib = AVIStreamGetFrame(g, 1);
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(dib + 1), rows.size()), rows);
    ArgbSurface surface(4, 2);
    HDRAWDIB hdd = DrawDibOpen();
    ASSERT_TRUE(DrawDibDraw(hdd, &surface, 0, 0, -1, -1, dib, nullptr, 0, 0, -1, -1, 0));
    EXPECT_EQ(surface.pixel(3, 1), 0xFFC8001Eu); // bottom row: blue 30, green 0, red 200
    EXPECT_EQ(surface.pixel(0, 0), 0xFFC86400u); // top row: green 100
    // Stretched to twice the size.
    ArgbSurface big(8, 4);
    ASSERT_TRUE(DrawDibDraw(hdd, &big, 0, 0, 8, 4, dib, nullptr, 0, 0, 4, 2, 0));
    EXPECT_EQ(big.pixel(7, 3), 0xFFC8001Eu);
    DrawDibClose(hdd);
    AVIStreamGetFrameClose(g);
    AVIStreamRelease(s);
}

TEST_F(UncompressedFrames, PalettedFramesBecome24Bits) {
    BITMAPINFOHEADER h = bitmapFormat(4, 1, BI_RGB, 8);
    h.biClrUsed = 2;
    auto format = headerBytes(h);
    for (uint32_t colour : {0x00000000u, 0x0011AAFFu}) // palette entries are B, G, R, 0
        for (int i = 0; i < 4; ++i)
            format.push_back(static_cast<uint8_t>(colour >> (8 * i)));
    writeVideo(dir.file("pal.avi"), 0, {{std::string("\x00\x01\x01\x00", 4), true}}, format);
    PAVISTREAM s = nullptr;
    ASSERT_EQ(AVIStreamOpenFromFile(&s, dir.file("pal.avi"), streamtypeVIDEO, 0, OF_READ), AVIERR_OK);
    PGETFRAME g = AVIStreamGetFrameOpen(s, nullptr);
    ASSERT_NE(g, nullptr);
    const BITMAPINFOHEADER* dib = AVIStreamGetFrame(g, 0);
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(dib->biBitCount, 24);
    const auto* px = reinterpret_cast<const uint8_t*>(dib + 1);
    EXPECT_EQ(px[3], 0xFF); // pixel 1: B
    EXPECT_EQ(px[4], 0xAA);
    EXPECT_EQ(px[5], 0x11);
    EXPECT_EQ(px[0], 0);
    AVIStreamGetFrameClose(g);

    // Formats that cannot be given: an unknown codec, a depth nobody asked for.
    BITMAPINFOHEADER wanted;
    wanted.biBitCount = 16;
    EXPECT_EQ(AVIStreamGetFrameOpen(s, &wanted), nullptr);
    AVIStreamRelease(s);
    writeVideo(dir.file("other.avi"), mmioFOURCC('H', '2', '6', '4'), {{"x", true}},
               headerBytes(bitmapFormat(4, 2, mmioFOURCC('H', '2', '6', '4'))));
    ASSERT_EQ(AVIStreamOpenFromFile(&s, dir.file("other.avi"), streamtypeVIDEO, 0, OF_READ), AVIERR_OK);
    EXPECT_EQ(AVIStreamGetFrameOpen(s, nullptr), nullptr);
    AVIStreamRelease(s);
}

// ---- B-pictures: coding order differs from showing order ----

constexpr int BFrames = 40;

bool isBVop(const std::string& chunk) {
    const size_t at = chunk.find(std::string("\x00\x00\x01\xB6", 4));
    return at != std::string::npos && at + 4 < chunk.size() &&
           (static_cast<uint8_t>(chunk[at + 4]) >> 6) == 2;
}

// The stream as a DivX-style packed one: the first B-VOP after a reference picture travels in its chunk,
// and a not-coded VOP stands in the reference picture's own slot after the last B-VOP. The first chunk
// carries the user data that marks packing.
std::vector<EncodedFrame> packed(const std::vector<LavfPacket>& packets) {
    // A not-coded P-VOP for a time resolution of 25 (5 bits of time increment), stuffed to a byte.
    const std::string notCoded("\x00\x00\x01\xB6\x50\x4F", 6);
    std::vector<EncodedFrame> out;
    for (size_t i = 0; i < packets.size();) {
        std::string ref = packets[i].bytes;
        const bool key = packets[i].key;
        size_t b = i + 1;
        while (b < packets.size() && isBVop(packets[b].bytes))
            ++b;
        if (i == 0) {
            const size_t vop = ref.find(std::string("\x00\x00\x01\xB6", 4));
            ref.insert(vop, std::string("\x00\x00\x01\xB2") + "DivX503b1393p");
        }
        if (b == i + 1) {
            out.push_back({ref, key});
        } else {
            out.push_back({ref + packets[i + 1].bytes, key});
            for (size_t j = i + 2; j < b; ++j)
                out.push_back({packets[j].bytes, false});
            out.push_back({notCoded, false});
        }
        i = b;
    }
    return out;
}

// Mean absolute difference of a 24-bit bottom-up frame from a top-down 0xRRGGBB picture.
double meanDifference(const BITMAPINFOHEADER* dib, const std::vector<uint32_t>& picture) {
    const auto* rows = reinterpret_cast<const uint8_t*>(dib + 1);
    const int stride = (dib->biWidth * 3 + 3) & ~3;
    double sum = 0;
    for (int y = 0; y < dib->biHeight; ++y)
        for (int x = 0; x < dib->biWidth; ++x) {
            const uint8_t* px = rows + (dib->biHeight - 1 - y) * stride + x * 3;
            const uint32_t e = picture[static_cast<size_t>(y * dib->biWidth + x)];
            sum += std::abs(px[2] - static_cast<int>(e >> 16 & 0xFF)) +
                   std::abs(px[1] - static_cast<int>(e >> 8 & 0xFF)) +
                   std::abs(px[0] - static_cast<int>(e & 0xFF));
        }
    return sum / (3.0 * dib->biWidth * dib->biHeight);
}

class ReorderedFrames : public ::testing::TestWithParam<bool> {
protected:
    TempDir dir{"kes-vfw-bframes"};
};

// Every frame number gives the picture that FFmpeg shows at that number, in any order of asking,
// the last frames included; packed streams alike.
TEST_P(ReorderedFrames, EveryFrameIsTheOneShownThere) {
    const bool pack = GetParam();
    const std::string written = dir.file("bframes.avi");
    LavfAviSpec spec;
    spec.frames = BFrames;
    spec.gop = 12;
    spec.bFrames = 2;
    spec.audio = LavfAudio::None;
    std::string error;
    ASSERT_TRUE(writeLavfAvi(written, spec, &error)) << error;
    const LavfVideo reference = readLavfVideo(written);
    ASSERT_EQ(reference.pictures.size(), static_cast<size_t>(BFrames));
    ASSERT_EQ(reference.packets.size(), static_cast<size_t>(BFrames));
    ASSERT_GE(std::count_if(reference.packets.begin(), reference.packets.end(),
                            [](const LavfPacket& p) { return isBVop(p.bytes); }),
              20);
    std::string path = written;
    if (pack) {
        path = dir.file("packed.avi");
        const auto chunks = packed(reference.packets);
        ASSERT_EQ(chunks.size(), static_cast<size_t>(BFrames));
        writeVideo(path, mmioFOURCC('D', 'X', '5', '0'), chunks,
                   headerBytes(bitmapFormat(spec.width, spec.height, mmioFOURCC('D', 'X', '5', '0'))));
    }

    PAVISTREAM s = nullptr;
    ASSERT_EQ(AVIStreamOpenFromFile(&s, path, streamtypeVIDEO, 0, OF_READ), AVIERR_OK);
    ASSERT_EQ(AVIStreamLength(s), BFrames);
    std::vector<LONG> ascending(BFrames);
    std::iota(ascending.begin(), ascending.end(), 0);
    std::vector<LONG> descending(ascending.rbegin(), ascending.rend());
    std::vector<LONG> shuffled = ascending;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    for (const auto& [name, order] : {std::pair{"in order", ascending}, std::pair{"backwards", descending},
                                      std::pair{"shuffled", shuffled}}) {
        PGETFRAME g = AVIStreamGetFrameOpen(s, nullptr);
        ASSERT_NE(g, nullptr);
        for (const LONG i : order) {
            const BITMAPINFOHEADER* dib = AVIStreamGetFrame(g, i);
            ASSERT_NE(dib, nullptr) << name << ", frame " << i;
            // The same picture up to the colour conversion's rounding, and nearer to it than to any other.
            std::vector<double> d;
            for (const auto& picture : reference.pictures)
                d.push_back(meanDifference(dib, picture));
            EXPECT_LT(d[static_cast<size_t>(i)], 1.0) << name << ", frame " << i;
            EXPECT_EQ(std::min_element(d.begin(), d.end()) - d.begin(), i) << name << ", frame " << i;
        }
        EXPECT_EQ(AVIStreamGetFrame(g, BFrames), nullptr);
        AVIStreamGetFrameClose(g);
    }
    AVIStreamRelease(s);
}

INSTANTIATE_TEST_SUITE_P(BPictures, ReorderedFrames, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) {
                             return p.param ? "Packed" : "Unpacked";
                         });

} // namespace
