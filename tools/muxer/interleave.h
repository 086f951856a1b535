#pragma once

// The interleave of one part of a movie: before each video frame one audio chunk, the first one larger
// (the preload), the audio shifted by a delay (silence before it, or its start skipped), then
// optionally a clip's frames after the last frame. Shared by the muxer and the clip appender.

#include "platform/vfw/vfw.h"

#include <cstdint>
#include <vector>

namespace tools::muxer {

namespace vfw = platform::vfw;

// Size of the silence and read buffers of one audio chunk.
inline constexpr int64_t AudioBufferBytes = 65536;

struct InterleavePlan {
    vfw::PAVISTREAM video = nullptr;
    int64_t start = 0;  // first frame of the part (from the stream's first sample)
    int64_t end = 0;    // frame after the part
    int64_t length = 0; // frames of the whole video (for the percentage)

    vfw::PAVISTREAM audio = nullptr;
    int64_t a0 = 0; // audio samples [a0, a1); negative positions are silence
    int64_t a1 = 0;
    int64_t audioLength = 0; // for the percentage
    int64_t blockAlign = 1;  // bytes per audio sample
    double audioRate = 0;    // samples per second
    double preloadSeconds = 0;

    vfw::PAVISTREAM outVideo = nullptr;
    vfw::PAVISTREAM outAudio = nullptr;
};

// Sets the audio samples a part takes, [a0, a1), and audioLength: a whole movie or a first part starts
// at the delay, a second part at the split sample; the first part of a split ends at the split sample,
// any other part at the audio's end. Returns the part's sample count (0 for an empty range).
vfw::DWORD setPartAudio(InterleavePlan& plan, bool split, bool firstPart, int64_t delay, int64_t splitSample,
                        int64_t audioLength);

enum class InterleaveEnd {
    Done,
    Stopped,
    VideoReadFailed,
    AudioReadFailed,
    WriteFailed,
};

class InterleaveObserver {
public:
    virtual ~InterleaveObserver() = default;
    virtual void progress(double /*videoPercent*/, double /*audioPercent*/) {}
    virtual void processMessages() {}
};

// Runs the loop until the part's last frame is written or userBreak is set (read once per step, after
// the pending messages ran). Audio beyond the last frame is not written.
InterleaveEnd interleave(const InterleavePlan& plan, InterleaveObserver& observer, const bool& userBreak);

// Appends every frame of clip to outVideo from position at: the first as a key frame, the others as
// they are flagged in the clip.
InterleaveEnd appendClip(vfw::PAVISTREAM clip, vfw::PAVISTREAM outVideo, int64_t at);

// Where a movie of `length` frames is cut into `parts` parts of equal size: the first frame at which
// the video frames before it, with the audio's bytes spread evenly over the frames, reach the whole
// movie's bytes over parts. A movie whose bit rate changes is so cut where its bytes are, not where
// its time is. Frames whose size cannot be read count as empty.
int64_t sizeSplitTarget(vfw::PAVISTREAM video, int64_t length, double parts, int64_t audioBytes);

// The frame nearest to t that is a key frame: searched backwards from t (down to frame 0) and forwards
// from t (up to the end); the forward one when both are as far. Positions count from the first frame.
int64_t nearestKeyFrame(vfw::PAVISTREAM video, int64_t t, int64_t length);

// Reads one frame (sample) into buffer, which grows to the frame's size. False on a read error.
bool readFrame(vfw::PAVISTREAM video, int64_t position, std::vector<uint8_t>& buffer, int64_t& bytes);

} // namespace tools::muxer
