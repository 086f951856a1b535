#pragma once

// The interleaved copy shared by the remux and the join: for each video frame of a range, first one
// chunk of audio (the first chunk holds a preload instead), then the frame, each written without
// recompression at its own output position. Audio before the source's first sample is silence.
// Also the two stream formats the jobs copy: the 40-byte bitmap header and the 30-byte audio format.

#include "tools/synchronizer/job_sink.h"

#include "platform/vfw/avifile.h"

#include <array>
#include <cstdint>
#include <optional>

namespace tools::synchronizer {

// The video format as the jobs read and write it: the bitmap header only.
inline constexpr int VideoFormatBytes = 40;
// The audio format as the jobs read and write it: at most this many bytes, zero-filled (the size of
// the largest common compressed format header, MPEG layer 3's).
inline constexpr int AudioFormatBytes = 30;
// The audio and silence buffers.
inline constexpr int64_t AudioBufferBytes = 65536;
// The first audio chunk of each output holds this much audio.
inline constexpr double PreloadSeconds = 0.5;

using VideoFormat = platform::vfw::BITMAPINFOHEADER;
using AudioFormat = std::array<uint8_t, AudioFormatBytes>;

// Nothing when the stream has no format or a shorter one than a bitmap header.
std::optional<VideoFormat> readVideoFormat(platform::vfw::PAVISTREAM stream);
// The size is asked first, then at most 30 bytes are read; nothing when the stream has no format.
std::optional<AudioFormat> readAudioFormat(platform::vfw::PAVISTREAM stream);

// The audio format's fields at their WAVEFORMATEX offsets.
uint16_t formatTag(const AudioFormat& format);
uint32_t samplesPerSec(const AudioFormat& format);
uint32_t avgBytesPerSec(const AudioFormat& format);
uint16_t blockAlign(const AudioFormat& format);

struct CopyStreams {
    platform::vfw::PAVISTREAM sourceVideo = nullptr;
    platform::vfw::PAVISTREAM sourceAudio = nullptr;
    platform::vfw::PAVISTREAM outputVideo = nullptr;
    platform::vfw::PAVISTREAM outputAudio = nullptr;
};

// Frames and samples are counted from each source stream's first sample.
struct CopyPlan {
    int64_t firstFrame = 0;     // S
    int64_t endFrame = 0;       // E (exclusive)
    int64_t totalFrames = 0;    // F, the base of the video percentage
    int64_t videoShift = 0;     // a frame v goes to output position v + videoShift
    int64_t firstSample = 0;    // A0; below 0 the output starts with silence
    int64_t endSample = 0;      // A1 (exclusive)
    int64_t totalSamples = 0;   // L, the base of the audio percentage
    int64_t audioShift = 0;     // a sample p goes to output position p + audioShift
    int64_t preloadSamples = 0; // size of the first audio chunk
};

enum class CopyEnd {
    Done,        // every frame of the range was written
    Stopped,     // the stop flag ended the copy early
    ReadFailed,  // the source could not be read: the output is incomplete
    WriteFailed, // the output refused a chunk
};

struct CopyOutcome {
    CopyEnd end = CopyEnd::Done;
    int64_t framesWritten = 0;
    int64_t samplesWritten = 0; // silence included
    int64_t nextSample = 0;     // p when the copy ended
};

// Runs the copy; after each frame the sink gets the progress and processes events, and a set stop flag
// ends the copy before the next frame. A read or write failure ends it at once.
CopyOutcome copyInterleaved(const CopyStreams& streams, const CopyPlan& plan, JobSink& sink);

} // namespace tools::synchronizer
