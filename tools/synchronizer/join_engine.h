#pragma once

// The join: AVI files, each with one video and one audio stream, appended in list order into one new
// AVI file after a check that their audio and picture formats agree, copied without recompression and
// interleaved like the remux. The window drives it; tests call it directly.
//
// The output is written beside the destination and moved over it only when kept: a failure leaves
// whatever stood under its name; a join cut short by "Stop" is kept only when no file stood there.

#include "tools/synchronizer/job_sink.h"
#include "tools/synchronizer/remux_engine.h"
#include "tools/synchronizer/stream_copy.h"

#include "platform/vfw/avifile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tools::synchronizer {

// The destination as the join uses it: ".avi" appended unless its extension is ".avi" in any case.
std::string joinDestinationName(std::string_view text);

// The first file's formats, against which every later file is compared.
struct JoinReference {
    AudioFormat audio{};
    VideoFormat video;
};

// Audio format tag, sample rate, byte rate and block size, and picture width, height and bit depth
// (channels and frame rate are not compared).
bool formatsAgree(const JoinReference& reference, const JoinReference& other);

enum class JoinCheckStatus {
    Agree,      // every file opened and agreed: the join may run
    Differ,     // files listed in `differing` do not agree with the first
    CannotOpen, // message #88 for file `failedIndex`
    NoVideo,    // message #89
    NoAudio,    // message #92
};

struct JoinCheck {
    JoinCheckStatus status = JoinCheckStatus::Agree;
    std::size_t failedIndex = 0;
    std::vector<std::size_t> differing; // each gets the difference message, against the first file
};

// The check pass. An open failure ends it (and sets the stop flag); differences do not.
JoinCheck checkJoinList(const std::vector<std::string>& files, JobSink& sink);

// Where the next file starts in the output. Each file's sound is placed by its video's time, not by
// the length of the sound before it: files whose audio ends before or after their video (a common
// difference of a few hundred milliseconds) would otherwise shift every later file's sound.
struct JoinOffsets {
    int64_t audio = 0;            // JoinAudioOffset: output sample where the last appended file's audio began
    int64_t video = 0;            // JoinVideoOffset, frames
    long double videoSeconds = 0; // the video time appended so far, each file at its own frame rate
    int64_t audioEnd = 0;         // output sample after the audio appended so far
};

// Appends one file to the open output streams; the offsets grow by the file's video (also after a
// stop). Its audio starts at the output sample of its video's start (plus its own start field; later
// when the audio before it had to end on a whole MPEG audio frame past that point), and
// unless it is the last file, audio beyond its video's end is left out so that the next file's sound
// starts in time; audio ending before its video leaves a gap the writer fills. Clears the stop flag
// first; a failure sets it and the failure flag.
MuxStatus MuxFiles(const std::string& path, platform::vfw::PAVISTREAM outputVideo,
                   platform::vfw::PAVISTREAM outputAudio, JoinOffsets& offsets, JobSink& sink,
                   bool lastFile = true);

struct JoinResult {
    JoinCheck check;
    // CannotCreateOutput (#90), CannotCreateVideo (#91), CannotCreateAudio (#93), or from MuxFiles.
    MuxStatus status = MuxStatus::Done;
    std::size_t filesAppended = 0; // including one cut short
    bool outputKept = false;
    std::string outputPath;
};

// "Join all" once the list and the destination are known and an existing destination may be replaced:
// clears both flags, checks the list and, when all agree, writes the output with the stream headers
// and formats of the last listed file. The window shows its end message (#101) afterwards.
JoinResult JoinAll(const std::vector<std::string>& files, std::string_view destination, JobSink& sink);

} // namespace tools::synchronizer
