#include "tools/audio_converter/wave_source.h"

#include <algorithm>
#include <array>

namespace tools::audio_converter {

using namespace platform::mmio;
using platform::acm::WaveFormat;

int descendWave(RiffFile& file, ChunkInfo& riff) {
    riff = {};
    riff.fccType = FOURCC_WAVE;
    return file.descend(riff, nullptr, Descend::FindRiff);
}

int readFormatChunk(RiffFile& file, const ChunkInfo& riff, WaveFormat& format) {
    ChunkInfo fmt;
    fmt.ckid = FOURCC_FMT;
    if (const int rc = file.descend(fmt, &riff, Descend::FindChunk); rc != MMSYSERR_NOERROR)
        return rc;
    std::array<uint8_t, platform::acm::WaveFormatAreaSize> bytes{};
    const int64_t want = std::min<int64_t>(fmt.cksize, static_cast<int64_t>(bytes.size()));
    const int64_t got = file.read(bytes.data(), want);
    if (got < 0)
        return MMIOERR_CANNOTREAD;
    format = WaveFormat::fromBytes(bytes.data(), static_cast<size_t>(got));
    return file.ascend(fmt);
}

int64_t dataBytes(const ChunkInfo& data, const ChunkInfo& riff, int64_t fileSize) {
    // cksize is already the smaller of the field and what the parent and the file hold.
    if (data.declaredSize != 0)
        return data.cksize;
    const int64_t end = std::min<int64_t>(riff.dataOffset + riff.cksize, fileSize);
    return std::max<int64_t>(0, end - data.dataOffset);
}

std::optional<WaveFormat> readSourceFormat(const std::string& path) {
    auto file = RiffFile::open(path, OpenMode::Read);
    if (!file)
        return std::nullopt;
    ChunkInfo riff;
    WaveFormat format;
    if (descendWave(*file, riff) != MMSYSERR_NOERROR ||
        readFormatChunk(*file, riff, format) != MMSYSERR_NOERROR)
        return std::nullopt;
    return format;
}

std::string sourceFormatText(const WaveFormat& format) {
    std::string text;
    if (format.wFormatTag == platform::acm::WAVE_FORMAT_PCM)
        text = "PCM; ";
    else if (format.wFormatTag == platform::acm::WAVE_FORMAT_MPEGLAYER3)
        text = "MP3; ";
    else if (format.wFormatTag == platform::acm::WAVE_FORMAT_WMAUDIO2)
        text = "WMA; ";
    text += std::to_string(format.nSamplesPerSec) + "Hz;";
    text += format.nChannels == 1 ? " Mono;" : " Stereo;";
    return text;
}

} // namespace tools::audio_converter
