#include "outside/dvd_audio/title_origin.h"

#include "outside/dvd_audio/file_set_source.h"

namespace outside::dvd_audio {

int64_t titleOrigin(const SubStreamReader& reader) {
    return reader.origin();
}

std::optional<int64_t> titleOrigin(const std::string& firstVob) {
    FileSetSource source;
    if (!source.open({firstVob}))
        return std::nullopt;
    platform::dshow::filters::ProgramStreamParser parser(source);
    if (!parser.open())
        return std::nullopt;
    return platform::dshow::filters::streamOrigin(parser.outputs());
}

} // namespace outside::dvd_audio
