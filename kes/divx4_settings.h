#pragma once

// The outside DivX 4 codec's own settings in the registry (current user), read into and written from
// the DivX 4 settings page, and the rate-mode presets written when the rate mode changes. Every value
// is a DWORD.

#include <cstdint>
#include <optional>
#include <string>

namespace kes {

inline constexpr const char* DivX4Key = "Software\\DivXNetworks\\DivX4Windows";

// The values of the key, in the order they are written; a value missing from the key stays empty.
struct DivX4Values {
    std::optional<uint32_t> quality;        // "Quality": 1 "Fastest" .. 5 "Slowest"
    std::optional<uint32_t> deinterlace;    // "Deinterlace"
    std::optional<uint32_t> haveCpuLimit;   // "Have CPU limit"
    std::optional<uint32_t> cpuLimit;       // "CPU limit"
    std::optional<uint32_t> maxQuantizer;   // "Max Quantizer"
    std::optional<uint32_t> minQuantizer;   // "Min Quantizer"
    std::optional<uint32_t> rcPeriod;       // "RC Period"
    std::optional<uint32_t> reactionPeriod; // "RC Reaction Period"
    std::optional<uint32_t> reactionRatio;  // "RC Reaction Ratio"
    std::optional<uint32_t> vbrQuality;     // "VBR Quality"
    std::optional<uint32_t> postprocessing; // "Postprocessing"
};

// Nothing when the key does not exist.
std::optional<DivX4Values> readDivX4Values();
// Writes every value that is set, in table order; false when a write failed.
bool writeDivX4Values(const DivX4Values& values);

// The presets of a rate mode: a one-pass mode (its text holds "1") reacts slowly and strongly with a
// high quality; any other mode reacts fast and gently.
bool writeRateModePresets(const std::string& rateMode);

} // namespace kes
