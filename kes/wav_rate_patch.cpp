#include "kes/wav_rate_patch.h"

#include "platform/core/files.h"

#include <optional>

namespace kes {

namespace core = platform::core;

namespace {

constexpr uint32_t fourCC(const char (&text)[5]) {
    return static_cast<uint32_t>(static_cast<unsigned char>(text[0])) |
           static_cast<uint32_t>(static_cast<unsigned char>(text[1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(text[2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(text[3])) << 24;
}

// The canonical header: "RIFF" size "WAVE", then the "fmt " chunk with its size and the format.
constexpr int64_t RiffIdOffset = 0;
constexpr int64_t WaveIdOffset = 8;
constexpr int64_t FmtIdOffset = 12;
constexpr int64_t FmtSizeOffset = 16;
constexpr int64_t SampleRateOffset = 24;
constexpr int64_t ByteRateOffset = 28;
constexpr int64_t BlockAlignOffset = 32;
// Format tag, channels, rate, byte rate, block align and bits per sample.
constexpr uint32_t PcmFormatSize = 16;

bool hasId(std::string_view path, int64_t offset, uint32_t id) {
    const std::optional<uint32_t> value = core::readLE32(path, offset);
    return value && *value == id;
}

} // namespace

WavPatchResult patchWavRate(std::string_view path, uint32_t rate) {
    if (!core::fileExists(path))
        return WavPatchResult::Missing;
    if (!hasId(path, RiffIdOffset, fourCC("RIFF")) || !hasId(path, WaveIdOffset, fourCC("WAVE")) ||
        !hasId(path, FmtIdOffset, fourCC("fmt ")))
        return WavPatchResult::NotCanonical;
    const std::optional<uint32_t> fmtSize = core::readLE32(path, FmtSizeOffset);
    const std::optional<uint16_t> blockAlign = core::readLE16(path, BlockAlignOffset);
    if (!fmtSize || *fmtSize < PcmFormatSize || !blockAlign || *blockAlign == 0)
        return WavPatchResult::NotCanonical;
    if (!core::patchLE32(path, SampleRateOffset, rate) ||
        !core::patchLE32(path, ByteRateOffset, rate * static_cast<uint32_t>(*blockAlign)))
        return WavPatchResult::WriteFailed;
    return WavPatchResult::Patched;
}

} // namespace kes
