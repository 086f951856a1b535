#pragma once

// MP3 encoding on several cores: the input is cut into segments of whole frames, each encoded by an
// encoder of its own on a worker thread, and the segments' frame streams are joined into one stream.
//
// A segment's encoder starts `warmUp` frames before the segment so that its filter bank, psychoacoustic
// model and bit reservoir are in step with the audio when the segment begins, and the encoder of the
// segment before runs on past the end for `overlap` frames. The two streams are joined at the first
// frame of the overlap where the later encoder needs no more reservoir bytes before that frame than the
// earlier one's own later frames took there (mp3::headBefore); the earlier encoder runs on frame by frame
// until one is found. Every encoder starts on a frame boundary of the whole input, so frame n of each is
// the same stretch of audio and the joined stream decodes as one encoder's would, within the coding
// noise.

#include "platform/acm/lame_enc/mp3_frames.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <vector>

struct lame_global_struct;

namespace platform::acm::mp3 {

class SegmentedEncoder {
public:
    // A configured encoder (two input channels), or null.
    using Factory = std::function<lame_global_struct*()>;
    struct Shape {
        int frameSamples = 1152; // per channel
        int segmentFrames = 768;
        int warmUp = 16;
        int overlap = 24;
        int threads = 2; // segments encoded at once
    };
    SegmentedEncoder(Factory make, Shape shape);
    ~SegmentedEncoder();
    SegmentedEncoder(const SegmentedEncoder&) = delete;
    SegmentedEncoder& operator=(const SegmentedEncoder&) = delete;

    // Takes interleaved stereo samples (pairs of them); false once an encoder has failed.
    bool encode(const int16_t* samples, size_t pairs);
    // Encodes the rest and flushes; every byte is then ready.
    bool finish();
    // Moves up to max ready bytes to out; returns how many.
    size_t take(uint8_t* out, size_t max);
    size_t ready() const { return ready_.size(); }

private:
    struct Segment;
    void dispatch(bool last);
    bool joinOldest();
    int extend(Segment& earlier, const Segment& later);

    Factory make_;
    Shape shape_;
    std::vector<int16_t> input_; // interleaved, from pair inputBase_ on
    int64_t inputBase_ = 0;
    int64_t inputEnd_ = 0;
    int64_t nextSegment_ = 0;
    std::deque<std::unique_ptr<Segment>> running_;
    std::unique_ptr<Segment> current_; // the last one joined: its frames not yet handed out
    std::deque<uint8_t> ready_;
    bool failed_ = false;
};

} // namespace platform::acm::mp3
