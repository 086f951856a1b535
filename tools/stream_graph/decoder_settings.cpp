#include "tools/stream_graph/decoder_settings.h"

#include "platform/core/registry.h"

namespace tools::stream_graph {

namespace registry = platform::core::registry;
using platform::core::RootKey;

bool writeDecoderSettings(const std::string& filterFolder, const std::string& sampleRateText) {
    const char* max441 = sampleRateText == kRate441Text ? "1" : "0";
    bool ok = registry::writeString(RootKey::LocalMachine, kAsmAc3Key, kLibraryPathValue,
                                    filterFolder + kAsmAc3File);
    ok = registry::writeString(RootKey::LocalMachine, kAsmFloatKey, kLibraryPathValue,
                               filterFolder + kAsmFloatFile) &&
         ok;
    ok = registry::writeString(RootKey::CurrentUser, kPlayerKey, kReductionValue, "1") && ok;
    ok = registry::writeString(RootKey::CurrentUser, kPlayerKey, kChannelsValue, "2") && ok;
    ok = registry::writeString(RootKey::CurrentUser, kPlayerKey, kMax441Value, max441) && ok;
    return ok;
}

} // namespace tools::stream_graph
