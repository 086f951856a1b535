#include "bench/support/natural_title.h"

#include "bench/support/bench_tools.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <numbers>

namespace kes::bench {

namespace fs = std::filesystem;

namespace {

constexpr const char* PhotoPackage = "mate-backgrounds";
constexpr const char* PhotoDir = "/usr/share/backgrounds/mate/nature";
constexpr int AudioRate = 48000;
constexpr int AudioChannels = 6;
constexpr double BeepSeconds = 0.1;
constexpr double BeepHz = 1000.0;
constexpr int Batch = 16; // frames rendered in parallel before they are written in order

// A fast deterministic generator for the grain: each picture row gets its own sequence.
struct Grain {
    uint64_t state;
    explicit Grain(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<uint32_t>(state >> 32);
    }
    // Triangular noise in [-2 * half, 2 * half]: two uniform values added.
    int triangular(int half) {
        const uint32_t r = next();
        const int span = 2 * half + 1;
        return static_cast<int>((r & 0xffff) % span) + static_cast<int>((r >> 16) % span) - 2 * half;
    }
};

uint8_t clamp8(int v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

// The view of a shot at a fraction p (0..1) of its length: the top-left corner and the size of the
// window on the photograph, in photograph pixels. Four kinds of motion: zoom in, pan right, zoom out
// towards a corner, pan diagonally down.
struct View {
    double x, y, w, h;
};
View viewOf(int shot, double p) {
    const int kind = (shot + shot / 12) % 4;
    const double smooth = p * p * (3 - 2 * p); // eases in and out as a camera would
    double zoom = 1.25, fx = 0.5, fy = 0.5;
    switch (kind) {
    case 0:
        zoom = 1.0 + 0.45 * smooth;
        break;
    case 1:
        fx = smooth;
        break;
    case 2:
        zoom = 1.45 - 0.45 * smooth;
        fx = 0.2;
        fy = 0.3;
        break;
    default:
        zoom = 1.2;
        fx = 1.0 - smooth;
        fy = smooth;
        break;
    }
    const double w = PhotoWidth / zoom, h = PhotoHeight / zoom;
    return {(PhotoWidth - w) * fx, (PhotoHeight - h) * fy, w, h};
}

// Bilinear sampling of one plane of the photograph into one plane of the picture.
void samplePlane(const uint8_t* src, int sw, int sh, const View& v, double scale, uint8_t* dst, int dw,
                 int dh, int grainHalf, uint64_t seed) {
    const double stepX = v.w * scale / dw, stepY = v.h * scale / dh;
    for (int y = 0; y < dh; ++y) {
        Grain row(seed + static_cast<uint64_t>(y));
        const double sy = std::clamp(v.y * scale + (y + 0.5) * stepY - 0.5, 0.0, sh - 1.001);
        const int y0 = static_cast<int>(sy);
        const int fy = static_cast<int>((sy - y0) * 256);
        const uint8_t* r0 = src + static_cast<size_t>(y0) * sw;
        const uint8_t* r1 = r0 + sw;
        uint8_t* out = dst + static_cast<size_t>(y) * dw;
        for (int x = 0; x < dw; ++x) {
            const double sx = std::clamp(v.x * scale + (x + 0.5) * stepX - 0.5, 0.0, sw - 1.001);
            const int x0 = static_cast<int>(sx);
            const int fx = static_cast<int>((sx - x0) * 256);
            const int top = r0[x0] * (256 - fx) + r0[x0 + 1] * fx;
            const int bottom = r1[x0] * (256 - fx) + r1[x0 + 1] * fx;
            const int value = (top * (256 - fy) + bottom * fy + (1 << 15)) >> 16;
            out[x] = clamp8(value + (grainHalf > 0 ? row.triangular(grainHalf) : 0));
        }
    }
}

bool isMark(int frame) {
    const int first = static_cast<int>(MarkFirst * TitleFps);
    const int period = static_cast<int>(MarkPeriod * TitleFps);
    return frame >= first && (frame - first) % period == 0;
}

std::vector<Photo> loadPhotos(const fs::path& dir, const fs::path& work) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().extension() == ".jpg")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    if (files.empty())
        fail("no photographs in " + dir.string());
    std::vector<Photo> photos;
    const fs::path raw = work / "photo.yuv";
    const std::string fit =
        "scale=" + std::to_string(PhotoWidth) + ":" + std::to_string(PhotoHeight) +
        ":force_original_aspect_ratio=increase:flags=lanczos,crop=" + std::to_string(PhotoWidth) + ":" +
        std::to_string(PhotoHeight);
    for (const auto& file : files) {
        timed({"ffmpeg", "-nostdin", "-y", "-loglevel", "error", "-i", file.string(), "-vf", fit, "-pix_fmt",
               "yuv420p", "-f", "rawvideo", raw.string()});
        Photo photo;
        photo.yuv.resize(static_cast<size_t>(PhotoWidth) * PhotoHeight * 3 / 2);
        std::ifstream in(raw, std::ios::binary);
        in.read(reinterpret_cast<char*>(photo.yuv.data()), static_cast<std::streamsize>(photo.yuv.size()));
        if (in.gcount() != static_cast<std::streamsize>(photo.yuv.size()))
            fail("cannot decode " + file.string());
        photos.push_back(std::move(photo));
    }
    fs::remove(raw);
    return photos;
}

// Noise on every channel, mostly low (a common part and a part of each channel's own) with a little
// hiss, and the beeps.
void writeAudio(const fs::path& raw, double seconds) {
    const auto samples = static_cast<int64_t>(std::llround(seconds * AudioRate));
    std::ofstream out(raw, std::ios::binary | std::ios::trunc);
    Grain noise(7);
    double common = 0, own[AudioChannels] = {};
    std::vector<int16_t> block;
    const auto beepSamples = static_cast<int64_t>(BeepSeconds * AudioRate);
    const auto firstMark = static_cast<int64_t>(MarkFirst * AudioRate);
    const auto period = static_cast<int64_t>(MarkPeriod * AudioRate);
    for (int64_t i = 0; i < samples; ++i) {
        const auto white = [&] { return static_cast<double>(noise.triangular(1000)) / 2000.0; };
        common = 0.98 * common + 0.02 * white();
        const bool beeping = i >= firstMark && (i - firstMark) % period < beepSamples;
        const double beep = beeping
                                ? 0.5 * std::sin(2 * std::numbers::pi * BeepHz *
                                                 static_cast<double>((i - firstMark) % period) / AudioRate)
                                : 0.0;
        for (int c = 0; c < AudioChannels; ++c) {
            own[c] = 0.97 * own[c] + 0.03 * white();
            const double v = 1.8 * common + 1.2 * own[c] + 0.02 * white() + beep;
            block.push_back(static_cast<int16_t>(std::clamp(v, -1.0, 1.0) * 32767));
        }
        if (block.size() >= 65536 || i + 1 == samples) {
            out.write(reinterpret_cast<const char*>(block.data()),
                      static_cast<std::streamsize>(block.size() * sizeof(int16_t)));
            block.clear();
        }
    }
    if (!out)
        fail("cannot write " + raw.string());
}

void writeVideo(const std::vector<Photo>& photos, int frames, const fs::path& audio, const fs::path& mpg) {
    const std::string command = "ffmpeg -nostdin -y -loglevel error -f rawvideo -pix_fmt yuv420p -s " +
                                std::to_string(TitleWidth) + "x" + std::to_string(TitleHeight) + " -r " +
                                std::to_string(TitleFps) + " -i - -i '" + audio.string() +
                                "' -map 0:v -map 1:a -target pal-dvd -b:v " + std::to_string(TitleVideoKbps) +
                                "k -aspect 4:3 -c:a copy -f dvd '" + mpg.string() + "'";
    FILE* pipe = popen(command.c_str(), "w");
    if (pipe == nullptr)
        fail("cannot start ffmpeg");
    const size_t frameBytes = static_cast<size_t>(TitleWidth) * TitleHeight * 3 / 2;
    std::vector<std::vector<uint8_t>> batch(Batch, std::vector<uint8_t>(frameBytes));
    for (int start = 0; start < frames; start += Batch) {
        const int count = std::min(Batch, frames - start);
        std::vector<std::future<void>> work;
        for (int i = 0; i < count; ++i)
            work.push_back(
                std::async(std::launch::async, [&, i] { renderFrame(photos, start + i, batch[i].data()); }));
        for (int i = 0; i < count; ++i) {
            work[i].get();
            if (std::fwrite(batch[i].data(), 1, frameBytes, pipe) != frameBytes)
                fail("ffmpeg stopped reading the pictures");
        }
    }
    if (pclose(pipe) != 0)
        fail("ffmpeg could not encode the title");
}

} // namespace

