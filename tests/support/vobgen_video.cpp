#include "tests/support/vobgen_video.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace kes::test {

namespace {

constexpr int64_t kPtsRate = 90000;
constexpr int kFilmRateNum = 24000;
constexpr int kFilmRateDen = 1001;
constexpr int kDvdMaxRate = 9800000;
constexpr int kDvdVbvBits = 1835008;
constexpr int kBoxSize = 96;
constexpr double kBoxSpeed = 160.0; // pixels per second
constexpr double kTwoPi = 2.0 * std::numbers::pi;

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error("vobgen video: " + what);
}

uint8_t clampByte(double v) {
    return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

// Where the box stands: it runs to and fro across the picture.
int boxLeft(int width, double seconds) {
    const int span = std::max(width - kBoxSize, 1);
    const int at = static_cast<int>(seconds * kBoxSpeed) % (2 * span);
    return at < span ? at : 2 * span - at;
}

int boxTop(int height, double seconds) {
    return static_cast<int>(height / 3 + 60.0 * std::sin(seconds));
}

double filmSeconds(int64_t f) {
    return static_cast<double>(f) * kFilmRateDen / kFilmRateNum;
}

// Film frames shown by the top and bottom fields of video frame i of each group of five (2:3 pulldown).
constexpr int kTopFilm[5] = {0, 1, 1, 2, 3};
constexpr int kBottomFilm[5] = {0, 1, 2, 3, 3};
// Film picture i of each group of four begins this many fields into the group's ten.
constexpr int kFilmFieldStart[4] = {0, 2, 5, 7};
constexpr int64_t kFilmGroupFields = 10;
constexpr int64_t kNtscFieldTwice = 3003; // two 90 kHz NTSC fields (one field is 1501.5)

// MPEG-2 start codes and the extensions the soft telecine patch rewrites.
constexpr uint8_t kExtensionCode = 0xB5;
constexpr int kSequenceExtension = 1;
constexpr int kPictureCodingExtension = 8;
constexpr uint8_t kProgressiveSequenceBit = 0x08; // in the sequence extension's second byte
constexpr uint8_t kTopFieldFirstBit = 0x80;       // in the picture coding extension's fourth byte
constexpr uint8_t kRepeatFirstFieldBit = 0x02;

// Frames whose two fields show two moments (film pictures coded whole show one).
bool interlacedScan(const VobVideoSpec& spec) {
    return spec.scan == VideoScan::Interlaced || spec.scan == VideoScan::Telecined;
}

struct Encoder {
    AVCodecContext* context = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    ~Encoder() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&context);
    }
};

void openEncoder(Encoder& e, const VobVideoSpec& spec, const VideoGeometry& g) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG2VIDEO);
    if (!codec)
        fail("no MPEG-2 encoder");
    e.context = avcodec_alloc_context3(codec);
    e.frame = av_frame_alloc();
    e.packet = av_packet_alloc();
    AVCodecContext* c = e.context;
    c->width = g.width;
    c->height = g.height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = {g.rateDen, g.rateNum};
    c->framerate = {g.rateNum, g.rateDen};
    c->sample_aspect_ratio = spec.standard == VideoStandard::Pal ? AVRational{16, 15} : AVRational{8, 9};
    c->gop_size = spec.gopSize;
    c->max_b_frames = spec.bFrames;
    c->bit_rate = spec.bitRate;
    c->rc_max_rate = std::max(kDvdMaxRate, spec.bitRate);
    c->rc_buffer_size = kDvdVbvBits;
    c->thread_count = spec.threads;
    c->flags |= AV_CODEC_FLAG_BITEXACT;
    if (interlacedScan(spec))
        c->flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
    if (avcodec_open2(c, codec, nullptr) < 0)
        fail("the MPEG-2 encoder does not open");
}

} // namespace

void patchPulldown(uint8_t* data, int size, int64_t displayIndex) {
    const int phase = static_cast<int>(displayIndex % 4);
    const bool topFirst = phase < 2;
    const bool repeat = phase % 2 == 1;
    for (int i = 0; i + 8 < size; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1 || data[i + 3] != kExtensionCode)
            continue;
        uint8_t* ext = data + i + 4;
        const int id = ext[0] >> 4;
        if (id == kSequenceExtension)
            ext[1] &= static_cast<uint8_t>(~kProgressiveSequenceBit);
        if (id == kPictureCodingExtension) {
            ext[3] = static_cast<uint8_t>((ext[3] & ~(kTopFieldFirstBit | kRepeatFirstFieldBit)) |
                                          (topFirst ? kTopFieldFirstBit : 0) |
                                          (repeat ? kRepeatFirstFieldBit : 0));
        }
    }
}

