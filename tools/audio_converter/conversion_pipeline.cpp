#include "tools/audio_converter/conversion_pipeline.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tools::audio_converter {

using namespace platform::acm;

namespace {

constexpr uint32_t BytesPerSample = 2;   // the encoder's 16-bit samples
constexpr uint32_t StereoFrameBytes = 4; // one 16-bit stereo frame
// A decoder gives an MP3 stream's first sample after the encoder's look-ahead (576 samples) and its
// own synthesis delay (529): the sound would start that much after the picture of a movie. That many
// leading samples are left out of the encoding, so that the decoded sound keeps the source's time.
constexpr uint32_t Mp3CodingDelayBytes = (576 + 529) * StereoFrameBytes;
constexpr int FinishRoundsMax = 1 << 20; // a codec that never runs dry is broken

StepError acmError(int code) {
    return {StepError::Kind::Acm, code};
}

// One ACM stream with its prepared header and destination buffer.
class AcmStage {
public:
    static std::unique_ptr<AcmStage> open(const WaveFormat& from, const WaveFormat& to, uint32_t dstBytes,
                                          int& code) {
        std::unique_ptr<AcmStage> stage(new AcmStage);
        code = AcmStream::open(stage->stream_, from, to);
        if (code != MMSYSERR_NOERROR)
            return nullptr;
        stage->dst_.resize(dstBytes);
        stage->header_.pbDst = stage->dst_.data();
        stage->header_.cbDstLength = dstBytes;
        code = stage->stream_->prepareHeader(stage->header_);
        return code == MMSYSERR_NOERROR ? std::move(stage) : nullptr;
    }
    ~AcmStage() {
        if (header_.prepared)
            stream_->unprepareHeader(header_);
    }
    AcmStream& stream() { return *stream_; }
    int run(const uint8_t* src, uint32_t length, uint32_t flags, uint32_t& used) {
        header_.pbSrc = src;
        header_.cbSrcLength = length;
        const int code = stream_->convert(header_, flags);
        used = code == MMSYSERR_NOERROR ? header_.cbSrcLengthUsed : 0;
        return code;
    }
    const uint8_t* output() const { return dst_.data(); }
    uint32_t produced() const { return header_.cbDstLengthUsed; }
    // Runs END calls until the stream gives nothing more, passing every piece on.
    template <typename Fn>
    int drain(Fn&& take) {
        for (int round = 0; round < FinishRoundsMax; ++round) {
            uint32_t used = 0;
            if (const int code = run(nullptr, 0, ACM_STREAMCONVERTF_END, used); code != MMSYSERR_NOERROR)
                return code;
            if (produced() == 0)
                return MMSYSERR_NOERROR;
            if (!take(output(), produced()))
                return -1;
        }
        return ACMERR_NOTPOSSIBLE;
    }

private:
    AcmStage() = default;
    std::unique_ptr<AcmStream> stream_;
    std::vector<uint8_t> dst_;
    StreamHeader header_;
};

// The MP3 encoder stream.
class Mp3Stage {
public:
    ~Mp3Stage() {
        if (open_)
            lib_->beCloseStream(stream_);
    }
    StepError open(const Mp3Settings& settings, uint32_t rate, uint16_t channels) {
        lib_ = settings.library;
        Mp3Config config;
        std::memset(&config, 0, sizeof config);
        config.dwConfig = MP3_CONFIG_LAME;
        config.dwStructVersion = MP3_CONFIG_VERSION;
        config.dwStructSize = MP3_CONFIG_SIZE;
        config.dwSampleRate = rate;
        config.dwReSampleRate = rate;
        // A one-channel target gets mono frames; the encoder mixes the stereo input down.
        config.nMode = channels == 1 ? MP3_MODE_MONO : MP3_MODE_STEREO;
        config.dwBitrate = settings.bitRateKbits;
        config.nPreset = MP3_PRESET_HIGH_QUALITY;
        config.dwMpegVersion = MP3_MPEG1;
        const uint32_t rc = lib_->beInitStream(&config, &samplesPerChunk_, &outputBytes_, &stream_);
        if (rc != MP3_ERR_SUCCESSFUL)
            return {StepError::Kind::Mp3Open, rc};
        open_ = true;
        if (samplesPerChunk_ < BytesPerSample)
            return {StepError::Kind::Mp3Open, MP3_ERR_INVALID_FORMAT_PARAMETERS};
        out_.resize(outputBytes_);
        return {};
    }
    uint32_t chunkBytes() const { return samplesPerChunk_ * BytesPerSample; }
    // Encodes the whole stereo frames of pcm, a chunk at a time.
    StepError encode(const uint8_t* pcm, uint32_t length, uint32_t& used, const OutputSink& sink) {
        const uint32_t whole = length - length % StereoFrameBytes;
        used = std::min(skipBytes_, whole);
        skipBytes_ -= used;
        const uint32_t chunk = chunkBytes() - chunkBytes() % StereoFrameBytes;
        while (used < whole) {
            const uint32_t n = std::min(chunk, whole - used);
            std::vector<int16_t>& samples = samples_;
            samples.resize(n / BytesPerSample);
            std::memcpy(samples.data(), pcm + used, n);
            uint32_t made = 0;
            const uint32_t rc =
                lib_->beEncodeChunk(stream_, n / BytesPerSample, samples.data(), out_.data(), &made);
            if (rc != MP3_ERR_SUCCESSFUL)
                return {StepError::Kind::Mp3Encode, rc};
            if (made > 0 && !sink(out_.data(), made))
                return {StepError::Kind::Write, 0};
            used += n;
        }
        return {};
    }
    StepError finish(const OutputSink& sink) {
        uint32_t made = 0;
        const uint32_t rc = lib_->beDeinitStream(stream_, out_.data(), &made);
        if (rc != MP3_ERR_SUCCESSFUL)
            return {StepError::Kind::Mp3Encode, rc};
        if (made > 0 && !sink(out_.data(), made))
            return {StepError::Kind::Write, 0};
        return {};
    }

private:
    const Mp3EncoderLibrary* lib_ = nullptr;
    Mp3Stream stream_ = 0;
    bool open_ = false;
    uint32_t samplesPerChunk_ = 0;
    uint32_t outputBytes_ = 0;
    uint32_t skipBytes_ = Mp3CodingDelayBytes;
    std::vector<uint8_t> out_;
    std::vector<int16_t> samples_;
};

// Bytes produced by one stage and not yet taken by the next.
struct Carry {
    std::vector<uint8_t> bytes;
    void append(const uint8_t* data, uint32_t length) { bytes.insert(bytes.end(), data, data + length); }
    void drop(uint32_t length) {
        bytes.erase(bytes.begin(), bytes.begin() + std::min<std::ptrdiff_t>(length, std::ssize(bytes)));
    }
    const uint8_t* data() const { return bytes.data(); }
    uint32_t size() const { return static_cast<uint32_t>(bytes.size()); }
};

StepError passOn(const AcmStage& stage, const OutputSink& out) {
    if (stage.produced() > 0 && !out(stage.output(), stage.produced()))
        return {StepError::Kind::Write, 0};
    return {};
}

class AcmDirect : public Pipeline {
public:
    explicit AcmDirect(std::unique_ptr<AcmStage> a) : a_(std::move(a)) {}
    StepError init() {
        uint32_t block = 0;
        const int rc = a_->stream().sourceSizeFor(AcmDestinationBlock, block);
        sourceBlock_ = block;
        return rc == MMSYSERR_NOERROR ? StepError{} : acmError(rc);
    }
    StepError feed(const uint8_t* data, uint32_t length, uint32_t& used, const OutputSink& out) override {
        if (const int rc = a_->run(data, length, ACM_STREAMCONVERTF_BLOCKALIGN, used); rc != MMSYSERR_NOERROR)
            return acmError(rc);
        return passOn(*a_, out);
    }
    StepError finish(const OutputSink& out) override {
        const int rc = a_->drain([&](const uint8_t* d, uint32_t n) { return out(d, n); });
        return rc == -1 ? StepError{StepError::Kind::Write, 0} : rc != 0 ? acmError(rc) : StepError{};
    }

private:
    std::unique_ptr<AcmStage> a_;
};

class AcmViaPcm : public Pipeline {
public:
    AcmViaPcm(std::unique_ptr<AcmStage> a, std::unique_ptr<AcmStage> b, uint32_t sourceBlock)
        : a_(std::move(a)), b_(std::move(b)) {
        sourceBlock_ = sourceBlock;
    }
    StepError feed(const uint8_t* data, uint32_t length, uint32_t& used, const OutputSink& out) override {
        if (const int rc = a_->run(data, length, ACM_STREAMCONVERTF_BLOCKALIGN, used); rc != MMSYSERR_NOERROR)
            return acmError(rc);
        middle_.append(a_->output(), a_->produced());
        return second(0, out);
    }
    StepError finish(const OutputSink& out) override {
        StepError failed;
        const int rc = a_->drain([&](const uint8_t* d, uint32_t n) {
            middle_.append(d, n);
            failed = second(0, out);
            return !failed;
        });
        if (failed)
            return failed;
        if (rc != MMSYSERR_NOERROR)
            return acmError(rc);
        if (StepError e = second(ACM_STREAMCONVERTF_END, out))
            return e;
        const int rcB = b_->drain([&](const uint8_t* d, uint32_t n) { return out(d, n); });
        return rcB == -1 ? StepError{StepError::Kind::Write, 0} : rcB != 0 ? acmError(rcB) : StepError{};
    }

private:
    StepError second(uint32_t flags, const OutputSink& out) {
        uint32_t used = 0;
        if (const int rc =
                b_->run(middle_.data(), middle_.size(), ACM_STREAMCONVERTF_BLOCKALIGN | flags, used);
            rc != MMSYSERR_NOERROR)
            return acmError(rc);
        middle_.drop(used);
        return passOn(*b_, out);
    }
    std::unique_ptr<AcmStage> a_;
    std::unique_ptr<AcmStage> b_;
    Carry middle_;
};

class LameDirect : public Pipeline {
public:
    explicit LameDirect(std::unique_ptr<Mp3Stage> mp3) : mp3_(std::move(mp3)) {
        sourceBlock_ = mp3_->chunkBytes();
    }
    StepError feed(const uint8_t* data, uint32_t length, uint32_t& used, const OutputSink& out) override {
        return mp3_->encode(data, length, used, out);
    }
    StepError finish(const OutputSink& out) override { return mp3_->finish(out); }

private:
    std::unique_ptr<Mp3Stage> mp3_;
};

class LameViaPcm : public Pipeline {
public:
    LameViaPcm(std::unique_ptr<AcmStage> a, std::unique_ptr<Mp3Stage> mp3, uint32_t sourceBlock)
        : a_(std::move(a)), mp3_(std::move(mp3)) {
        sourceBlock_ = sourceBlock;
    }
    StepError feed(const uint8_t* data, uint32_t length, uint32_t& used, const OutputSink& out) override {
        if (const int rc = a_->run(data, length, ACM_STREAMCONVERTF_BLOCKALIGN, used); rc != MMSYSERR_NOERROR)
            return acmError(rc);
        middle_.append(a_->output(), a_->produced());
        return encodeMiddle(out);
    }
    StepError finish(const OutputSink& out) override {
        StepError failed;
        const int rc = a_->drain([&](const uint8_t* d, uint32_t n) {
            middle_.append(d, n);
            failed = encodeMiddle(out);
            return !failed;
        });
        if (failed)
            return failed;
        if (rc != MMSYSERR_NOERROR)
            return acmError(rc);
        return mp3_->finish(out);
    }

private:
    StepError encodeMiddle(const OutputSink& out) {
        uint32_t used = 0;
        const StepError e = mp3_->encode(middle_.data(), middle_.size(), used, out);
        middle_.drop(used);
        return e;
    }
    std::unique_ptr<AcmStage> a_;
    std::unique_ptr<Mp3Stage> mp3_;
    Carry middle_;
};

} // namespace

