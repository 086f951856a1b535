#include "trovel/picture_start.h"

#include "outside/mpeg2avi/first_picture.h"
#include "outside/mpeg2avi/vob_input.h"
#include "platform/dshow/filters/ps_parser.h"

namespace trovel {

namespace {
constexpr double kPtsPerSecond = 90000.0;
}

double pictureStartSeconds(const std::string& listPath) {
    std::string error;
    const auto input = mpeg2avi::VobInput::open(listPath, error);
    if (!input)
        return 0;
    // The first picture lies in the set's first megabytes; a video stream that does not decode is not
    // read to its end.
    constexpr int64_t kPictureStartBytes = 16 * 1024 * 1024;
    platform::dshow::filters::PrefixByteSource head(*input, kPictureStartBytes);
    const auto start = mpeg2avi::outputStartPts(head, error);
    platform::dshow::filters::ProgramStreamParser parser(*input);
    if (!start || !parser.open())
        return 0;
    return static_cast<double>(*start - platform::dshow::filters::streamOrigin(parser.outputs())) /
           kPtsPerSecond;
}

} // namespace trovel
