#include "tools/muxer/demux_engine.h"

#include "tools/muxer/avi_refs.h"
#include "tools/muxer/stream_formats.h"

#include "platform/mmio/riff_file.h"

#include <array>
#include <cstdio>
#include <vector>

namespace tools::muxer {

namespace mmio = platform::mmio;

namespace {

constexpr double PercentScale = 100.0;
constexpr int64_t RiffSizeOffset = 4;
// "WAVE", "fmt ", the format's size, "data" and the data's size around the format.
constexpr int64_t HeaderBytesBesideFormat = 20;

void putLE32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void putId(std::vector<uint8_t>& out, const char* id) {
    out.insert(out.end(), id, id + 4);
}

std::array<uint8_t, 4> le32(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)};
}

} // namespace

DemuxResult DemuxEngine::run(const std::string& source, const std::string& target, bool& userBreak) {
    if (running_)
        return {};
    running_ = true;
    const DemuxResult result = runSteps(source, target, userBreak);
    running_ = false;
    return result;
}

DemuxResult DemuxEngine::runSteps(const std::string& source, const std::string& target, bool& userBreak) {
    userBreak = false;
    audioPercent_ = 0;
    DemuxResult result;
    AviLibrary library;
    StreamRef audio;
    AudioFormat format;
    vfw::AVISTREAMINFO info;
    if (vfw::AVIStreamOpenFromFile(audio.out(), source, vfw::streamtypeAUDIO, 0, vfw::OF_READ) !=
            vfw::AVIERR_OK ||
        vfw::AVIStreamInfo(audio.get(), &info, sizeof info) != vfw::AVIERR_OK ||
        !readAudioFormat(audio.get(), format)) {
        sink_.errorBox(NoAudioStreamText);
        return result;
    }
    TimerScope timer(sink_);
    auto file = mmio::RiffFile::open(target, mmio::OpenMode::Create);
    if (!file) {
        sink_.errorBox(CannotCreateTargetText);
        return result;
    }

    // The header, with both sizes written again at the end from the bytes actually stored.
    const auto formatSize = static_cast<uint32_t>(format.bytes.size());
    std::vector<uint8_t> header;
    putId(header, "RIFF");
    putLE32(header, 0);
    putId(header, "WAVE");
    putId(header, "fmt ");
    putLE32(header, formatSize);
    header.insert(header.end(), format.bytes.begin(), format.bytes.end());
    if (formatSize % 2 != 0)
        header.push_back(0);
    putId(header, "data");
    const auto dataSizeOffset = static_cast<int64_t>(header.size());
    putLE32(header, 0);
    bool ok = file->write(header.data(), static_cast<int64_t>(header.size())) >= 0;

    const vfw::LONG start = vfw::AVIStreamStart(audio.get());
    const vfw::LONG length = vfw::AVIStreamLength(audio.get());
    const vfw::LONG perRead = format.formatTag == WaveFormatWma ? 1 : DemuxSamplesPerRead;
    std::vector<uint8_t> buffer(DemuxBufferBytes);
    int64_t done = 0;
    bool readFailed = false;
    while (ok && done < length && !userBreak) {
        vfw::LONG bytes = 0;
        vfw::LONG samples = 0;
        vfw::HRESULT hr =
            vfw::AVIStreamRead(audio.get(), static_cast<vfw::LONG>(start + done), perRead, buffer.data(),
                               static_cast<vfw::LONG>(buffer.size()), &bytes, &samples);
        if (hr == vfw::AVIERR_BUFFERTOOSMALL && bytes > static_cast<vfw::LONG>(buffer.size())) {
            buffer.resize(static_cast<size_t>(bytes));
            continue;
        }
        if (hr != vfw::AVIERR_OK && hr != vfw::AVIERR_NODATA) {
            readFailed = true;
            break;
        }
        if (hr == vfw::AVIERR_NODATA || samples <= 0)
            break; // nothing more can be read: keep what was
        ok = file->write(buffer.data(), bytes) >= 0;
        result.dataBytes += bytes;
        done += samples;
        audioPercent_ = static_cast<double>(done) / static_cast<double>(length) * PercentScale;
        sink_.progress(0, audioPercent_);
        sink_.processMessages();
    }
    if (readFailed) {
        file->discard();
        sink_.errorBox(CannotReadAudioText);
        return result;
    }

    const auto dataSize = static_cast<uint32_t>(result.dataBytes);
    if (ok && dataSize % 2 != 0) {
        const uint8_t pad = 0;
        ok = file->write(&pad, 1) >= 0;
    }
    const uint32_t riffSize = static_cast<uint32_t>(formatSize + formatSize % 2 + HeaderBytesBesideFormat) +
                              dataSize + dataSize % 2;
    const auto riffBytes = le32(riffSize);
    const auto dataBytes = le32(dataSize);
    ok = ok && file->seek(RiffSizeOffset, SEEK_SET) >= 0 && file->write(riffBytes.data(), 4) >= 0 &&
         file->seek(dataSizeOffset, SEEK_SET) >= 0 && file->write(dataBytes.data(), 4) >= 0;
    if (!ok || file->close() != 0) {
        file->discard();
        sink_.errorBox(CannotWriteTargetText);
        return result;
    }
    result.outcome = userBreak ? MuxOutcome::Stopped : MuxOutcome::Done;
    return result;
}

} // namespace tools::muxer
