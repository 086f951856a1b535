#include "outside/ac3dec/ac3dec_run.h"

#include "outside/ac3dec/stream_decoder.h"
#include "outside/dvd_audio/substream_arg.h"
#include "outside/dvd_audio/title_origin.h"
#include "outside/dvd_audio/title_vobs.h"
#include "outside/dvd_audio/tool_message.h"
#include "outside/dvd_audio/wav_file.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/dshow/filters/pcm_start.h"

#include <vector>

namespace outside::ac3dec {

using namespace outside::dvd_audio;
namespace core = platform::core;

namespace {
constexpr int64_t kUnitsPerSecond = 10'000'000;
constexpr int64_t kPtsPerSecond = 90'000;
constexpr int kBytesPerFrame = 4;
} // namespace

bool openStream(const Ac3DecOptions& options, OpenedStream& stream, std::string& error) {
    const std::vector<std::string> files =
        options.allVob ? titleVobFiles(options.vob) : std::vector<std::string>{options.vob};
    if (!stream.source.open(files)) {
        error = stream.source.error();
        return false;
    }
    stream.reader = std::make_unique<SubStreamReader>(stream.source, options.subStream);
    if (!stream.reader->open(error)) {
        error = options.vob + ": " + error;
        return false;
    }
    return true;
}

int decodeToWav(const Ac3DecOptions& options) {
    if (!options.overwrite && core::fileExists(core::resolvePath(options.wav)))
        return fail(kProgram, "The file " + options.wav + " exists and is kept (-overwrite replaces it).");
    OpenedStream stream;
    std::string error;
    if (!openStream(options, stream, error))
        return fail(kProgram, error);
    StreamDecoder decoder;
    if (!decoder.open(options.sampleRate(), error))
        return fail(kProgram, error);
    WavFile wav(options.wav);
    if (!wav.isOpen() || !wav.begin(options.sampleRate()))
        return fail(kProgram, cannotWriteMessage(options.wav));

    // The WAV begins at the title's first picture, as the video does.
    platform::dshow::filters::PcmStart start(titleOrigin(stream.source, *stream.reader) * kUnitsPerSecond /
                                                 kPtsPerSecond,
                                             options.sampleRate(), kBytesPerFrame);
    std::vector<uint8_t> pcm;
    std::vector<uint8_t> placed;
    std::span<const uint8_t> payload;
    const auto write = [&](std::optional<int64_t> time) {
        placed.clear();
        start.take(pcm, time, placed);
        pcm.clear();
        return placed.empty() || wav.append(placed);
    };
    for (;;) {
        const auto step = stream.reader->next(payload);
        if (step == SubStreamReader::Step::Error)
            return fail(kProgram, "The VOB files could not be read to their end.");
        if (step == SubStreamReader::Step::End)
            break;
        std::optional<int64_t> time;
        decoder.decode(payload, stream.reader->pts(), pcm, &time);
        if (!write(time))
            return fail(kProgram, cannotWriteMessage(options.wav));
    }
    decoder.finish(pcm);
    if (!write(std::nullopt))
        return fail(kProgram, cannotWriteMessage(options.wav));
    if (wav.dataSize() == 0)
        return fail(kProgram, "No AC3 frame of sub-stream " + subStreamText(options.subStream) +
                                  " could be decoded: " + options.wav + " is not written.");
    if (const int64_t damaged = decoder.damagedFrames(); damaged > 0)
        tellUser(kProgram, "warning: " + std::to_string(damaged) + " damaged AC3 frames were passed over.");
    if (const int64_t filled = decoder.framesFilled(); filled > 0)
        tellUser(kProgram, "warning: " + std::to_string(filled * 1000 / options.sampleRate()) +
                               " ms of lost sound were filled with silence.");
    if (stream.reader->sawDamage())
        tellUser(kProgram, "warning: damaged bytes of the VOB files were passed over.");
    if (!wav.commit())
        return fail(kProgram, cannotWriteMessage(options.wav));
    return kExitOk;
}

} // namespace outside::ac3dec
