#include "tools/stream_extractor/pcm_header_fix.h"

#include "platform/core/files.h"

#include <limits>
#include <optional>

namespace tools::stream_extractor {

namespace {

namespace core = platform::core;

constexpr int64_t kCanonicalHeaderSize = 44;
constexpr int64_t kRiffField = 0;
constexpr int64_t kWaveField = 8;
constexpr int64_t kFmtField = 12;
constexpr int64_t kFmtSizeField = 16;
constexpr uint32_t kPcmFormatSize = 16;
constexpr uint16_t kPcmTag = 1;
constexpr int kBitsPerByte = 8;

constexpr uint32_t fourCc(const char (&id)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(id[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(id[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(id[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(id[3])) << 24;
}

bool canonicalStart(const std::string& path) {
    return core::fileSize(path) >= kCanonicalHeaderSize &&
           core::readLE32(path, kRiffField) == fourCc("RIFF") &&
           core::readLE32(path, kWaveField) == fourCc("WAVE") &&
           core::readLE32(path, kFmtField) == fourCc("fmt ") &&
           core::readLE32(path, kFmtSizeField).value_or(0) >= kPcmFormatSize;
}

// The bytes of one frame; nothing when the header's channels or sample size make no sense.
std::optional<uint16_t> frameBytes(const std::string& path) {
    const auto channels = core::readLE16(path, kChannelsField);
    const auto bits = core::readLE16(path, kBitsPerSampleField);
    if (!channels || !bits || *channels == 0 || *bits == 0)
        return std::nullopt;
    const uint32_t bytes = *channels * ((*bits + kBitsPerByte - 1u) / kBitsPerByte);
    if (bytes > std::numeric_limits<uint16_t>::max())
        return std::nullopt;
    return static_cast<uint16_t>(bytes);
}

} // namespace

PcmHeaderStatus setPcmHeader(const std::string& path) {
    if (!canonicalStart(path))
        return PcmHeaderStatus::NotAWav;
    if (!core::patchLE16(path, kFormatTagField, kPcmTag))
        return PcmHeaderStatus::WriteFailed;
    // The alignment follows the header's own layout (4 for 16-bit stereo); a layout that makes no
    // sense keeps the alignment it has.
    if (const auto align = frameBytes(path); align && !core::patchLE16(path, kBlockAlignField, *align))
        return PcmHeaderStatus::WriteFailed;
    return PcmHeaderStatus::Patched;
}

} // namespace tools::stream_extractor
