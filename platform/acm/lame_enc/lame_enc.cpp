// The MP3 encoder library: the interface of platform/acm/mp3_encoder_api.h over libmp3lame.
#include "platform/acm/lame_enc/segmented_encoder.h"
#include "platform/acm/mp3_encoder_api.h"
#include "platform/core/processors.h"

#include <lame/lame.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>
#include <set>

using namespace platform::acm;

namespace {

constexpr int InputChannels = 2;
constexpr uint32_t OutputSlack = 7200; // libmp3lame's worst case beyond 1.25 bytes per sample
constexpr int QualityHigh = 2;
constexpr int QualityNormal = 5;
constexpr int QualityLow = 7;

constexpr unsigned MaxThreads = 8;

// Each stream encodes on several cores (segments joined into one frame stream) when the machine has
// them; its output then comes in bursts as segments are joined, so the output buffer is sized for the
// segments that may be in flight when the stream ends.
struct Stream {
    lame_global_flags* flags = nullptr;
    std::unique_ptr<mp3::SegmentedEncoder> segments;
    uint32_t samplesPerChunk = 0;
    uint32_t outputBytes = 0;
};

std::mutex streamsLock;
std::set<Stream*> streams;

Stream* findStream(Mp3Stream handle) {
    std::lock_guard<std::mutex> lock(streamsLock);
    auto* stream = reinterpret_cast<Stream*>(handle);
    return streams.count(stream) != 0 ? stream : nullptr;
}

MPEG_mode modeOf(int32_t mode) {
    switch (mode) {
    case MP3_MODE_JOINT_STEREO:
        return JOINT_STEREO;
    case MP3_MODE_DUAL_CHANNEL:
        return DUAL_CHANNEL;
    case MP3_MODE_MONO:
        return MONO;
    default:
        return STEREO;
    }
}

int qualityOf(int32_t preset) {
    if (preset == MP3_PRESET_HIGH_QUALITY)
        return QualityHigh;
    if (preset == MP3_PRESET_LOW_QUALITY)
        return QualityLow;
    return QualityNormal;
}

bool configure(lame_global_flags* gf, const Mp3Config& c) {
    if (gf == nullptr)
        return false;
    const int rate = static_cast<int>(c.dwSampleRate);
    const int outRate = c.dwReSampleRate != 0 ? static_cast<int>(c.dwReSampleRate) : rate;
    int failures = 0;
    failures += lame_set_num_channels(gf, InputChannels) < 0;
    failures += lame_set_in_samplerate(gf, rate) < 0;
    failures += lame_set_out_samplerate(gf, outRate) < 0;
    failures += lame_set_mode(gf, modeOf(c.nMode)) < 0;
    failures += lame_set_VBR(gf, vbr_off) < 0;
    failures += lame_set_brate(gf, static_cast<int>(c.dwBitrate)) < 0;
    failures += lame_set_quality(gf, qualityOf(c.nPreset)) < 0;
    failures += lame_set_error_protection(gf, c.bCRC != 0) < 0;
    failures += lame_set_copyright(gf, c.bCopyright != 0) < 0;
    failures += lame_set_original(gf, c.bOriginal != 0) < 0;
    failures += lame_set_extension(gf, c.bPrivate != 0) < 0;
    // The frames go into a WAV file: no Xing/Info frame and no tags.
    failures += lame_set_bWriteVbrTag(gf, 0) < 0;
    lame_set_write_id3tag_automatic(gf, 0);
    return failures == 0 && lame_init_params(gf) >= 0;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) uint32_t beInitStream(const Mp3Config* config,
                                                             uint32_t* samplesPerChunk,
                                                             uint32_t* minOutputBytes, Mp3Stream* handle) {
    if (config == nullptr || samplesPerChunk == nullptr || minOutputBytes == nullptr || handle == nullptr)
        return MP3_ERR_INVALID_FORMAT_PARAMETERS;
    if (config->dwConfig != MP3_CONFIG_LAME || config->dwStructVersion != MP3_CONFIG_VERSION ||
        config->dwStructSize != MP3_CONFIG_SIZE)
        return MP3_ERR_INVALID_FORMAT;
    if (config->dwSampleRate == 0 || config->dwBitrate == 0)
        return MP3_ERR_INVALID_FORMAT_PARAMETERS;
    auto* stream = new (std::nothrow) Stream;
    if (stream == nullptr)
        return MP3_ERR_NO_MORE_HANDLES;
    stream->flags = lame_init();
    if (stream->flags == nullptr) {
        delete stream;
        return MP3_ERR_NO_MORE_HANDLES;
    }
    if (!configure(stream->flags, *config)) {
        lame_close(stream->flags);
        delete stream;
        return MP3_ERR_INVALID_FORMAT_PARAMETERS;
    }
    const auto frame = static_cast<uint32_t>(lame_get_framesize(stream->flags));
    stream->samplesPerChunk = frame * InputChannels;
    stream->outputBytes = frame * 5 / 4 + OutputSlack;
    const unsigned threads = std::min(MaxThreads, static_cast<unsigned>(platform::core::usableProcessors()));
    if (threads > 1) {
        mp3::SegmentedEncoder::Shape shape;
        shape.frameSamples = static_cast<int>(frame);
        shape.threads = static_cast<int>(threads);
        const Mp3Config copy = *config;
        stream->segments = std::make_unique<mp3::SegmentedEncoder>(
            [copy]() -> lame_global_flags* {
                lame_global_flags* gf = lame_init();
                if (configure(gf, copy))
                    return gf;
                if (gf != nullptr)
                    lame_close(gf);
                return nullptr;
            },
            shape);
        const auto frameBytes = static_cast<uint32_t>(
            static_cast<uint64_t>(frame) / 8 * static_cast<uint64_t>(lame_get_brate(stream->flags)) * 1000 /
                static_cast<uint64_t>(lame_get_out_samplerate(stream->flags)) +
            1);
        const auto perSegment = static_cast<uint32_t>(shape.segmentFrames + shape.warmUp + shape.overlap + 8);
        stream->outputBytes = (threads + 3) * perSegment * frameBytes + OutputSlack;
    }
    {
        std::lock_guard<std::mutex> lock(streamsLock);
        streams.insert(stream);
    }
    *samplesPerChunk = stream->samplesPerChunk;
    *minOutputBytes = stream->outputBytes;
    *handle = reinterpret_cast<Mp3Stream>(stream);
    return MP3_ERR_SUCCESSFUL;
}

__attribute__((visibility("default"))) uint32_t beEncodeChunk(Mp3Stream handle, uint32_t samples,
                                                              const int16_t* input, uint8_t* output,
                                                              uint32_t* outputBytes) {
    Stream* stream = findStream(handle);
    if (stream == nullptr)
        return MP3_ERR_INVALID_HANDLE;
    if (outputBytes == nullptr || output == nullptr || (samples > 0 && input == nullptr) ||
        samples > stream->samplesPerChunk)
        return MP3_ERR_INVALID_FORMAT_PARAMETERS;
    if (stream->segments != nullptr) {
        if (!stream->segments->encode(input, samples / InputChannels))
            return MP3_ERR_INVALID_FORMAT_PARAMETERS;
        *outputBytes = static_cast<uint32_t>(stream->segments->take(output, stream->outputBytes));
        return MP3_ERR_SUCCESSFUL;
    }
    // libmp3lame takes a non-const pointer but only reads the samples.
    const int made = lame_encode_buffer_interleaved(stream->flags, const_cast<short*>(input),
                                                    static_cast<int>(samples / InputChannels), output,
                                                    static_cast<int>(stream->outputBytes));
    if (made < 0)
        return made == -1 ? MP3_ERR_BUFFER_TOO_SMALL : MP3_ERR_INVALID_FORMAT_PARAMETERS;
    *outputBytes = static_cast<uint32_t>(made);
    return MP3_ERR_SUCCESSFUL;
}

__attribute__((visibility("default"))) uint32_t beDeinitStream(Mp3Stream handle, uint8_t* output,
                                                               uint32_t* outputBytes) {
    Stream* stream = findStream(handle);
    if (stream == nullptr)
        return MP3_ERR_INVALID_HANDLE;
    if (output == nullptr || outputBytes == nullptr)
        return MP3_ERR_INVALID_FORMAT_PARAMETERS;
    if (stream->segments != nullptr) {
        if (!stream->segments->finish())
            return MP3_ERR_INVALID_FORMAT_PARAMETERS;
        if (stream->segments->ready() > stream->outputBytes)
            return MP3_ERR_BUFFER_TOO_SMALL;
        *outputBytes = static_cast<uint32_t>(stream->segments->take(output, stream->outputBytes));
        return MP3_ERR_SUCCESSFUL;
    }
    const int made = lame_encode_flush(stream->flags, output, static_cast<int>(stream->outputBytes));
    if (made < 0)
        return MP3_ERR_BUFFER_TOO_SMALL;
    *outputBytes = static_cast<uint32_t>(made);
    return MP3_ERR_SUCCESSFUL;
}

__attribute__((visibility("default"))) uint32_t beCloseStream(Mp3Stream handle) {
    Stream* stream = findStream(handle);
    if (stream == nullptr)
        return MP3_ERR_INVALID_HANDLE;
    {
        std::lock_guard<std::mutex> lock(streamsLock);
        streams.erase(stream);
    }
    lame_close(stream->flags);
    delete stream;
    return MP3_ERR_SUCCESSFUL;
}

} // extern "C"
