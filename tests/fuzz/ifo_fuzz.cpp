// Fuzz target of the audio and subtitle pages' IFO readers (libFuzzer): any bytes are read as the head
// of an IFO file, and every stream found is turned into the audio page's text block.
#include "kes/ifo_audio.h"
#include "kes/ifo_subtitles.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const kes::IfoAudio audio = kes::parseIfoAudio(bytes);
    for (size_t i = 0; i < audio.streams.size(); ++i) {
        const kes::IfoAudioStream& s = audio.streams[i];
        static_cast<void>(
            kes::audioInfoBlock(static_cast<int>(i), s.attributes, s.mode, s.dolby, s.languageName()));
    }
    static_cast<void>(kes::parseIfoSubtitles(bytes));
    return 0;
}
