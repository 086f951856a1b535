#include "tests/tools/muxer/mux_test_files.h"

#include "platform/vfw/vfw.h"

#include "tests/support/lavf_media.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kes::test {

namespace vfw = platform::vfw;

namespace {

constexpr uint32_t SampleRate = 44100;
constexpr uint16_t Channels = 2;
constexpr uint16_t BlockAlign = 4;
constexpr int Mp3FrameBytes = 417;
constexpr uint32_t Mp3BytesPerSecond = 16000;

std::string chunk(const std::string& id, const std::string& data) {
    std::string out = id + le32(static_cast<uint32_t>(data.size())) + data;
    if (data.size() % 2 != 0)
        out += '\0';
    return out;
}

std::string riffWave(const std::string& format, const std::string& data) {
    const std::string body = "WAVE" + chunk("fmt ", format) + chunk("data", data);
    return "RIFF" + le32(static_cast<uint32_t>(body.size())) + body;
}

class Writer {
public:
    explicit Writer(const std::string& path) {
        vfw::AVIFileInit();
        ok_ = vfw::AVIFileOpen(&file_, path, vfw::OF_CREATE | vfw::OF_WRITE) == vfw::AVIERR_OK;
    }
    ~Writer() {
        for (auto* s : streams_)
            vfw::AVIStreamRelease(s);
        if (file_ != nullptr)
            vfw::AVIFileRelease(file_);
        vfw::AVIFileExit();
    }
    vfw::PAVISTREAM create(const vfw::AVISTREAMINFO& info, const void* format, size_t size) {
        vfw::PAVISTREAM s = nullptr;
        if (!ok_ || vfw::AVIFileCreateStream(file_, &s, &info) != vfw::AVIERR_OK) {
            ok_ = false;
            return nullptr;
        }
        streams_.push_back(s);
        ok_ = vfw::AVIStreamSetFormat(s, 0, format, static_cast<vfw::LONG>(size)) == vfw::AVIERR_OK;
        return s;
    }
    void write(vfw::PAVISTREAM s, int64_t at, int64_t samples, const std::string& data, bool key) {
        if (ok_)
            ok_ = vfw::AVIStreamWrite(s, static_cast<vfw::LONG>(at), static_cast<vfw::LONG>(samples),
                                      data.data(), static_cast<vfw::LONG>(data.size()),
                                      key ? vfw::AVIIF_KEYFRAME : 0, nullptr, nullptr) == vfw::AVIERR_OK;
    }
    bool ok() const { return ok_; }

private:
    vfw::PAVIFILE file_ = nullptr;
    std::vector<vfw::PAVISTREAM> streams_;
    bool ok_ = false;
};

vfw::PAVISTREAM createVideo(Writer& w, const TestVideo& video) {
    vfw::AVISTREAMINFO info;
    info.fccType = vfw::streamtypeVIDEO;
    info.fccHandler = vfw::mmioFOURCC(video.fourcc[0], video.fourcc[1], video.fourcc[2], video.fourcc[3]);
    info.dwRate = video.rate;
    info.dwScale = video.scale;
    info.rcFrame.right = video.width;
    info.rcFrame.bottom = video.height;
    vfw::BITMAPINFOHEADER format;
    format.biWidth = video.width;
    format.biHeight = video.height;
    format.biBitCount = 24;
    format.biCompression = info.fccHandler;
    format.biSizeImage = static_cast<vfw::DWORD>(video.width * video.height * 3);
    return w.create(info, &format, sizeof format);
}

bool isKey(const TestVideo& video, int i) {
    return std::find(video.keyFrames.begin(), video.keyFrames.end(), i) != video.keyFrames.end();
}

std::string pcmBytes(int64_t from, int64_t count) {
    std::string out;
    out.reserve(static_cast<size_t>(count * BlockAlign));
    for (int64_t k = from; k < from + count; ++k)
        for (int c = 0; c < Channels; ++c)
            out += le16(static_cast<uint16_t>(pcmSample(k)));
    return out;
}

} // namespace