ConversionPath choosePath(const WaveFormat& source, const WaveFormat& target) {
    const bool mp3 = target.wFormatTag == WAVE_FORMAT_MPEGLAYER3;
    const bool direct = source.nSamplesPerSec == target.nSamplesPerSec && (source.isPcm() || target.isPcm());
    if (!mp3)
        return direct ? ConversionPath::AcmDirect : ConversionPath::AcmViaPcm;
    const bool stereo16 = source.isPcm() && source.nChannels == 2 && source.wBitsPerSample == 16 &&
                          source.nBlockAlign == StereoFrameBytes;
    return direct && stereo16 ? ConversionPath::LameDirect : ConversionPath::LameViaPcm;
}

WaveFormat intermediateFormat(const WaveFormat& target) {
    return pcmFormat(target.nSamplesPerSec, 2, 16);
}

std::unique_ptr<Pipeline> openPipeline(ConversionPath path, const WaveFormat& source,
                                       const WaveFormat& target, const Mp3Settings& mp3, StepError& error) {
    error = {};
    const WaveFormat middle = intermediateFormat(target);
    int rc = MMSYSERR_NOERROR;
    switch (path) {
    case ConversionPath::AcmDirect: {
        auto a = AcmStage::open(source, target, AcmDestinationBlock, rc);
        if (!a)
            break;
        auto pipeline = std::make_unique<AcmDirect>(std::move(a));
        if ((error = pipeline->init()))
            return nullptr;
        return pipeline;
    }
    case ConversionPath::AcmViaPcm: {
        // Stream B first: its source size for a destination block sizes stream A's output.
        auto b = AcmStage::open(middle, target, AcmDestinationBlock, rc);
        uint32_t middleBlock = 0, sourceBlock = 0;
        if (!b || (rc = b->stream().sourceSizeFor(AcmDestinationBlock, middleBlock)) != MMSYSERR_NOERROR)
            break;
        auto a = AcmStage::open(source, middle, middleBlock, rc);
        if (!a || (rc = a->stream().sourceSizeFor(middleBlock, sourceBlock)) != MMSYSERR_NOERROR)
            break;
        return std::make_unique<AcmViaPcm>(std::move(a), std::move(b), sourceBlock);
    }
    case ConversionPath::LameDirect: {
        auto encoder = std::make_unique<Mp3Stage>();
        if ((error = encoder->open(mp3, source.nSamplesPerSec, target.nChannels)))
            return nullptr;
        return std::make_unique<LameDirect>(std::move(encoder));
    }
    case ConversionPath::LameViaPcm: {
        // The intermediate block is one encoder chunk; the stream is opened before the encoder.
        std::unique_ptr<AcmStream> probe;
        if ((rc = AcmStream::open(probe, source, middle)) != MMSYSERR_NOERROR)
            break;
        probe.reset();
        auto encoder = std::make_unique<Mp3Stage>();
        if ((error = encoder->open(mp3, target.nSamplesPerSec, target.nChannels)))
            return nullptr;
        const uint32_t middleBlock = encoder->chunkBytes();
        uint32_t sourceBlock = 0;
        auto a = AcmStage::open(source, middle, middleBlock, rc);
        if (!a || (rc = a->stream().sourceSizeFor(middleBlock, sourceBlock)) != MMSYSERR_NOERROR)
            break;
        return std::make_unique<LameViaPcm>(std::move(a), std::move(encoder), sourceBlock);
    }
    }
    error = acmError(rc != MMSYSERR_NOERROR ? rc : ACMERR_NOTPOSSIBLE);
    return nullptr;
}

} // namespace tools::audio_converter