std::string NaturalTitle::concat() const {
    std::string list = "concat:";
    for (size_t i = 0; i < vobs.size(); ++i)
        list += (i ? "|" : "") + vobs[i].string();
    return list;
}

fs::path photoFolder() {
    if (!fs::exists(PhotoDir)) {
        if (getuid() != 0)
            fail(std::string(PhotoPackage) + " is missing (run as root to install it)");
        if (std::system((std::string("DEBIAN_FRONTEND=noninteractive apt-get install -y "
                                     "--no-install-recommends ") +
                         PhotoPackage + " >/dev/null")
                            .c_str()) != 0)
            fail(std::string("cannot install ") + PhotoPackage);
    }
    return PhotoDir;
}

std::vector<double> markTimes(double seconds) {
    std::vector<double> marks;
    for (double t = MarkFirst; t + BeepSeconds < seconds; t += MarkPeriod)
        marks.push_back(t);
    return marks;
}

void renderFrame(const std::vector<Photo>& photos, int frame, unsigned char* out) {
    const size_t lumaBytes = static_cast<size_t>(TitleWidth) * TitleHeight;
    const size_t chromaBytes = lumaBytes / 4;
    if (isMark(frame)) {
        std::fill(out, out + lumaBytes, uint8_t{235});
        std::fill(out + lumaBytes, out + lumaBytes + 2 * chromaBytes, uint8_t{128});
        return;
    }
    const int shot = frame / ShotFrames;
    const Photo& photo = photos[static_cast<size_t>(shot) % photos.size()];
    const View view = viewOf(shot, static_cast<double>(frame % ShotFrames) / (ShotFrames - 1));
    const size_t photoLuma = static_cast<size_t>(PhotoWidth) * PhotoHeight;
    const auto seed = static_cast<uint64_t>(frame) * 4096;
    samplePlane(photo.yuv.data(), PhotoWidth, PhotoHeight, view, 1.0, out, TitleWidth, TitleHeight, 3, seed);
    for (int plane = 0; plane < 2; ++plane)
        samplePlane(photo.yuv.data() + photoLuma + plane * photoLuma / 4, PhotoWidth / 2, PhotoHeight / 2,
                    view, 0.5, out + lumaBytes + plane * chromaBytes, TitleWidth / 2, TitleHeight / 2, 1,
                    seed + 1024 + 512 * static_cast<uint64_t>(plane));
}