std::string le16(uint16_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

std::string le32(uint32_t v) {
    return le16(static_cast<uint16_t>(v & 0xFFFF)) + le16(static_cast<uint16_t>(v >> 16));
}

uint32_t readLE32(const std::string& bytes, size_t offset) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4 && offset + i < bytes.size(); ++i)
        v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[offset + i])) << (8 * i);
    return v;
}

std::string testFrameBytes(int i) {
    return "frame" + std::to_string(i) +
           std::string(static_cast<size_t>(i % 7 + 1), static_cast<char>('a' + i % 26));
}

bool writeVideoAvi(const std::string& path, const TestVideo& video) {
    Writer w(path);
    vfw::PAVISTREAM v = createVideo(w, video);
    for (int i = 0; i < video.frames; ++i) {
        std::string bytes = testFrameBytes(i);
        if (i < video.heavyFrames)
            bytes += std::string(static_cast<size_t>(video.heavyBytes), 'h');
        w.write(v, i, 1, bytes, isKey(video, i));
    }
    return w.ok();
}

bool writeMovieAvi(const std::string& path, const TestVideo& video, int samplesPerFrame) {
    Writer w(path);
    vfw::PAVISTREAM v = createVideo(w, video);
    vfw::AVISTREAMINFO info;
    info.fccType = vfw::streamtypeAUDIO;
    info.dwScale = BlockAlign;
    info.dwRate = SampleRate * BlockAlign;
    info.dwSampleSize = BlockAlign;
    const std::string format = le16(1) + le16(Channels) + le32(SampleRate) + le32(SampleRate * BlockAlign) +
                               le16(BlockAlign) + le16(16);
    vfw::PAVISTREAM a = w.create(info, format.data(), format.size());
    for (int i = 0; i < video.frames; ++i) {
        w.write(a, static_cast<int64_t>(i) * samplesPerFrame, samplesPerFrame,
                pcmBytes(static_cast<int64_t>(i) * samplesPerFrame, samplesPerFrame), true);
        w.write(v, i, 1, testFrameBytes(i), isKey(video, i));
    }
    return w.ok();
}

int16_t pcmSample(int64_t k) {
    return static_cast<int16_t>(k % 30000 + 1);
}

std::string pcmWav(int64_t samples) {
    const std::string format = le16(1) + le16(Channels) + le32(SampleRate) + le32(SampleRate * BlockAlign) +
                               le16(BlockAlign) + le16(16);
    return riffWave(format, pcmBytes(0, samples));
}

std::string mp3Data(int frames) {
    std::string data;
    for (int f = 0; f < frames; ++f) {
        std::string frame("\xFF\xFB\x90\x00", 4);
        for (int i = 4; i < Mp3FrameBytes; ++i)
            frame += static_cast<char>((f * 7 + i) % 251);
        data += frame;
    }
    return data;
}

std::string mp3Wav(int frames) {
    const std::string format = le16(0x55) + le16(Channels) + le32(SampleRate) + le32(Mp3BytesPerSecond) +
                               le16(1) + le16(0) + le16(12) + le16(1) + le32(2) + le16(Mp3FrameBytes) +
                               le16(1) + le16(1393);
    return riffWave(format, mp3Data(frames));
}

std::vector<IndexEntry> readIndex(const std::string& bytes) {
    std::vector<IndexEntry> out;
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::string id = bytes.substr(at, 4);
        const uint32_t size = readLE32(bytes, at + 4);
        if (id == "idx1") {
            for (size_t e = at + 8; e + 16 <= at + 8 + size && e + 16 <= bytes.size(); e += 16)
                out.push_back({bytes.substr(e, 4), readLE32(bytes, e + 4), readLE32(bytes, e + 12)});
            break;
        }
        at += 8 + size + (size % 2);
    }
    return out;
}

