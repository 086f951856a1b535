#pragma once

// The MPEG-2 video of a VOB set, decoded: the program stream parser takes the video packets out of
// the set, FFmpeg's MPEG-2 parser cuts them into pictures and its decoder (on every core) decodes them.
// Each picture comes with its time on the converter's clock, from its presentation time stamp and
// counted from the first picture the decoder gives (picture_clock.h). A damaged picture is dropped
// and counted, and so are the pictures after lost data up to the next intra picture (they may be
// predicted from what was lost); the time of what is dropped still passes.

#include "outside/mpeg2avi/options.h"
#include "outside/mpeg2avi/picture_clock.h"
#include "platform/dshow/filters/byte_source.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

struct AVCodecContext;
struct AVCodecParserContext;
struct AVFrame;
struct AVPacket;

namespace platform::dshow::filters {
class ProgramStreamParser;
}

namespace mpeg2avi {

struct DecoderSettings {
    std::optional<int> idct;            // an -r digit
    std::optional<int64_t> startSector; // where to begin in the set
};

class Mpeg2Source {
public:
    // Finds the video stream and decodes the first picture (which tells the size and rate). Null with
    // a message when the set holds no MPEG-2 video that decodes.
    static std::unique_ptr<Mpeg2Source> open(platform::dshow::filters::ByteSource& input,
                                             const DecoderSettings& settings, std::string& error);
    ~Mpeg2Source();

    int width() const { return width_; }
    int height() const { return height_; }
    FrameRate codedRate() const { return rate_; }
    // Sample aspect ratio of the source pictures.
    int sarNum() const { return sarNum_; }
    int sarDen() const { return sarDen_; }
    int pixelFormat() const { return pixelFormat_; }

    // The next picture (the caller owns the frame's references; unref it) and its time in ticks.
    // False at the end of the set.
    bool next(AVFrame* frame, int64_t& time);

    // The set's length in coded frames, as far as its time stamps tell (0 when unknown).
    int64_t estimatedFrames();
    int64_t damagedPictures() const { return damaged_; }
    // The time at which the last picture decoded so far ends (the set's length once next() is false).
    int64_t endTime() const { return clock_.end(); }
    // The time stamp (90 kHz, as stamped) of time 0: the first picture's, known once open() succeeded
    // (none when the set's pictures carry no time stamp at all).
    std::optional<int64_t> originStamp() const { return clock_.originStamp(); }
    // How far through the set the parser is, 0..1.
    double fraction() const;

private:
    Mpeg2Source(platform::dshow::filters::ByteSource& input);
    bool start(const DecoderSettings& settings, std::string& error);
    bool feedPacket();    // one parser packet into the decoder; false at the end
    bool receiveFrames(); // decoded frames into the queue; false when the decoder ended
    bool sendPicture(const uint8_t* data, int size); // one whole coded picture; false when out of memory
    void sendToDecoder(AVPacket* packet);
    void learnRate(); // from the sequence header, once the first picture is decoded
    // Drops the decoded picture as damaged; untilIntra drops the pictures after it up to the next
    // intra picture too.
    void drop(bool untilIntra);

    platform::dshow::filters::ByteSource& input_;
    std::unique_ptr<platform::dshow::filters::ProgramStreamParser> parser_;
    size_t videoOutput_ = 0;
    AVCodecContext* context_ = nullptr;
    AVCodecParserContext* splitter_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* decoded_ = nullptr;
    std::deque<std::pair<AVFrame*, int64_t>> ready_;
    bool inputEnded_ = false;
    bool flushed_ = false;
    bool decoderEnded_ = false;
    PictureClock clock_;
    bool awaitingIntra_ = false;
    int64_t damaged_ = 0;
    int64_t position_ = 0;
    int64_t length_ = 0;
    int width_ = 0, height_ = 0;
    int sarNum_ = 1, sarDen_ = 1;
    int pixelFormat_ = -1;
    FrameRate rate_{0, 1};
};

} // namespace mpeg2avi
