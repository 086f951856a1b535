#include "tests/support/film_title.h"

#include "tests/support/numbered_picture.h"
#include "tests/support/vobgen_video.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kes::test {

namespace fs = std::filesystem;

namespace {

constexpr int64_t kPtsRate = 90000;
constexpr int64_t kNtscFieldTwice = 3003; // two 90 kHz NTSC fields (one field is 1501.5)
constexpr int64_t kPalField = 1800;
constexpr int kDvdMaxRate = 9800000;
constexpr int kDvdVbvBits = 1835008;
constexpr int kDvdMuxRate = 10080000;
constexpr int kDvdPackSize = 2048;
// Film picture i of each group of four begins this many fields into the group's ten, and lasts 2 or 3.
constexpr int kFilmFieldStart[4] = {0, 2, 5, 7};
constexpr int kFilmFields[4] = {2, 3, 2, 3};
constexpr int kFilmGroupFields = 10;

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error("film title: " + what);
}

// A numbered picture n: the moving test picture at the picture's own time, with its number on it.
TestPicture numbered(int width, int height, double seconds, int n) {
    TestPicture p = testPictureAt(width, height, seconds);
    drawPictureNumber(p, n);
    return p;
}

struct Codec {
    AVCodecContext* context = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    AVFormatContext* format = nullptr;
    ~Codec() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&context);
        if (format) {
            if (format->pb)
                avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }
};

std::string runDvdauthor(const fs::path& folder, const fs::path& mpeg, bool pal) {
    const fs::path log = folder / "dvdauthor.log";
    const std::vector<std::string> args = {"dvdauthor",          "-o",         folder.string(), "-t", "-v",
                                           pal ? "pal" : "ntsc", mpeg.string()};
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, STDOUT_FILENO);
        dup2(fd, STDERR_FILENO);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail("dvdauthor failed: " + text.str());
    return text.str();
}

} // namespace

int pictureOfField(const FilmTitle& title, int64_t field) {
    const auto it = std::upper_bound(title.firstField.begin(), title.firstField.end(), field);
    if (it == title.firstField.begin())
        return 0;
    return static_cast<int>(std::distance(title.firstField.begin(), it)) - 1;
}

