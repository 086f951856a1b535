#include "tools/audio_converter/conversion_engine.h"

#include "tools/audio_converter/conversion_pipeline.h"
#include "tools/audio_converter/converter_time.h"
#include "tools/audio_converter/source_normalizer.h"
#include "tools/audio_converter/wave_source.h"

#include "platform/acm/mp3_encoder_library.h"
#include "platform/core/clock.h"
#include "platform/core/files.h"
#include "platform/core/text.h"
#include "platform/mmio/riff_file.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tools::audio_converter {

namespace core = platform::core;
using namespace platform::mmio;
using platform::acm::WaveFormat;

namespace {

constexpr int StallRoundsMax = 64; // blocks in a row in which the codecs take and give nothing
constexpr uint32_t BitsPerByte = 8;
constexpr uint32_t BitsPerKbit = 1000;

const char* const IoErrorText = "I/O acces error";

// Stops the window's timer however the job ends.
class TimerGuard {
public:
    explicit TimerGuard(ConversionSink& sink) : sink_(sink) {}
    ~TimerGuard() {
        if (on_)
            sink_.jobEnded();
    }
    void start(int64_t total) {
        on_ = true;
        sink_.jobStarted(total);
    }
    void stop() {
        if (on_)
            sink_.jobEnded();
        on_ = false;
    }

private:
    ConversionSink& sink_;
    bool on_ = false;
};

uint32_t mp3BitRate(const ConversionRequest& r) {
    const int32_t kbits = core::strToIntDef(r.bitRateText, 0);
    if (kbits > 0)
        return static_cast<uint32_t>(kbits);
    return r.target.nAvgBytesPerSec * BitsPerByte / BitsPerKbit;
}

} // namespace

void ConversionEngine::showMmioError(int code) {
    switch (code) {
    case MMIOERR_CANNOTWRITE:
        sink_.messageBox("MMIOERR_CANNOTWRITE");
        break;
    case MMIOERR_CANNOTSEEK:
        sink_.messageBox("MMIOERR_CANNOTSEEK");
        break;
    case MMIOERR_CHUNKNOTFOUND:
        sink_.messageBox("CANT FIND CHUNK");
        break;
    default:
        sink_.messageBox(IoErrorText);
        break;
    }
}

void ConversionEngine::showAcmError(int64_t code, bool quiet) {
    std::string name;
    switch (code) {
    case platform::acm::ACMERR_NOTPOSSIBLE:
        name = "ACMERR_NOTPOSSIBLE";
        break;
    case platform::acm::MMSYSERR_INVALFLAG:
        name = "MMSYSERR_INVALFLAG";
        break;
    case platform::acm::MMSYSERR_INVALHANDLE:
        name = "MMSYSERR_INVALHANDLE";
        break;
    case platform::acm::MMSYSERR_INVALPARAM:
        name = "MMSYSERR_INVALPARAM";
        break;
    case platform::acm::MMSYSERR_NOMEM:
        name = "MMSYSERR_NOMEM";
        break;
    default:
        name = "ACM error " + std::to_string(code);
        break;
    }
    // Batch use shows no bare codes, but a failed conversion must never pass for a finished one: the
    // caller stops on it, and the user learns why.
    if (quiet)
        sink_.errorBox(CannotConvertText + name + ")");
    else
        sink_.messageBox(name);
}

bool ConversionEngine::openDestination(const ConversionRequest& r, std::unique_ptr<RiffFile>& dest,
                                       ChunkInfo& outRiff, ChunkInfo& outData) {
    dest = RiffFile::open(r.destination, OpenMode::Create);
    if (!dest) {
        sink_.errorBox("Cannot create destination file");
        return false;
    }
    ChunkInfo outFmt;
    outRiff.fccType = FOURCC_WAVE;
    outFmt.ckid = FOURCC_FMT;
    outData.ckid = FOURCC_DATA;
    const auto formatBytes = r.target.toBytes();
    int rc = dest->createChunk(outRiff, CreateKind::Riff);
    if (rc == MMSYSERR_NOERROR)
        rc = dest->createChunk(outFmt, CreateKind::Chunk);
    if (rc == MMSYSERR_NOERROR &&
        dest->write(formatBytes.data(), std::ssize(formatBytes)) != std::ssize(formatBytes)) {
        sink_.messageBox(IoErrorText);
        return false;
    }
    if (rc == MMSYSERR_NOERROR)
        rc = dest->ascend(outFmt);
    if (rc == MMSYSERR_NOERROR)
        rc = dest->createChunk(outData, CreateKind::Chunk);
    if (rc != MMSYSERR_NOERROR) {
        showMmioError(rc);
        return false;
    }
    return true;
}