int64_t pulldownStamp(int64_t n) {
    const int64_t field = n / 4 * kFilmGroupFields + kFilmFieldStart[n % 4];
    return (field * kNtscFieldTwice + 1) / 2;
}

void takeField(TestPicture& into, const TestPicture& from, int field) {
    for (int y = field; y < into.height; y += 2)
        std::copy_n(from.y.begin() + y * from.width, from.width, into.y.begin() + y * into.width);
    const int cw = into.width / 2;
    for (int y = field; y < into.height / 2; y += 2) {
        std::copy_n(from.u.begin() + y * cw, cw, into.u.begin() + y * cw);
        std::copy_n(from.v.begin() + y * cw, cw, into.v.begin() + y * cw);
    }
}

void fillEncoderFrame(AVFrame* frame, const TestPicture& p, int64_t n, bool interlaced) {
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = p.width;
    frame->height = p.height;
    if (av_frame_get_buffer(frame, 0) < 0)
        fail("no frame buffer");
    for (int y = 0; y < p.height; ++y)
        std::copy_n(p.y.begin() + y * p.width, p.width, frame->data[0] + y * frame->linesize[0]);
    for (int y = 0; y < p.height / 2; ++y) {
        std::copy_n(p.u.begin() + y * p.width / 2, p.width / 2, frame->data[1] + y * frame->linesize[1]);
        std::copy_n(p.v.begin() + y * p.width / 2, p.width / 2, frame->data[2] + y * frame->linesize[2]);
    }
    frame->pts = n;
    frame->interlaced_frame = interlaced;
    frame->top_field_first = 1;
}

VideoGeometry videoGeometry(const VobVideoSpec& spec) {
    if (spec.standard == VideoStandard::Pal)
        return {720, 576, 25, 1};
    return {720, 480, 30000, 1001};
}

int64_t videoFrameCount(const VobVideoSpec& spec, double seconds) {
    if (spec.scan == VideoScan::SoftTelecined)
        return static_cast<int64_t>(std::ceil(seconds * kFilmRateNum / kFilmRateDen - 1e-9));
    const VideoGeometry g = videoGeometry(spec);
    return static_cast<int64_t>(std::ceil(seconds * g.rateNum / g.rateDen - 1e-9));
}

double frameStart(const VobVideoSpec& spec, int64_t n) {
    if (spec.scan == VideoScan::SoftTelecined)
        return static_cast<double>(pulldownStamp(n)) / kPtsRate;
    const VideoGeometry g = videoGeometry(spec);
    return static_cast<double>(n) * g.rateDen / g.rateNum;
}

TestPicture testPictureAt(int width, int height, double t) {
    TestPicture p{width, height, {}, {}, {}};
    p.y.resize(static_cast<size_t>(width) * height);
    p.u.resize(static_cast<size_t>(width / 2) * (height / 2));
    p.v.resize(p.u.size());
    // A drifting wave pattern over a gradient: separable, so one table per axis.
    std::vector<double> across(width), down(height);
    for (int x = 0; x < width; ++x)
        across[x] = std::sin(kTwoPi * (x / 90.0 + t * 0.5));
    for (int y = 0; y < height; ++y)
        down[y] = std::cos(kTwoPi * (y / 70.0 - t * 0.3));
    const int bx = boxLeft(width, t), by = boxTop(height, t);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool inBox = x >= bx && x < bx + kBoxSize && y >= by && y < by + kBoxSize;
            const double value = inBox ? 225.0 : 60.0 + 0.15 * x + 45.0 * across[x] * down[y];
            p.y[static_cast<size_t>(y) * width + x] = clampByte(value);
        }
    }
    const int cw = width / 2, ch = height / 2;
    for (int y = 0; y < ch; ++y) {
        for (int x = 0; x < cw; ++x) {
            const bool inBox = 2 * x >= bx && 2 * x < bx + kBoxSize && 2 * y >= by && 2 * y < by + kBoxSize;
            const size_t at = static_cast<size_t>(y) * cw + x;
            p.u[at] = inBox ? 90 : clampByte(128.0 + 60.0 * std::sin(kTwoPi * x / cw + t));
            p.v[at] = inBox ? 200 : clampByte(128.0 + 60.0 * std::cos(kTwoPi * y / ch - t));
        }
    }
    return p;
}

