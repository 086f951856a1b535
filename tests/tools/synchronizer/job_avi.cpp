#include "tests/tools/synchronizer/job_avi.h"

#include "tests/support/lavf_media.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace kes::test {

namespace vfw = platform::vfw;

namespace {

constexpr uint16_t PcmTag = 1;
constexpr uint16_t Mp3Tag = 85;
constexpr int Mp3FormatBytes = 30;
constexpr uint32_t VbrScale = 1152;
constexpr uint32_t VbrRate = 48000;

void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, static_cast<uint16_t>(v));
    put16(out, static_cast<uint16_t>(v >> 16));
}

std::vector<uint8_t> audioFormat(const JobAviSpec& spec) {
    std::vector<uint8_t> f;
    if (spec.audio == JobAudio::Pcm) {
        put16(f, PcmTag);
        put16(f, 1);
        put32(f, spec.sampleRate);
        put32(f, spec.sampleRate * 2);
        put16(f, 2);
        put16(f, 16);
        put16(f, 0);
        return f;
    }
    put16(f, Mp3Tag);
    put16(f, 2);
    put32(f, 48000);
    put32(f, spec.audio == JobAudio::Mp3Cbr ? spec.sampleRate : 16000);
    put16(f, 1);
    put16(f, 0);
    put16(f, 12);
    f.resize(Mp3FormatBytes, 1);
    return f;
}

vfw::AVISTREAMINFO audioInfo(const JobAviSpec& spec) {
    vfw::AVISTREAMINFO info;
    info.fccType = vfw::streamtypeAUDIO;
    switch (spec.audio) {
    case JobAudio::Pcm:
        info.dwScale = 2;
        info.dwRate = spec.sampleRate * 2;
        info.dwSampleSize = 2;
        break;
    case JobAudio::Mp3Cbr:
        info.dwScale = 1;
        info.dwRate = spec.sampleRate;
        info.dwSampleSize = 1;
        break;
    default:
        info.dwScale = VbrScale;
        info.dwRate = VbrRate;
        info.dwSampleSize = 0;
        break;
    }
    return info;
}

std::string audioSample(const JobAviSpec& spec, int64_t i) {
    if (spec.audio == JobAudio::Pcm) {
        const uint16_t v = pcmValue(spec, i);
        return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    }
    if (spec.audio == JobAudio::Mp3Cbr)
        return std::string(1, static_cast<char>(1 + i % 250));
    return "chunk" + std::to_string(i); // one VBR sample
}

} // namespace

uint16_t pcmValue(const JobAviSpec& spec, int64_t i) {
    return static_cast<uint16_t>(spec.pcmValueBase + i % 20000);
}

std::string frameBytes(const JobAviSpec& spec, int frame) {
    std::string bytes = spec.frameTag + std::to_string(frame);
    bytes.resize(8, '.');
    return bytes;
}

bool writeJobAvi(const std::string& path, const JobAviSpec& spec) {
    vfw::AVIFileInit();
    vfw::PAVIFILE file = nullptr;
    vfw::PAVISTREAM video = nullptr;
    vfw::PAVISTREAM audio = nullptr;
    bool ok = vfw::AVIFileOpen(&file, path, vfw::OF_CREATE | vfw::OF_WRITE) == vfw::AVIERR_OK;
    vfw::AVISTREAMINFO vinfo;
    vinfo.fccType = vfw::streamtypeVIDEO;
    vinfo.fccHandler = vfw::mmioFOURCC('D', 'I', 'V', 'X');
    vinfo.dwScale = spec.fpsScale;
    vinfo.dwRate = spec.fpsRate;
    vfw::BITMAPINFOHEADER bih;
    bih.biWidth = spec.width;
    bih.biHeight = spec.height;
    bih.biBitCount = spec.bitCount;
    bih.biCompression = vfw::mmioFOURCC('D', 'I', 'V', 'X');
    ok = ok && vfw::AVIFileCreateStream(file, &video, &vinfo) == vfw::AVIERR_OK &&
         vfw::AVIStreamSetFormat(video, 0, &bih, sizeof bih) == vfw::AVIERR_OK;
    if (ok && spec.audio != JobAudio::None) {
        const vfw::AVISTREAMINFO ainfo = audioInfo(spec);
        const std::vector<uint8_t> format = audioFormat(spec);
        ok = vfw::AVIFileCreateStream(file, &audio, &ainfo) == vfw::AVIERR_OK &&
             vfw::AVIStreamSetFormat(audio, 0, format.data(), static_cast<vfw::LONG>(format.size())) ==
                 vfw::AVIERR_OK;
    }
    int64_t next = 0;
    for (int f = 0; ok && f < spec.frames; ++f) {
        const int64_t upTo = spec.frames == 0 ? 0 : spec.audioSamples * (f + 1) / spec.frames;
        if (audio != nullptr && spec.audio == JobAudio::Mp3Vbr) {
            for (; ok && next < upTo; ++next) {
                const std::string s = audioSample(spec, next);
                ok = vfw::AVIStreamWrite(audio, -1, 1, s.data(), static_cast<vfw::LONG>(s.size()),
                                         vfw::AVIIF_KEYFRAME, nullptr, nullptr) == vfw::AVIERR_OK;
            }
        } else if (audio != nullptr && upTo > next) {
            std::string chunk;
            for (int64_t i = next; i < upTo; ++i)
                chunk += audioSample(spec, i);
            ok = vfw::AVIStreamWrite(audio, -1, static_cast<vfw::LONG>(upTo - next), chunk.data(),
                                     static_cast<vfw::LONG>(chunk.size()), vfw::AVIIF_KEYFRAME, nullptr,
                                     nullptr) == vfw::AVIERR_OK;
            next = upTo;
        }
        const std::string frame = frameBytes(spec, f);
        ok = ok && vfw::AVIStreamWrite(video, -1, 1, frame.data(), static_cast<vfw::LONG>(frame.size()),
                                       spec.keyFrames.count(f) ? vfw::AVIIF_KEYFRAME : 0, nullptr,
                                       nullptr) == vfw::AVIERR_OK;
    }
    if (audio != nullptr)
        vfw::AVIStreamRelease(audio);
    if (video != nullptr)
        vfw::AVIStreamRelease(video);
    if (file != nullptr)
        vfw::AVIFileRelease(file);
    vfw::AVIFileExit();
    return ok;
}

