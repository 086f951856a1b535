#include "platform/dshow/filters/wav_writer.h"

#include <algorithm>
#include <array>
#include <limits>

namespace platform::dshow::filters {

namespace {

constexpr std::array<uint8_t, 4> kRiffId = {'R', 'I', 'F', 'F'};
constexpr std::array<uint8_t, 4> kWaveId = {'W', 'A', 'V', 'E'};
constexpr std::array<uint8_t, 4> kFormatId = {'f', 'm', 't', ' '};
constexpr std::array<uint8_t, 4> kDataId = {'d', 'a', 't', 'a'};
constexpr uint32_t kChunkHeaderSize = 8;
constexpr uint32_t kPcmFormatSize = 16;    // WAVEFORMAT + wBitsPerSample (PCMWAVEFORMAT)
constexpr uint32_t kFormatExBaseSize = 18; // WAVEFORMATEX up to and including cbSize
constexpr uint64_t kMaxChunkSize = std::numeric_limits<uint32_t>::max();

void put(std::vector<uint8_t>& out, const std::array<uint8_t, 4>& id) {
    out.insert(out.end(), id.begin(), id.end());
}
void put16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}
void put32(std::vector<uint8_t>& out, uint64_t value) {
    const auto clamped = static_cast<uint32_t>(std::min(value, kMaxChunkSize));
    put16(out, static_cast<uint16_t>(clamped));
    put16(out, static_cast<uint16_t>(clamped >> 16));
}

} // namespace

WavWriter::WavWriter(WavSink& sink, WaveFormat format) : sink_(sink), format_(std::move(format)) {
    headerSize_ = header(format_, 0).size();
}

std::vector<uint8_t> WavWriter::header(const WaveFormat& format, uint64_t dataSize) {
    // Plain PCM gets the 16-byte format of the canonical header; everything else the whole
    // WAVEFORMATEX with its extra bytes.
    const bool plainPcm = format.formatTag == kWaveFormatPcm;
    const size_t extra =
        plainPcm ? 0 : std::min<size_t>(format.extra.size(), std::numeric_limits<uint16_t>::max());
    const uint32_t formatSize = plainPcm ? kPcmFormatSize : kFormatExBaseSize + static_cast<uint32_t>(extra);
    const uint32_t formatPad = formatSize & 1;
    const uint64_t dataPad = dataSize & 1;
    const uint64_t riffSize =
        sizeof(kWaveId) + kChunkHeaderSize + formatSize + formatPad + kChunkHeaderSize + dataSize + dataPad;

    std::vector<uint8_t> out;
    put(out, kRiffId);
    put32(out, riffSize);
    put(out, kWaveId);
    put(out, kFormatId);
    put32(out, formatSize);
    put16(out, format.formatTag);
    put16(out, format.channels);
    put32(out, format.samplesPerSec);
    put32(out, format.avgBytesPerSec);
    put16(out, format.blockAlign);
    put16(out, format.bitsPerSample);
    if (!plainPcm) {
        put16(out, static_cast<uint16_t>(extra));
        out.insert(out.end(), format.extra.begin(),
                   format.extra.begin() + static_cast<std::ptrdiff_t>(extra));
    }
    if (formatPad)
        out.push_back(0);
    put(out, kDataId);
    put32(out, dataSize);
    return out;
}

bool WavWriter::begin() {
    if (begun_)
        return !failed_;
    begun_ = true;
    const auto bytes = header(format_, 0);
    failed_ = !sink_.write(0, bytes);
    return !failed_;
}

bool WavWriter::append(std::span<const uint8_t> bytes) {
    if (!begun_)
        begin();
    if (failed_ || finished_)
        return false;
    if (bytes.empty())
        return true;
    if (!sink_.write(static_cast<int64_t>(headerSize_ + dataSize_), bytes)) {
        failed_ = true;
        return false;
    }
    dataSize_ += bytes.size();
    return true;
}

bool WavWriter::updateSizes() {
    if (!begun_ || failed_ || finished_)
        return !failed_;
    if (!sink_.write(0, header(format_, dataSize_)))
        failed_ = true;
    return !failed_;
}

bool WavWriter::finish() {
    if (finished_)
        return !failed_;
    if (!begun_)
        begin();
    finished_ = true;
    if (failed_)
        return false;
    if (dataSize_ & 1) {
        const std::array<uint8_t, 1> pad = {0};
        if (!sink_.write(static_cast<int64_t>(headerSize_ + dataSize_), pad))
            failed_ = true;
    }
    if (!failed_ && !sink_.write(0, header(format_, dataSize_)))
        failed_ = true;
    return !failed_;
}

} // namespace platform::dshow::filters
