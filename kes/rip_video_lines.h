#pragma once

// Names and command lines of the rip's video, mux and subtitle steps: the converter's output file,
// the delayed start of the second codec's automation, the subtitle extractor and the archiver, and
// the names of a split movie's second part.

#include <string>
#include <string_view>

namespace kes {

// The file the converter writes into the folder of the video AVI: "movie_1.avi" for the dual output
// and for the latest converter, "movie.avi" otherwise.
std::string converterOutputName(bool dual, bool px3gui);

// The delayed start of an automation line: startDir + "/extern/delayer.exe " followed by the line with
// every double quote turned into "@", so that the line reaches the delayer as its parameters.
std::string delayerLine(std::string_view startDir, std::string_view automationLine);

// The subtitle extractor, run from extern/ on "vsp.ini".
inline constexpr std::string_view VobSubLine = "rundll32.exe vobsub.dll,Configure vsp.ini";

// Packs base + ".sub" into base + ".rar", without folder names inside the archive.
std::string rarLine(std::string_view externDir, std::string_view base);

// The second part of a split movie, without extension: the final AVI without its extension + "2".
std::string secondPartBase(std::string_view finalAvi);

// The names the second stream's audio takes out of a split movie, in the second-stream AVI's folder.
inline constexpr std::string_view FinalAudioName = "FinalAudio.wav";
inline constexpr std::string_view FinalAudio2Name = "FinalAudio2.wav";

} // namespace kes
