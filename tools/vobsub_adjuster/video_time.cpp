#include "tools/vobsub_adjuster/video_time.h"

#include "platform/vfw/avifile.h"

namespace tools::vobsub_adjuster {

namespace vfw = platform::vfw;

std::optional<VideoTime> measureVideo(std::string_view path) {
    vfw::AVIFileInit();
    vfw::PAVISTREAM stream = nullptr;
    std::optional<VideoTime> result;
    if (vfw::AVIStreamOpenFromFile(&stream, path, vfw::streamtypeVIDEO, 0, vfw::OF_READ) == vfw::AVIERR_OK) {
        vfw::AVISTREAMINFO info;
        if (vfw::AVIStreamInfo(stream, &info, sizeof info) == vfw::AVIERR_OK && info.dwScale != 0 &&
            info.dwRate != 0) {
            VideoTime time;
            time.frameRate = static_cast<double>(info.dwRate) / info.dwScale;
            time.seconds = info.dwLength / time.frameRate;
            result = time;
        }
        vfw::AVIStreamRelease(stream);
    }
    vfw::AVIFileExit();
    return result;
}

} // namespace tools::vobsub_adjuster
