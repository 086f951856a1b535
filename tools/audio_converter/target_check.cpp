#include "tools/audio_converter/target_check.h"

#include "tools/audio_converter/wf_preset.h"

#include "platform/acm/acm_stream.h"

namespace tools::audio_converter {

bool targetCanBeMade(const std::string& wfParameter) {
    const auto preset = presetStringFor(splitWfParameter(wfParameter));
    const auto target = preset ? parsePresetString(*preset) : std::nullopt;
    if (!target)
        return false;
    if (target->wFormatTag == platform::acm::WAVE_FORMAT_MPEGLAYER3)
        return true;
    std::unique_ptr<platform::acm::AcmStream> stream;
    return platform::acm::AcmStream::open(stream, platform::acm::pcmFormat(target->nSamplesPerSec),
                                          *target) == platform::acm::MMSYSERR_NOERROR;
}

} // namespace tools::audio_converter
