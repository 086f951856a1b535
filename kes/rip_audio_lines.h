#pragma once

// Command lines of the rip's audio decoders: the demultiplexer and decoder of the Azid path and the
// built-in extractor. externDir is the "extern/" folder with its trailing "/"; folder is the folder of
// the stream's WAV file, also with its trailing "/".

#include <string>
#include <string_view>

namespace kes {

// Takes the AC3 sub-stream out of one VOB file into folder + "audio" + index + ".ac3".
std::string bbdmuxLine(std::string_view externDir, std::string_view vob, std::string_view folder, int index,
                       std::string_view subStream);

// Decodes folder + "audio.ac3" into wav; stream 2 is decoded at maximum gain.
std::string azidLine(std::string_view externDir, std::string_view folder, std::string_view wav, int stream);

// The extractor's five parameters: the first VOB and the WAV (each quoted, so that a blank in a path
// does not split it), the stream digit (the fourth character of the sub-stream text), the sample-rate
// text and "1 " or "X " for the flipped stream list.
std::string tonegrabLine(std::string_view externDir, std::string_view vobfile, std::string_view wav,
                         std::string_view subStream, std::string_view samplerate, bool flip);

} // namespace kes