bool ConversionEngine::openSource(const ConversionRequest& r, std::unique_ptr<RiffFile>& src, ChunkInfo& riff,
                                  ChunkInfo& data, WaveFormat& format) {
    src = RiffFile::open(r.source, OpenMode::Read);
    if (!src) {
        sink_.errorBox("Cannot open source file");
        return false;
    }
    data.ckid = FOURCC_DATA;
    int rc = descendWave(*src, riff);
    if (rc == MMSYSERR_NOERROR)
        rc = readFormatChunk(*src, riff, format);
    if (rc == MMSYSERR_NOERROR)
        rc = src->descend(data, &riff, Descend::FindChunk);
    if (rc != MMSYSERR_NOERROR) {
        showMmioError(rc);
        return false;
    }
    return true;
}

ConversionResult ConversionEngine::run(const ConversionRequest& request, bool& userBreak) {
    ConversionResult result;
    if (running_) { // a job is already running in this window
        result.failed = true;
        return result;
    }
    running_ = true;
    total_ = remaining_ = 0;
    result.failed = !runSteps(request, userBreak, result);
    running_ = false;
    return result;
}

// The steps of the job in order; false when it ended on a check or a failed call. Everything opened
// is closed on the way out, and a destination not closed normally is removed.
bool ConversionEngine::runSteps(const ConversionRequest& r, bool& userBreak, ConversionResult& result) {
    // 1. The range.
    int64_t rangeStart = 0, rangeEnd = 0;
    if (r.range) {
        bool ok = true;
        rangeStart = timeTextToSeconds(r.rangeStart, ok);
        if (!ok)
            sink_.errorBox("Incorrect time value");
        rangeEnd = timeTextToSeconds(r.rangeEnd, ok);
        if (!ok)
            sink_.errorBox("Incorrect time value");
    }
    // 2. The checks.
    if (!core::fileExists(r.source)) {
        sink_.errorBox("Source file does not exist");
        return false;
    }
    if (r.destination.empty()) {
        sink_.errorBox("Please choose a destination file");
        return false;
    }
    if (r.codecText.empty() || r.codecText == "-") {
        sink_.errorBox("Please choose a codec");
        return false;
    }
    if (core::sameFile(r.source, r.destination)) {
        sink_.errorBox("Source and destination are the same file");
        return false;
    }
    // 3.
    userBreak = false;
    WaveFormat sourceFormat{};

    // 4.-5. The destination with its "fmt " chunk and an open "data" chunk; the source's format and
    // its "data" chunk.
    std::unique_ptr<RiffFile> dest;
    std::unique_ptr<RiffFile> src;
    ChunkInfo outRiff, outData, riff, data;
    if (!openDestination(r, dest, outRiff, outData) || !openSource(r, src, riff, data, sourceFormat))
        return false;
    const int64_t dataSize = dataBytes(data, riff, src->size());

    int rc = MMSYSERR_NOERROR;

    // 6. The path and its codecs.
    // A source the codecs do not take as it is goes through 16-bit PCM of its own rate first.
    const auto normalized = normalizedSource(sourceFormat);
    const WaveFormat pathSource = normalized.value_or(sourceFormat);
    const ConversionPath path = choosePath(pathSource, r.target);
    std::unique_ptr<platform::acm::Mp3EncoderLibrary> library;
    Mp3Settings mp3;
    if (path == ConversionPath::LameDirect || path == ConversionPath::LameViaPcm) {
        std::string why;
        library = platform::acm::Mp3EncoderLibrary::load(r.externDir, why);
        if (!library) {
            sink_.errorBox(std::string("Cannot load the MP3 encoder ") + platform::acm::Mp3EncoderFileName);
            return false;
        }
        mp3.library = library.get();
        mp3.bitRateKbits = mp3BitRate(r);
    }
    StepError error;
    std::unique_ptr<Pipeline> pipeline = openPipeline(path, pathSource, r.target, mp3, error);
    if (pipeline && normalized) {
        pipeline = normalizingPipeline(sourceFormat, std::move(pipeline));
        if (!pipeline)
            error = {StepError::Kind::Acm, platform::acm::ACMERR_NOTPOSSIBLE};
    }
    auto report = [&](const StepError& e) {
        if (e.kind == StepError::Kind::Acm)
            showAcmError(e.code, r.quiet);
        else if (e.kind == StepError::Kind::Mp3Open)
            sink_.errorBox("Error opening encoding stream " + std::to_string(e.code));
        else if (e.kind == StepError::Kind::Mp3Encode)
            sink_.errorBox("Error in the encoding stream " + std::to_string(e.code));
        else
            sink_.messageBox(IoErrorText);
    };
    if (!pipeline) {
        report(error);
        return false;
    }

    // 7. Progress.
    TimerGuard timer(sink_);
    total_ = dataSize;
    startMs_ = core::monotonicMs();
    timer.start(total_);

    // 8. The range, within the data chunk.
    const uint32_t bytesPerSecond = sourceFormat.nAvgBytesPerSec;
    if (r.range) {
        int64_t skip = std::min(rangeStart * bytesPerSecond, dataSize);
        if (sourceFormat.nBlockAlign > 0)
            skip -= skip % sourceFormat.nBlockAlign;
        if (src->seek(data.dataOffset + skip, SEEK_SET) < 0) {
            showMmioError(MMIOERR_CANNOTSEEK);
            return false;
        }
        total_ = std::clamp<int64_t>((rangeEnd - rangeStart) * bytesPerSecond, 0, dataSize - skip);
    }

    // 9. The blocks.
    sink_.progressMaximum(total_);
    remaining_ = total_;
    int64_t written = 0;
    const OutputSink out = [&](const uint8_t* bytes, uint32_t length) {
        if (dest->write(bytes, length) != length)
            return false;
        written += length;
        return true;
    };
    const uint32_t block = pipeline->sourceBlock();
    std::vector<uint8_t> buffer(static_cast<size_t>(block) * 2);
    uint32_t carry = 0;
    int64_t fed = 0;
    int stalled = 0;
    while (remaining_ >= 1 && !userBreak) {
        const auto n =
            static_cast<uint32_t>(std::min<int64_t>({block, remaining_, std::ssize(buffer) - carry}));
        sink_.progressStep(n);
        remaining_ -= n;
        const int64_t got = src->read(buffer.data() + carry, n);
        if (got < 0) {
            sink_.messageBox(IoErrorText);
            return false;
        }
        if (got < n) // the file ended early
            remaining_ = 0;
        fed += got;
        sink_.processMessages();
        uint32_t used = 0;
        const auto length = static_cast<uint32_t>(carry + got);
        if (StepError e = pipeline->feed(buffer.data(), length, used, out)) {
            report(e);
            return false;
        }
        carry = length - used;
        std::memmove(buffer.data(), buffer.data() + used, carry);
        stalled = (got == 0 && used == 0) ? stalled + 1 : 0;
        if (stalled > StallRoundsMax) {
            showAcmError(platform::acm::ACMERR_NOTPOSSIBLE, r.quiet);
            return false;
        }
    }
    // Codecs that were given nothing are not flushed: an empty range leaves an empty "data" chunk.
    if (StepError e = fed > 0 ? pipeline->finish(out) : StepError{}) {
        report(e);
        return false;
    }

    // 10.
    timer.stop();
    pipeline.reset();
    library.reset();
    if (userBreak && !r.keepStopped) {
        dest.reset(); // never closed: the work file goes, the destination is untouched
        src->close();
        return true;
    }

    // 11. The results, and both files closed.
    rc = dest->ascend(outData);
    if (rc != MMSYSERR_NOERROR) {
        showMmioError(rc);
        return false;
    }
    const double sourceSeconds = bytesPerSecond > 0 ? static_cast<double>(dataSize) / bytesPerSecond : 0.0;
    const double targetSeconds =
        r.target.nAvgBytesPerSec > 0 ? static_cast<double>(written) / r.target.nAvgBytesPerSec : 0.0;
    const int64_t byteRate = sourceSeconds > 0 ? core::roundHalfEven(written / sourceSeconds) : 0;
    rc = dest->ascend(outRiff);
    if (rc == MMSYSERR_NOERROR)
        rc = dest->close();
    src->close();
    if (rc != MMSYSERR_NOERROR) {
        showMmioError(rc);
        return false;
    }
    result.resultsValid = true;
    result.sourceSeconds = sourceSeconds;
    result.targetSeconds = targetSeconds;
    result.targetByteRate = static_cast<int32_t>(std::clamp<int64_t>(byteRate, INT32_MIN, INT32_MAX));

    // 12.
    if (!r.quiet)
        sink_.messageBox(userBreak ? "Process break !" : "End of process");
    return true;
}

} // namespace tools::audio_converter
