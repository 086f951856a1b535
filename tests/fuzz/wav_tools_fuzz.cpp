// Fuzz target of the tools' WAV readers: the audio converter's source format, the main program's
// sample rate reader and rate patch, the stream extractor's header fix and byte swap, the amplifier,
// and the synchronizer's stream header search, each on its own copy of the input.
#include "kes/wav_format.h"
#include "kes/wav_rate_patch.h"
#include "platform/core/files.h"
#include "tests/fuzz/fuzz_support.h"
#include "tools/amplifier/amplify_engine.h"
#include "tools/audio_converter/wave_source.h"
#include "tools/stream_extractor/pcm_header_fix.h"
#include "tools/stream_extractor/wav_byte_swap.h"
#include "tools/synchronizer/avi_header_patch.h"

#include <cstdlib>

namespace {

class QuietSink : public tools::amplifier::AmplifySink {
public:
    void errorBox(const std::string&) override {}
};

void checkSameSize(const std::string& path, size_t size) {
    if (platform::core::fileSize(path) != static_cast<int64_t>(size))
        std::abort(); // a patch or a swap never changes a file's length
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes = kes::fuzz::bytesOf(data, size);

    const std::string source = kes::fuzz::scratchFile("source.wav", bytes);
    if (const auto format = tools::audio_converter::readSourceFormat(source))
        static_cast<void>(tools::audio_converter::sourceFormatText(*format));
    static_cast<void>(kes::wavSampleRate(source));

    const std::string rate = kes::fuzz::scratchFile("rate.wav", bytes);
    static_cast<void>(kes::patchWavRate(rate, kes::Rate44100));
    checkSameSize(rate, size);

    const std::string pcm = kes::fuzz::scratchFile("pcm.wav", bytes);
    static_cast<void>(tools::stream_extractor::setPcmHeader(pcm));
    checkSameSize(pcm, size);
    static_cast<void>(
        tools::stream_extractor::findDataTag(bytes.substr(0, tools::stream_extractor::kHeaderProbeSize)));
    const std::string swap = kes::fuzz::scratchFile("swap.wav", bytes);
    static_cast<void>(tools::stream_extractor::swapWavBytes(swap));
    checkSameSize(swap, size);

    QuietSink sink;
    tools::amplifier::AmplifyEngine amplifier(sink);
    amplifier.setRoomCheck([](const std::string&, int64_t) { return true; });
    bool userBreak = false;
    platform::core::deleteFile(kes::fuzz::scratchFolder() + "/loud.wav");
    static_cast<void>(amplifier.run({.source = source,
                                     .destination = kes::fuzz::scratchFolder() + "/loud.wav",
                                     .same = false,
                                     .position = 60},
                                    userBreak));

    if (const auto headers = tools::synchronizer::findStreamHeaders(source)) {
        for (const int32_t position : {headers->video, headers->audio})
            if (position > 0)
                static_cast<void>(tools::synchronizer::readStreamHeaderFields(source, position));
    }
    return 0;
}
