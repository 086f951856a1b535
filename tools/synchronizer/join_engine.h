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

// Output positions where the next file's audio and video start.
struct JoinOffsets {
    int64_t audio = 0; // JoinAudioOffset, samples
    int64_t video = 0; // JoinVideoOffset, frames
};

// Appends one file to the open output streams; the offsets grow by the file's lengths (also after a
// stop). Clears the stop flag first; a failure sets it and the failure flag.
MuxStatus MuxFiles(const std::string& path, platform::vfw::PAVISTREAM outputVideo,
                   platform::vfw::PAVISTREAM outputAudio, JoinOffsets& offsets, JobSink& sink);

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
