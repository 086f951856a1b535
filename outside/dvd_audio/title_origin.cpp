#include "outside/dvd_audio/title_origin.h"

#include "outside/dvd_audio/file_set_source.h"
#include "outside/mpeg2avi/first_picture.h"

extern "C" {
#include <libavutil/log.h>
}

namespace outside::dvd_audio {

namespace {

// The first picture lies in the set's first megabytes; a video stream that does not decode is not
// read to its end.
constexpr int64_t kPictureStartBytes = 16 * 1024 * 1024;

// The converter's rule decodes the start of the video; what the video decoder would say about it is
// not the AC3 tools' to tell.
std::optional<int64_t> quietStartPts(platform::dshow::filters::ByteSource& set) {
    const int level = av_log_get_level();
    av_log_set_level(AV_LOG_QUIET);
    std::string error;
    platform::dshow::filters::PrefixByteSource start16(set, kPictureStartBytes);
    const auto start = mpeg2avi::outputStartPts(start16, error);
    av_log_set_level(level);
    return start;
}

} // namespace

int64_t titleOrigin(platform::dshow::filters::ByteSource& set, const SubStreamReader& reader) {
    return quietStartPts(set).value_or(reader.origin());
}

std::optional<int64_t> titleOrigin(const std::string& firstVob) {
    FileSetSource source;
    if (!source.open({firstVob}))
        return std::nullopt;
    if (const auto start = quietStartPts(source))
        return start;
    platform::dshow::filters::ProgramStreamParser parser(source);
    if (!parser.open())
        return std::nullopt;
    return platform::dshow::filters::streamOrigin(parser.outputs());
}

} // namespace outside::dvd_audio
