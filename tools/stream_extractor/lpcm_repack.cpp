#include "tools/stream_extractor/lpcm_repack.h"

#include "platform/core/files.h"
#include "platform/mmio/wave_layout.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace tools::stream_extractor {

namespace {

constexpr int kOutputBytes = 3;
constexpr int kGroupSamples = 4;
constexpr int kMonoGroupSamples = 2;
constexpr int kFramesPerBlock = 2;
constexpr uint32_t kPcmFormatSize = 16;
constexpr uint16_t kPcmTag = 1;
constexpr int64_t kBlocksPerRead = 4096;

void putLe(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>(value >> (8 * i)));
}

std::string header(uint16_t channels, uint32_t rate, uint32_t dataBytes) {
    const uint32_t align = channels * static_cast<uint32_t>(kOutputBytes);
    std::string out = "RIFF";
    putLe(out, 4 + 8 + kPcmFormatSize + 8 + dataBytes + (dataBytes & 1), 4);
    out += "WAVEfmt ";
    putLe(out, kPcmFormatSize, 4);
    putLe(out, kPcmTag, 2);
    putLe(out, channels, 2);
    putLe(out, rate, 4);
    putLe(out, rate * align, 4);
    putLe(out, align, 2);
    putLe(out, kOutputBytes * 8, 2);
    out += "data";
    putLe(out, dataBytes, 4);
    return out;
}

// One block (two sample frames) of DVD layout into little-endian 24-bit samples.
void repackBlock(const uint8_t* in, int samples, int bits, bool mono, std::string& out) {
    const int group = mono ? kMonoGroupSamples : kGroupSamples;
    for (int first = 0; first < samples; first += group) {
        const int count = std::min(group, samples - first);
        const uint8_t* low = in + 2 * count;
        for (int i = 0; i < count; ++i) {
            const uint32_t top = static_cast<uint32_t>(in[2 * i]) << 8 | in[2 * i + 1];
            uint32_t rest = 0;
            if (bits == 24)
                rest = low[i];
            else
                rest = (i % 2 == 0 ? (low[i / 2] & 0xF0) : (low[i / 2] & 0x0F) << 4);
            putLe(out, top << 8 | rest, kOutputBytes);
        }
        in = low + (bits == 24 ? count : count / 2);
    }
}

bool readAt(int fd, std::vector<uint8_t>& buffer, int64_t offset) {
    size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t got = ::pread(fd, buffer.data() + done, buffer.size() - done,
                                    static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

} // namespace

RepackStatus repackDvdLpcm(const std::string& path) {
    const auto layout = platform::mmio::readWaveLayout(path);
    if (!layout)
        return RepackStatus::NotAWav;
    const int bits = layout->bitsPerSample();
    const int channels = layout->channels();
    if ((bits != 20 && bits != 24) || channels < 1)
        return RepackStatus::NotNeeded;
    const int samples = kFramesPerBlock * channels;
    const int64_t blockBytes = samples * bits / 8;
    const int64_t blocks = layout->dataBytes / blockBytes;
    const int64_t outBytes = blocks * samples * kOutputBytes;
    if (outBytes > UINT32_MAX - 64)
        return RepackStatus::WriteFailed;
    const int fd = platform::core::openForReading(path);
    if (fd < 0)
        return RepackStatus::NotAWav;
    platform::core::AtomicFile out(path);
    bool ok = out.isOpen() && out.write(header(static_cast<uint16_t>(channels), layout->sampleRate(),
                                               static_cast<uint32_t>(outBytes)));
    std::vector<uint8_t> buffer;
    std::string converted;
    for (int64_t done = 0; ok && done < blocks;) {
        const int64_t count = std::min(kBlocksPerRead, blocks - done);
        buffer.resize(static_cast<size_t>(count * blockBytes));
        ok = readAt(fd, buffer, layout->dataOffset + done * blockBytes);
        converted.clear();
        for (int64_t b = 0; ok && b < count; ++b)
            repackBlock(buffer.data() + b * blockBytes, samples, bits, channels == 1, converted);
        ok = ok && out.write(converted);
        done += count;
    }
    ::close(fd);
    if (ok && (outBytes & 1))
        ok = out.write(std::string(1, '\0'));
    return ok && out.commit() ? RepackStatus::Repacked : RepackStatus::WriteFailed;
}

} // namespace tools::stream_extractor
