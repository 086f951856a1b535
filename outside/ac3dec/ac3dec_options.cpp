#include "outside/ac3dec/ac3dec_options.h"

#include "outside/dvd_audio/substream_arg.h"

namespace outside::ac3dec {

std::optional<Ac3DecOptions> parseAc3DecOptions(const std::vector<std::string>& args, std::string& error) {
    Ac3DecOptions options;
    bool haveVob = false;
    for (size_t i = 0; i < args.size();) {
        const std::string& arg = args[i];
        if (arg == "-allvob") {
            options.allVob = true;
        } else if (arg == "-overwrite") {
            options.overwrite = true;
        } else if (arg == "-44100") {
            options.rate44100 = true;
        } else if (arg == "-pcm") {
            // PCM is the only output there is.
        } else if (arg == "-out") {
            options.play = true;
        } else if (arg == "-substream") {
            const auto stream = dvd_audio::readSubStreamArg(args, i + 1, error);
            if (!stream)
                return std::nullopt;
            options.subStream = stream->id;
            i = stream->next;
            continue;
        } else if (arg == "-pcmwav") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = "-pcmwav needs the path of the WAV file.";
                return std::nullopt;
            }
            options.wav = args[++i];
        } else if (!arg.empty() && arg[0] == '-') {
            error = "Unknown option " + arg + ".";
            return std::nullopt;
        } else if (!haveVob) {
            options.vob = arg;
            haveVob = true;
        } else {
            error = "Unexpected argument " + arg + ".";
            return std::nullopt;
        }
        ++i;
    }
    if (!haveVob || options.vob.empty()) {
        error = "The VOB file is missing.";
        return std::nullopt;
    }
    if (options.play == !options.wav.empty()) {
        error = options.play ? "-out plays the stream and -pcmwav writes it: give one of them."
                             : "Nothing to do: give -pcmwav WAV or -pcm -out.";
        return std::nullopt;
    }
    return options;
}

} // namespace outside::ac3dec
