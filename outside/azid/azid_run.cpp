#include "outside/azid/azid_run.h"

#include "outside/azid/ac3_frames.h"
#include "outside/azid/stereo_downmix.h"
#include "outside/dvd_audio/tool_message.h"
#include "outside/dvd_audio/wav_file.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/dshow/filters/sample_converter.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace outside::azid {

using namespace outside::dvd_audio;
namespace filters = platform::dshow::filters;

namespace {

constexpr size_t kReadBytes = 1 << 20;
constexpr float kFullScale = 32768.0f;
constexpr float kLargestSample = 32767.0f;

struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// One pass over the file: every decoded frame goes to the sink. False, with error set, when the
// file cannot be read.
bool decodeFile(const AzidOptions& options, const FrameSink& sink, int64_t& errors, std::string& error) {
    const std::string path = platform::core::resolvePath(options.input);
    // Only a regular file, never waited on: a pipe of that name is refused at once.
    const int fd = platform::core::openForReading(path);
    std::unique_ptr<std::FILE, FileClose> file(fd >= 0 ? ::fdopen(fd, "rb") : nullptr);
    if (fd >= 0 && !file)
        ::close(fd);
    if (!file) {
        // A folder or a pipe is simply no file to read; other causes are named.
        const int cause = errno;
        error = "The AC3 file " + options.input + " cannot be read" +
                (cause == EINVAL || cause == EISDIR ? std::string(".")
                                                    : std::string(" (") + std::strerror(cause) + ").");
        return false;
    }
    Ac3Frames decoder;
    if (!decoder.open(options.compression, error))
        return false;
    std::vector<uint8_t> buffer(kReadBytes);
    for (;;) {
        const size_t got = std::fread(buffer.data(), 1, buffer.size(), file.get());
        if (got > 0)
            decoder.decode({buffer.data(), got}, sink);
        if (got < buffer.size()) {
            if (std::ferror(file.get())) {
                error = "The AC3 file " + options.input + " could not be read to its end.";
                return false;
            }
            break;
        }
    }
    decoder.finish(sink);
    errors = decoder.errors();
    return true;
}

// Keeps the down-mix factors of the last frame's layout.
class MixCache {
public:
    explicit MixCache(std::optional<double> lfeGain) : lfeGain_(lfeGain) {}
    const StereoMix& mixFor(const DecodedFrame& frame) {
        if (!valid_ || frame.channelMask != mask_ || frame.channels != channels_ ||
            frame.centerMixLevel != center_ || frame.surroundMixLevel != surround_) {
            mix_ = stereoMixFor(frame.channelMask, frame.channels, frame.centerMixLevel,
                                frame.surroundMixLevel, lfeGain_);
            mask_ = frame.channelMask;
            channels_ = frame.channels;
            center_ = frame.centerMixLevel;
            surround_ = frame.surroundMixLevel;
            valid_ = true;
        }
        return mix_;
    }

private:
    std::optional<double> lfeGain_;
    StereoMix mix_;
    bool valid_ = false;
    uint64_t mask_ = 0;
    int channels_ = 0;
    double center_ = 0;
    double surround_ = 0;
};

std::optional<double> lfeGainOf(const AzidOptions& options) {
    if (!options.lfeLevelDb)
        return std::nullopt;
    return gainOfDb(*options.lfeLevelDb);
}

int noFrames(const AzidOptions& options) {
    return fail(kProgram, "The file " + options.input + " holds no AC3 frame that could be decoded: " +
                              options.output + " is not written.");
}

} // namespace

float gainForPeak(float peak) {
    if (!(peak > 0.0f) || !std::isfinite(peak))
        return 1.0f;
    return kLargestSample / (kFullScale * peak);
}

int runAzid(const AzidOptions& options) {
    WavFile wav(options.output);
    if (!wav.isOpen())
        return fail(kProgram, cannotWriteMessage(options.output));
    std::string error;
    int64_t errors = 0;
    std::vector<float> mixed;
    float gain = 1.0f;

    if (options.maxGain) {
        MixCache cache(lfeGainOf(options));
        float peak = 0.0f;
        int64_t frames = 0;
        const bool read = decodeFile(
            options,
            [&](const DecodedFrame& frame) {
                mixed.clear();
                mixDown(frame, cache.mixFor(frame), 1.0f, mixed);
                for (const float v : mixed)
                    peak = std::max(peak, std::fabs(v));
                ++frames;
            },
            errors, error);
        if (!read)
            return fail(kProgram, error);
        if (frames == 0)
            return noFrames(options);
        gain = gainForPeak(peak);
    }

    MixCache cache(lfeGainOf(options));
    std::unique_ptr<filters::SampleConverter> converter;
    std::vector<uint8_t> pcm;
    bool writeFailed = false;
    const bool read = decodeFile(
        options,
        [&](const DecodedFrame& frame) {
            if (writeFailed)
                return;
            if (!converter) {
                converter = filters::makeSampleConverter(frame.sampleRate);
                if (!wav.begin(frame.sampleRate)) {
                    writeFailed = true;
                    return;
                }
            }
            mixed.clear();
            mixDown(frame, cache.mixFor(frame), gain, mixed);
            filters::PcmBlock block;
            block.type = filters::SampleType::Float;
            block.channels = 2;
            block.sampleRate = frame.sampleRate;
            block.frames = frame.frames;
            block.planes[0] = reinterpret_cast<const uint8_t*>(mixed.data());
            pcm.clear();
            if (!converter->convert(block, pcm))
                ++errors;
            if (!pcm.empty() && !wav.append(pcm))
                writeFailed = true;
        },
        errors, error);
    if (!read)
        return fail(kProgram, error);
    if (writeFailed)
        return fail(kProgram, cannotWriteMessage(options.output));
    if (!converter)
        return noFrames(options);
    pcm.clear();
    converter->drain(pcm);
    if (!pcm.empty() && !wav.append(pcm))
        return fail(kProgram, cannotWriteMessage(options.output));
    if (errors > 0)
        tellUser(kProgram, "warning: " + std::to_string(errors) + " damaged AC3 frames were passed over.");
    if (!wav.commit())
        return fail(kProgram, cannotWriteMessage(options.output));
    return kExitOk;
}

} // namespace outside::azid