TestPicture filmFrame(const VobVideoSpec& spec, int64_t f) {
    const VideoGeometry g = videoGeometry(spec);
    return testPictureAt(g.width, g.height, filmSeconds(f));
}

TestPicture sourceFrame(const VobVideoSpec& spec, int64_t n) {
    const VideoGeometry g = videoGeometry(spec);
    const double period = static_cast<double>(g.rateDen) / g.rateNum;
    switch (spec.scan) {
    case VideoScan::Progressive:
        return testPictureAt(g.width, g.height, n * period);
    case VideoScan::SoftTelecined:
        return filmFrame(spec, n);
    case VideoScan::Interlaced: {
        TestPicture p = testPictureAt(g.width, g.height, n * period);
        takeField(p, testPictureAt(g.width, g.height, (n + 0.5) * period), 1);
        return p;
    }
    case VideoScan::Telecined: {
        const int64_t group = n / 5;
        const int i = static_cast<int>(n % 5);
        TestPicture p = filmFrame(spec, group * 4 + kTopFilm[i]);
        if (kBottomFilm[i] != kTopFilm[i])
            takeField(p, filmFrame(spec, group * 4 + kBottomFilm[i]), 1);
        return p;
    }
    }
    fail("scan");
}

bool flashFrame(const VobVideoSpec& spec, int64_t n) {
    const double t = frameStart(spec, n);
    return std::any_of(spec.flashes.begin(), spec.flashes.end(),
                       [&](double f) { return t >= f - 1e-9 && t < f + spec.flashSeconds - 1e-9; });
}

VobVideoMaker mpeg2Video(const VobVideoSpec& spec) {
    return [spec](const VobSpec& set, std::vector<VobUnit>& units) {
        const VideoGeometry g = videoGeometry(spec);
        Encoder e;
        openEncoder(e, spec, g);
        std::vector<uint8_t> video;
        auto receive = [&] {
            while (avcodec_receive_packet(e.context, e.packet) == 0) {
                int64_t pts = av_rescale_q(e.packet->pts, e.context->time_base, {1, kPtsRate});
                if (spec.scan == VideoScan::SoftTelecined) {
                    patchPulldown(e.packet->data, e.packet->size, e.packet->pts);
                    pts = pulldownStamp(e.packet->pts);
                }
                units.push_back({video.size(), static_cast<size_t>(e.packet->size), pts});
                video.insert(video.end(), e.packet->data, e.packet->data + e.packet->size);
                av_packet_unref(e.packet);
            }
        };
        const int64_t frames = videoFrameCount(spec, set.seconds);
        for (int64_t n = 0; n < frames; ++n) {
            TestPicture picture = sourceFrame(spec, n);
            const bool flash = flashFrame(spec, n);
            if (flash) {
                std::fill(picture.y.begin(), picture.y.end(), uint8_t{235});
                std::fill(picture.u.begin(), picture.u.end(), uint8_t{128});
                std::fill(picture.v.begin(), picture.v.end(), uint8_t{128});
            }
            fillEncoderFrame(e.frame, picture, n, interlacedScan(spec));
            if (flash && spec.intraFlashes && (n == 0 || !flashFrame(spec, n - 1)))
                e.frame->pict_type = AV_PICTURE_TYPE_I;
            if (avcodec_send_frame(e.context, e.frame) < 0)
                fail("encoding failed");
            av_frame_unref(e.frame);
            receive();
        }
        avcodec_send_frame(e.context, nullptr);
        receive();
        // The sequence end code closes the stream as on a disc.
        const uint8_t end[] = {0, 0, 1, 0xB7};
        video.insert(video.end(), std::begin(end), std::end(end));
        if (!units.empty())
            units.back().size += sizeof end;
        return video;
    };
}

} // namespace kes::test
