#pragma once

// The two runs of ac3dec.exe over the VOB file (or the title's VOB files): decoding into a WAV file,
// and playing through the sound card.

#include "outside/ac3dec/ac3dec_options.h"
#include "outside/dvd_audio/file_set_source.h"
#include "outside/dvd_audio/substream_reader.h"

#include <memory>
#include <string>

namespace outside::ac3dec {

inline constexpr const char* kProgram = "ac3dec";

// The VOB files as one stream and the chosen sub-stream in it.
struct OpenedStream {
    dvd_audio::FileSetSource source;
    std::unique_ptr<dvd_audio::SubStreamReader> reader;
};

// False, with error set, when a VOB cannot be read or lacks the sub-stream.
bool openStream(const Ac3DecOptions& options, OpenedStream& stream, std::string& error);

// Writes the WAV file; the exit status.
int decodeToWav(const Ac3DecOptions& options);

// Plays the stream with a small window to stop it; the exit status. argc and argv go to the toolkit.
int playStream(const Ac3DecOptions& options, int& argc, char** argv);

} // namespace outside::ac3dec
