#include "tools/avi_compare/part_compare.h"

#include "platform/vfw/avifile.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <string>

namespace tools::avi_compare {

namespace vfw = platform::vfw;

namespace {

// A video stream released on every path out, inside a balanced start and end of the AVI library.
class VideoStream {
public:
    VideoStream() { vfw::AVIFileInit(); }
    ~VideoStream() {
        release();
        vfw::AVIFileExit();
    }
    VideoStream(const VideoStream&) = delete;
    VideoStream& operator=(const VideoStream&) = delete;

    // Opens the first video stream and reads its header and its bitmap header.
    bool open(std::string_view path) {
        if (vfw::AVIStreamOpenFromFile(&stream_, path, vfw::streamtypeVIDEO, 0, vfw::OF_READ) !=
            vfw::AVIERR_OK) {
            stream_ = nullptr;
            return false;
        }
        vfw::BITMAPINFOHEADER format;
        vfw::LONG formatSize = sizeof format;
        const vfw::HRESULT formatRead =
            vfw::AVIStreamReadFormat(stream_, vfw::AVIStreamStart(stream_), &format, &formatSize);
        return vfw::AVIStreamInfo(stream_, &info, sizeof info) == vfw::AVIERR_OK &&
               (formatRead == vfw::AVIERR_OK || formatRead == vfw::AVIERR_BUFFERTOOSMALL);
    }

    // The bytes of one frame; nothing when it cannot be read or is too large to compare.
    std::optional<std::string> frame(vfw::LONG position) const {
        vfw::LONG bytes = 0;
        vfw::LONG samples = 0;
        if (vfw::AVIStreamRead(stream_, position, 1, nullptr, 0, &bytes, &samples) != vfw::AVIERR_OK ||
            bytes < 0 || bytes > MaxFrameBytes)
            return std::nullopt;
        std::string data(static_cast<std::size_t>(bytes), '\0');
        vfw::LONG got = 0;
        if (bytes > 0 &&
            vfw::AVIStreamRead(stream_, position, 1, data.data(), bytes, &got, &samples) != vfw::AVIERR_OK)
            return std::nullopt;
        data.resize(static_cast<std::size_t>(std::clamp<vfw::LONG>(got, 0, bytes)));
        return data;
    }

    vfw::LONG previousKeyFrame(vfw::LONG position) const {
        return vfw::AVIStreamFindSample(stream_, position, vfw::FIND_PREV | vfw::FIND_KEY);
    }
    vfw::LONG start() const { return vfw::AVIStreamStart(stream_); }

    void release() {
        if (stream_)
            vfw::AVIStreamRelease(stream_);
        stream_ = nullptr;
    }

    vfw::AVISTREAMINFO info;

private:
    vfw::PAVISTREAM stream_ = nullptr;
};

} // namespace

CompareStatus findPartStart(std::string_view part1, std::string_view part2, int32_t& foundFrame,
                            CompareSink& sink) {
    VideoStream first;
    VideoStream second;
    if (!first.open(part1) || !second.open(part2))
        return CompareStatus::OpenError;
    sink.streamsOpened();
    const std::optional<std::string> wanted = second.frame(second.start());
    second.release();

    foundFrame = static_cast<int32_t>(std::min<vfw::DWORD>(first.info.dwLength, INT32_MAX));
    for (;;) {
        const vfw::LONG previous = foundFrame;
        foundFrame = first.previousKeyFrame(foundFrame - 1);
        sink.trying(foundFrame);
        sink.processMessages();
        if (sink.stopRequested())
            return CompareStatus::Stopped;
        if (wanted && foundFrame >= 0) {
            const std::optional<std::string> candidate = first.frame(foundFrame);
            if (candidate && *candidate == *wanted)
                return CompareStatus::Found;
        }
        // Every step goes back at least one frame, so a damaged index cannot make the search loop.
        if (foundFrame <= 0 || foundFrame >= previous)
            return CompareStatus::NotFound;
    }
}

} // namespace tools::avi_compare
