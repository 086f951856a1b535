#include "kes/wav_format.h"

#include "platform/mmio/riff_file.h"

#include <array>

namespace kes {

namespace mmio = platform::mmio;

namespace {

constexpr mmio::FourCC FormWave = mmio::makeFourCC("WAVE");
constexpr mmio::FourCC ChunkFmt = mmio::makeFourCC("fmt ");
// The format chunk starts with the format tag (2 bytes), the channel count (2) and the sample rate (4).
constexpr int64_t RateOffset = 4;
constexpr int64_t RateEnd = 8;

} // namespace

std::optional<uint32_t> wavSampleRate(std::string_view path) {
    auto file = mmio::RiffFile::open(path, mmio::OpenMode::Read);
    if (!file)
        return std::nullopt;
    mmio::ChunkInfo riff;
    riff.fccType = FormWave;
    if (file->descend(riff, nullptr, mmio::Descend::FindRiff) != mmio::MMSYSERR_NOERROR)
        return std::nullopt;
    mmio::ChunkInfo fmt;
    fmt.ckid = ChunkFmt;
    if (file->descend(fmt, &riff, mmio::Descend::FindChunk) != mmio::MMSYSERR_NOERROR || fmt.cksize < RateEnd)
        return std::nullopt;
    std::array<unsigned char, RateEnd> head{};
    if (file->read(head.data(), RateEnd) != RateEnd)
        return std::nullopt;
    uint32_t rate = 0;
    for (int64_t i = RateEnd - 1; i >= RateOffset; --i)
        rate = rate << 8 | head[static_cast<size_t>(i)];
    return rate;
}

} // namespace kes