namespace {

// FFmpeg's reading of the same file: every video chunk with its key flag, and every PCM sample (the
// codec alone for MP3).
void expectLavfReadsTheSame(const std::string& path, const ReadBack& ours) {
    if (!ours.frames.empty()) {
        const LavfVideo theirs = readLavfVideo(path);
        ASSERT_EQ(theirs.packets.size(), ours.frames.size()) << path;
        for (std::size_t i = 0; i < ours.frames.size(); ++i) {
            ASSERT_EQ(theirs.packets[i].bytes, ours.frames[i]) << path << " frame " << i;
            ASSERT_EQ(theirs.packets[i].key, static_cast<bool>(ours.keys[i])) << path << " frame " << i;
        }
    }
    if (ours.audioFormat.size() < 2)
        return;
    const LavfProbe probe = probeLavf(path, true);
    const LavfStream* audio = probe.first("audio");
    ASSERT_NE(audio, nullptr) << path;
    const auto tag = static_cast<uint16_t>(ours.audioFormat[0] | ours.audioFormat[1] << 8);
    if (tag == Mp3Tag) {
        EXPECT_EQ(audio->codec, "mp3") << path;
        return;
    }
    if (tag != PcmTag)
        return;
    const std::vector<uint16_t> samples = pcmSamples(ours.audioBytes);
    ASSERT_EQ(audio->pcm.size(), samples.size()) << path;
    for (std::size_t i = 0; i < samples.size(); ++i)
        ASSERT_EQ(static_cast<uint16_t>(std::lround(audio->pcm[i] * 32768.0)), samples[i])
            << path << " sample " << i;
}

} // namespace

ReadBack readJobAvi(const std::string& path) {
    ReadBack back;
    vfw::AVIFileInit();
    vfw::PAVIFILE file = nullptr;
    vfw::PAVISTREAM video = nullptr;
    vfw::PAVISTREAM audio = nullptr;
    if (vfw::AVIFileOpen(&file, path, vfw::OF_READ) == vfw::AVIERR_OK) {
        back.opened = true;
        if (vfw::AVIFileGetStream(file, &video, vfw::streamtypeVIDEO, 0) == vfw::AVIERR_OK) {
            vfw::AVIStreamInfo(video, &back.video, sizeof back.video);
            const vfw::LONG start = vfw::AVIStreamStart(video);
            for (vfw::LONG i = start; i < vfw::AVIStreamEnd(video); ++i) {
                // The size first: a frame copied from a damaged source can be of any size.
                vfw::LONG bytes = 0;
                vfw::AVIStreamRead(video, i, 1, nullptr, 0, &bytes, nullptr);
                std::string frame(static_cast<std::size_t>(std::max<vfw::LONG>(bytes, 0)), '\0');
                vfw::AVIStreamRead(video, i, 1, frame.data(), static_cast<vfw::LONG>(frame.size()), &bytes,
                                   nullptr);
                frame.resize(static_cast<std::size_t>(std::max<vfw::LONG>(bytes, 0)));
                back.frames.push_back(frame);
                back.keys.push_back(vfw::AVIStreamIsKeyFrame(video, i) != 0);
            }
        }
        if (vfw::AVIFileGetStream(file, &audio, vfw::streamtypeAUDIO, 0) == vfw::AVIERR_OK) {
            vfw::AVIStreamInfo(audio, &back.audio, sizeof back.audio);
            vfw::LONG size = 0;
            vfw::AVIStreamFormatSize(audio, 0, &size);
            back.audioFormat.resize(static_cast<std::size_t>(std::max<vfw::LONG>(size, 0)));
            vfw::AVIStreamReadFormat(audio, 0, back.audioFormat.data(), &size);
            back.firstAudioChunk = vfw::AVIStreamFindSample(
                audio, vfw::AVIStreamStart(audio), vfw::FIND_NEXT | vfw::FIND_ANY | vfw::FIND_LENGTH);
            for (vfw::LONG p = vfw::AVIStreamStart(audio); p < vfw::AVIStreamEnd(audio);) {
                std::string chunk(1 << 16, '\0');
                vfw::LONG bytes = 0;
                vfw::LONG samples = 0;
                if (vfw::AVIStreamRead(audio, p, 1 << 16, chunk.data(), 1 << 16, &bytes, &samples) !=
                        vfw::AVIERR_OK ||
                    samples == 0)
                    break;
                chunk.resize(static_cast<std::size_t>(bytes));
                if (back.audio.dwSampleSize == 0)
                    back.audioChunks.push_back(chunk);
                else
                    back.audioBytes += chunk;
                p += samples;
            }
        }
    }
    if (audio != nullptr)
        vfw::AVIStreamRelease(audio);
    if (video != nullptr)
        vfw::AVIStreamRelease(video);
    if (file != nullptr)
        vfw::AVIFileRelease(file);
    vfw::AVIFileExit();
    if (back.opened)
        expectLavfReadsTheSame(path, back);
    return back;
}

std::vector<uint16_t> pcmSamples(const std::string& bytes) {
    std::vector<uint16_t> out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        out.push_back(
            static_cast<uint16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8));
    return out;
}

} // namespace kes::test
