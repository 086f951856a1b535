#include "kes/divx4_settings.h"

#include "platform/core/registry.h"

#include <array>
#include <utility>

namespace kes {

namespace core = platform::core;
namespace reg = platform::core::registry;

namespace {

constexpr auto Root = core::RootKey::CurrentUser;

constexpr uint32_t OnePassReactionPeriod = 50;
constexpr uint32_t OnePassReactionRatio = 5;
constexpr uint32_t OnePassVbrQuality = 90;
constexpr uint32_t TwoPassReactionPeriod = 10;
constexpr uint32_t TwoPassReactionRatio = 20;

using Field = std::optional<uint32_t> DivX4Values::*;

// The values in the order the settings page writes them.
constexpr std::array<std::pair<const char*, Field>, 11> Fields = {{
    {"Quality", &DivX4Values::quality},
    {"Deinterlace", &DivX4Values::deinterlace},
    {"Have CPU limit", &DivX4Values::haveCpuLimit},
    {"CPU limit", &DivX4Values::cpuLimit},
    {"Max Quantizer", &DivX4Values::maxQuantizer},
    {"Min Quantizer", &DivX4Values::minQuantizer},
    {"RC Period", &DivX4Values::rcPeriod},
    {"RC Reaction Period", &DivX4Values::reactionPeriod},
    {"RC Reaction Ratio", &DivX4Values::reactionRatio},
    {"VBR Quality", &DivX4Values::vbrQuality},
    {"Postprocessing", &DivX4Values::postprocessing},
}};

} // namespace

std::optional<DivX4Values> readDivX4Values() {
    if (!reg::keyExists(Root, DivX4Key))
        return std::nullopt;
    DivX4Values values;
    for (const auto& [name, field] : Fields)
        values.*field = reg::readDword(Root, DivX4Key, name);
    return values;
}

bool writeDivX4Values(const DivX4Values& values) {
    bool ok = true;
    for (const auto& [name, field] : Fields) {
        if (const auto& value = values.*field)
            ok = reg::writeDword(Root, DivX4Key, name, *value) && ok;
    }
    return ok;
}

bool writeRateModePresets(const std::string& rateMode) {
    DivX4Values presets;
    if (rateMode.find('1') != std::string::npos) {
        presets.reactionPeriod = OnePassReactionPeriod;
        presets.reactionRatio = OnePassReactionRatio;
        presets.vbrQuality = OnePassVbrQuality;
    } else {
        presets.reactionPeriod = TwoPassReactionPeriod;
        presets.reactionRatio = TwoPassReactionRatio;
    }
    return writeDivX4Values(presets);
}

} // namespace kes