FilmTitle makeFilmTitle(const fs::path& folder, const FilmTitleSpec& spec) {
    const bool pal = spec.layout == FilmLayout::Pal;
    const int width = 720, height = pal ? 576 : 480;
    FilmTitle title;
    if (!pal) {
        title.fieldRateNum = 60000;
        title.fieldRateDen = 1001;
        title.pictureRateNum = 24000;
        title.pictureRateDen = 1001;
    }
    for (int n = 0; n < spec.pictures; ++n) {
        const int64_t start = pal ? 2 * n : int64_t{n / 4} * kFilmGroupFields + kFilmFieldStart[n % 4];
        title.firstField.push_back(start);
        title.endField.push_back(start + (pal ? 2 : kFilmFields[n % 4]));
    }
    const double pictureSeconds = static_cast<double>(title.pictureRateDen) / title.pictureRateNum;
    // The 90 kHz time of a field, and the coded frames: one per picture, or one per field pair.
    auto fieldTime = [&](int64_t field) {
        return pal ? field * kPalField : (field * kNtscFieldTwice + 1) / 2;
    };
    const bool woven = spec.layout == FilmLayout::HardTelecine;
    const int64_t fields = title.endField.empty() ? 0 : title.endField.back();
    const int64_t frames = woven ? (fields + 1) / 2 : spec.pictures;

    Codec c;
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_MPEG2VIDEO);
    if (!encoder)
        fail("no MPEG-2 encoder");
    c.context = avcodec_alloc_context3(encoder);
    c.frame = av_frame_alloc();
    c.packet = av_packet_alloc();
    AVCodecContext* e = c.context;
    e->width = width;
    e->height = height;
    e->pix_fmt = AV_PIX_FMT_YUV420P;
    e->framerate = pal ? AVRational{25, 1} : AVRational{30000, 1001};
    e->time_base = av_inv_q(e->framerate);
    if (spec.wide)
        e->sample_aspect_ratio = pal ? AVRational{64, 45} : AVRational{32, 27};
    else
        e->sample_aspect_ratio = pal ? AVRational{16, 15} : AVRational{8, 9};
    e->gop_size = spec.gopSize;
    e->max_b_frames = spec.bFrames;
    e->bit_rate = spec.bitRate;
    e->rc_max_rate = std::max(kDvdMaxRate, spec.bitRate);
    e->rc_buffer_size = kDvdVbvBits;
    e->thread_count = 1;
    e->flags |= AV_CODEC_FLAG_BITEXACT;
    if (woven)
        e->flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
    if (avcodec_open2(e, encoder, nullptr) < 0)
        fail("the MPEG-2 encoder does not open");

    fs::create_directories(folder);
    const fs::path mpeg = folder / "title.mpg";
    if (avformat_alloc_output_context2(&c.format, nullptr, "dvd", mpeg.c_str()) < 0 || !c.format)
        fail("no DVD muxer");
    AVStream* stream = avformat_new_stream(c.format, nullptr);
    avcodec_parameters_from_context(stream->codecpar, e);
    // The encoder's buffer size, which the muxer needs to write the DVD's buffer bounds.
    for (int i = 0; i < e->nb_coded_side_data; ++i) {
        const AVPacketSideData& side = e->coded_side_data[i];
        if (uint8_t* data = av_stream_new_side_data(stream, side.type, side.size))
            std::copy_n(side.data, side.size, data);
    }
    stream->time_base = {1, static_cast<int>(kPtsRate)};
    c.format->packet_size = kDvdPackSize;
    av_opt_set_int(c.format->priv_data, "muxrate", kDvdMuxRate, 0);
    if (avio_open(&c.format->pb, mpeg.c_str(), AVIO_FLAG_WRITE) < 0 ||
        avformat_write_header(c.format, nullptr) < 0)
        fail("cannot write " + mpeg.string());

    // Display times in 90 kHz: the picture's first field (film pictures, PAL pictures) or the coded
    // frame's (woven frames). A coded picture is decoded one picture period before the one displayed
    // before it in coding order, as with every B-picture stream.
    auto displayTime = [&](int64_t index) {
        if (woven)
            return index * kNtscFieldTwice;
        if (index < 0)
            return fieldTime(title.firstField.front()) - fieldTime(2);
        return fieldTime(title.firstField[static_cast<size_t>(index)]);
    };
    int64_t coded = 0;
    auto receive = [&] {
        while (avcodec_receive_packet(e, c.packet) == 0) {
            const int64_t index = c.packet->pts;
            if (spec.layout == FilmLayout::SoftTelecine)
                patchPulldown(c.packet->data, c.packet->size, index);
            c.packet->pts = displayTime(index);
            c.packet->dts = displayTime(coded - 1);
            c.packet->stream_index = 0;
            c.packet->duration = 0;
            ++coded;
            if (av_interleaved_write_frame(c.format, c.packet) < 0)
                fail("the DVD muxer refused a picture");
        }
    };
    for (int64_t k = 0; k < frames; ++k) {
        TestPicture p;
        if (woven) {
            const int top = pictureOfField(title, 2 * k);
            const int bottom = pictureOfField(title, std::min(2 * k + 1, fields - 1));
            p = numbered(width, height, top * pictureSeconds, top);
            if (bottom != top)
                takeField(p, numbered(width, height, bottom * pictureSeconds, bottom), 1);
        } else {
            p = numbered(width, height, static_cast<double>(k) * pictureSeconds, static_cast<int>(k));
        }
        fillEncoderFrame(c.frame, p, k, woven);
        if (avcodec_send_frame(e, c.frame) < 0)
            fail("encoding failed");
        av_frame_unref(c.frame);
        receive();
    }
    avcodec_send_frame(e, nullptr);
    receive();
    if (av_write_trailer(c.format) < 0)
        fail("cannot finish " + mpeg.string());
    avio_closep(&c.format->pb);

    title.log = runDvdauthor(folder, mpeg, pal);
    fs::remove(mpeg);
    const fs::path videoTs = folder / "VIDEO_TS";
    title.ifo = videoTs / "VTS_01_0.IFO";
    std::string list;
    for (int n = 1; fs::exists(videoTs / ("VTS_01_" + std::to_string(n) + ".VOB")); ++n) {
        title.vobs.push_back(videoTs / ("VTS_01_" + std::to_string(n) + ".VOB"));
        list += title.vobs.back().string() + "\r\n";
    }
    if (title.vobs.empty())
        fail("dvdauthor wrote no VOB file: " + title.log);
    title.list = videoTs / "vob.lst";
    std::ofstream(title.list, std::ios::binary) << list;
    return title;
}

} // namespace kes::test