namespace {

// FFmpeg's reading of the same stream: every video chunk with its key flag, and every PCM sample (the
// codec alone for compressed audio).
void expectLavfReadsTheSame(const std::string& path, bool video, const StreamContent& ours) {
    if (video) {
        const LavfVideo theirs = readLavfVideo(path);
        ASSERT_EQ(theirs.packets.size(), ours.frames.size()) << path;
        for (size_t i = 0; i < ours.frames.size(); ++i) {
            ASSERT_EQ(theirs.packets[i].bytes, ours.frames[i]) << path << " frame " << i;
            ASSERT_EQ(theirs.packets[i].key, static_cast<bool>(ours.keys[i])) << path << " frame " << i;
        }
        return;
    }
    const LavfProbe probe = probeLavf(path, true);
    const LavfStream* audio = probe.first("audio");
    ASSERT_NE(audio, nullptr) << path;
    const auto tag = ours.format.size() >= 2
                         ? static_cast<uint16_t>(static_cast<uint8_t>(ours.format[0]) |
                                                 static_cast<uint8_t>(ours.format[1]) << 8)
                         : uint16_t{0};
    if (tag != 1) {
        if (tag == 85) {
            EXPECT_EQ(audio->codec, "mp3") << path;
        }
        return;
    }
    ASSERT_EQ(audio->pcm.size() * 2, ours.bytes.size()) << path;
    for (size_t i = 0; i < audio->pcm.size(); ++i) {
        const auto sample = static_cast<int16_t>(static_cast<uint8_t>(ours.bytes[2 * i]) |
                                                 static_cast<uint8_t>(ours.bytes[2 * i + 1]) << 8);
        ASSERT_EQ(std::lround(audio->pcm[i] * 32768.0), sample) << path << " sample " << i;
    }
}

} // namespace

StreamContent readStream(const std::string& path, bool video) {
    StreamContent out;
    vfw::AVIFileInit();
    vfw::PAVISTREAM s = nullptr;
    if (vfw::AVIStreamOpenFromFile(&s, path, video ? vfw::streamtypeVIDEO : vfw::streamtypeAUDIO, 0,
                                   vfw::OF_READ) == vfw::AVIERR_OK) {
        out.found = true;
        vfw::AVISTREAMINFO info;
        vfw::AVIStreamInfo(s, &info, sizeof info);
        out.rate = info.dwRate;
        out.scale = info.dwScale;
        out.length = vfw::AVIStreamLength(s);
        vfw::LONG formatSize = 0;
        vfw::AVIStreamFormatSize(s, 0, &formatSize);
        out.format.resize(static_cast<size_t>(std::max<vfw::LONG>(0, formatSize)));
        vfw::AVIStreamReadFormat(s, 0, out.format.data(), &formatSize);
        const vfw::LONG start = vfw::AVIStreamStart(s);
        std::vector<char> buffer(1 << 20);
        for (vfw::LONG pos = start; pos < start + out.length;) {
            vfw::LONG bytes = 0;
            vfw::LONG samples = 0;
            if (vfw::AVIStreamRead(s, pos, video ? 1 : vfw::AVISTREAMREAD_CONVENIENT, buffer.data(),
                                   static_cast<vfw::LONG>(buffer.size()), &bytes,
                                   &samples) != vfw::AVIERR_OK ||
                samples <= 0)
                break;
            if (video) {
                out.frames.emplace_back(buffer.data(), static_cast<size_t>(bytes));
                out.keys.push_back(vfw::AVIStreamIsKeyFrame(s, pos) != 0);
            } else {
                out.bytes.append(buffer.data(), static_cast<size_t>(bytes));
            }
            pos += samples;
        }
        vfw::AVIStreamRelease(s);
    }
    vfw::AVIFileExit();
    if (out.found)
        expectLavfReadsTheSame(path, video, out);
    return out;
}

} // namespace kes::test
