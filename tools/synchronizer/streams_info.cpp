// Stream measures of the synchronizer: the "movi" lists' size from a walk of the chunks (a byte scan of
// the head for a file that cannot be walked), and the lengths and
// suggested frame rate from the AVI file interface.
#include "tools/synchronizer/synch_engine.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/mmio/avi_movi.h"
#include "platform/vfw/avifile.h"

#include <cmath>
#include <cstring>

namespace tools::synchronizer {

namespace core = platform::core;
namespace vfw = platform::vfw;

namespace {

constexpr char MoviCode[] = "movi";
constexpr std::size_t CodeLength = 4;
constexpr char ExcludedFollower = 'e'; // "movie" in a text is not the list
constexpr std::size_t MoviScanPositions = 35000;
constexpr std::size_t SizeFieldLength = 4;

uint32_t le32At(const std::string& bytes, std::size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

// Releases the AVI library's handles and balances its start on every path out.
class AviSession {
public:
    AviSession() { vfw::AVIFileInit(); }
    ~AviSession() {
        if (audio)
            vfw::AVIStreamRelease(audio);
        if (video)
            vfw::AVIStreamRelease(video);
        if (file)
            vfw::AVIFileRelease(file);
        vfw::AVIFileExit();
    }
    AviSession(const AviSession&) = delete;
    AviSession& operator=(const AviSession&) = delete;

    vfw::PAVIFILE file = nullptr;
    vfw::PAVISTREAM audio = nullptr;
    vfw::PAVISTREAM video = nullptr;
};

std::optional<double> ratio(double numerator, double denominator) {
    if (denominator == 0)
        return std::nullopt;
    const double value = numerator / denominator;
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

} // namespace

int64_t moviListBytes(std::string_view path) {
    // Every "movi" list counts: an AVI over 1 GB holds its frames in several.
    if (const auto walked = platform::mmio::aviMoviBytes(path))
        return *walked;
    const int64_t size = core::fileSize(path);
    // Only the head of a regular file is read: a pipe of that name is not waited on.
    const auto head = core::readFileHead(path, static_cast<int64_t>(MoviScanPositions + CodeLength));
    if (!head)
        return size;
    const std::string& bytes = *head;
    // Position i needs its four code bytes and the byte after them.
    for (std::size_t i = 0; i < MoviScanPositions && i + CodeLength < bytes.size(); ++i) {
        if (std::memcmp(bytes.data() + i, MoviCode, CodeLength) != 0 ||
            bytes[i + CodeLength] == ExcludedFollower)
            continue;
        if (i < SizeFieldLength)
            return size;
        return le32At(bytes, i - SizeFieldLength);
    }
    return size;
}

StreamsInfo GetStreamsInfo(std::string_view path, SynchState& state) {
    StreamsInfo info;
    switch (checkFile(path)) {
    case FileCheck::Missing:
        info.status = StreamsInfoStatus::Missing;
        return info;
    case FileCheck::ReadOnly:
        info.status = StreamsInfoStatus::ReadOnly;
        return info;
    case FileCheck::Ok:
        break;
    }
    state.VideoBytes = moviListBytes(path);

    AviSession avi;
    if (vfw::AVIFileOpen(&avi.file, path, vfw::OF_READ) != vfw::AVIERR_OK) {
        avi.file = nullptr;
        info.status = StreamsInfoStatus::CannotOpen;
        return info;
    }
    vfw::AVIFILEINFO fileInfo;
    if (vfw::AVIFileInfo(avi.file, &fileInfo, sizeof fileInfo) == vfw::AVIERR_OK && fileInfo.dwStreams > 1) {
        if (vfw::AVIFileGetStream(avi.file, &avi.audio, vfw::streamtypeAUDIO, 0) != vfw::AVIERR_OK) {
            avi.audio = nullptr;
            info.status = StreamsInfoStatus::NoAudio;
            return info;
        }
        if (vfw::AVIFileGetStream(avi.file, &avi.video, vfw::streamtypeVIDEO, 0) != vfw::AVIERR_OK) {
            avi.video = nullptr;
            info.status = StreamsInfoStatus::NoVideo;
            return info;
        }
        vfw::AVISTREAMINFO audioInfo;
        vfw::AVISTREAMINFO videoInfo;
        if (vfw::AVIStreamInfo(avi.audio, &audioInfo, sizeof audioInfo) != vfw::AVIERR_OK ||
            vfw::AVIStreamInfo(avi.video, &videoInfo, sizeof videoInfo) != vfw::AVIERR_OK) {
            info.status = StreamsInfoStatus::CannotOpen;
            return info;
        }
        state.AudioBytes = static_cast<int64_t>(audioInfo.dwLength) * audioInfo.dwSampleSize;
        state.VideoBytes -= state.AudioBytes;
        const auto audioRate = ratio(audioInfo.dwRate, audioInfo.dwScale);
        const auto fps = ratio(videoInfo.dwRate, videoInfo.dwScale);
        if (audioRate)
            info.audioLength = ratio(audioInfo.dwLength, *audioRate);
        if (fps)
            info.videoLength = ratio(videoInfo.dwLength, *fps);
        if (info.audioLength)
            info.suggestedFps = ratio(videoInfo.dwLength, *info.audioLength);
    } else {
        info.status = StreamsInfoStatus::OneStream;
    }
    state.TotalBytes = state.AudioBytes + state.VideoBytes;
    return info;
}

} // namespace tools::synchronizer
