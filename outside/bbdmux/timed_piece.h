#pragma once

// One VOB file's share of a title's AC3 sub-stream, placed on the title's clock so that the pieces of
// all its VOB files, joined end to end, make a stream that begins at the title's first picture and
// keeps its time where data was lost:
//  - the piece of the first VOB begins at the first picture: frames before it are dropped (a frame
//    that straddles it is replaced by silence up to its end), and silence fills up to a later first
//    frame;
//  - every piece holds the frames that begin in its file (a frame that runs on into the next file is
//    completed from it) and ends where the next file's first frame begins, with silence for what the
//    time stamps show lost on the way;
//  - silence is made of silent frames of the stream's layout; a silence that is not a whole number
//    of frames ends with a frame that names how many of its samples to keep (silent_ac3.h).
// The rules for gaps and clock restarts are those of the audio decoder and the video converter.

#include <cstdint>
#include <string>
#include <vector>

namespace outside::bbdmux {

struct PieceReport {
    int64_t silenceSamples = 0; // put in before the first frame and across lost data
    int64_t droppedFrames = 0;  // before the first picture
    bool damage = false;        // bytes of the file were passed over
};

// Writes the piece of titleFiles[index] to target. False, with error set, when a file cannot be read,
// the sub-stream is missing or the target cannot be written.
bool writeTimedPiece(const std::vector<std::string>& titleFiles, size_t index, uint8_t subStream,
                     const std::string& target, PieceReport& report, std::string& error);

// The title's VOB files as the rip lists them in "vob.lst" beside the VOB, with the VOB's place among
// them; the VOB alone when no list there names it.
std::vector<std::string> titleFilesOf(const std::string& vob, size_t& index);

} // namespace outside::bbdmux