NaturalTitle naturalTitle(const fs::path& dir, double seconds) {
    NaturalTitle title;
    title.seconds = seconds;
    title.videoTs = dir / "dvd" / "VIDEO_TS";
    const fs::path stamp = dir / ("natural-" + std::to_string(std::lround(seconds * 1000)) + ".done");
    const auto collect = [&] {
        title.vobs.clear();
        for (int i = 1; i <= 9; ++i) {
            const fs::path vob = title.videoTs / ("VTS_01_" + std::to_string(i) + ".VOB");
            if (fs::exists(vob))
                title.vobs.push_back(vob);
        }
        title.ifo = title.videoTs / "VTS_01_0.IFO";
    };
    if (fs::exists(stamp)) {
        collect();
        return title;
    }
    const auto start = std::chrono::steady_clock::now();
    fs::create_directories(dir);
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().extension() == ".done")
            fs::remove(entry.path());
    fs::remove_all(dir / "dvd");
    const std::vector<Photo> photos = loadPhotos(photoFolder(), dir);
    const fs::path raw = dir / "audio.raw", ac3 = dir / "audio.ac3", mpg = dir / "title.mpg";
    writeAudio(raw, seconds);
    timed({"ffmpeg",
           "-nostdin",
           "-y",
           "-loglevel",
           "error",
           "-f",
           "s16le",
           "-ar",
           std::to_string(AudioRate),
           "-ac",
           std::to_string(AudioChannels),
           "-channel_layout",
           "5.1",
           "-i",
           raw.string(),
           "-c:a",
           "ac3",
           "-b:a",
           std::to_string(TitleAudioKbps) + "k",
           ac3.string()});
    fs::remove(raw);
    writeVideo(photos, static_cast<int>(std::lround(seconds * TitleFps)), ac3, mpg);
    fs::remove(ac3);
    setenv("VIDEO_FORMAT", "PAL", 1);
    const std::string log = (dir / "dvdauthor.txt").string();
    timed({"dvdauthor", "-o", (dir / "dvd").string(), "-t", mpg.string()}, log);
    timed({"dvdauthor", "-o", (dir / "dvd").string(), "-T"}, log);
    fs::remove(mpg);
    collect();
    if (title.vobs.empty() || !fs::exists(title.ifo))
        fail("dvdauthor made no title (see " + log + ")");
    std::ofstream(stamp) << "made\n";
    std::printf("title: %.0f s of photographs, PAL MPEG-2 at %d kbit/s with 5.1 AC3, %zu VOB files, made in "
                "%.1f s\n",
                seconds, TitleVideoKbps, title.vobs.size(), secondsSince(start));
    return title;
}

} // namespace kes::bench
