#pragma once

// The MPEG-2 program stream parser engine: finds the streams of a DVD VOB set in a bounded start of the
// stream, names its outputs ("Video", then one per audio stream in the order of the DVD audio stream
// numbers), and then hands out each packet's payload, stripped of pack, PES and sub-stream headers, with
// its time stamp. Damaged bytes are skipped up to the next pack header; a short read ends the stream.

#include "platform/dshow/filters/audio_format.h"
#include "platform/dshow/filters/byte_source.h"
#include "platform/dshow/filters/ps_packet.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform::dshow::filters {

// The name of the parser's input pin; its outputs follow it.
inline constexpr const char* kParserInputName = "Input";

struct ParserOutput {
    std::string name;                // "Video", "AC3", "Audio" or "LPCM"
    StreamFormat format;             // kind, and the LPCM layout of the stream's first packet
    uint8_t id = 0;                  // PES stream id (video, MPEG audio) or sub-stream id (AC3, LPCM)
    std::optional<int64_t> firstPts; // 90 kHz, the first time stamp seen by the scan
};

// The instant a title's time 0 stands for (90 kHz): its first picture when the stream has stamped
// video, so that every stream is timed from the first picture a player or converter shows; else the
// earliest stamp of any output; 0 without stamps.
int64_t streamOrigin(const std::vector<ParserOutput>& outputs);

struct ParsedPacket {
    size_t output = 0;                // index into outputs()
    std::span<const uint8_t> payload; // valid until the next call of the parser
    std::optional<int64_t> pts;       // 90 kHz
    int64_t position = 0;             // stream offset of the packet's start code
    bool discontinuity = false;       // first packet of this output since open or seek
    std::optional<LpcmFormat> lpcm;   // this packet's LPCM header
};

enum class ParseStatus {
    Packet,      // a packet was returned
    Pending,     // a long run of skipped bytes: nothing yet, call again (lets a pull loop see a stop)
    EndOfStream, // the stream ended (a short read, or a packet cut off by the end)
    Error,       // the source failed
};

class ProgramStreamParser {
public:
    struct Options {
        int64_t scanLimit = 8 * 1024 * 1024; // bytes open() always examines to find the streams
        // Beyond scanLimit, open() reads on while the time stamps it meets lie within this many seconds
        // of the first one (a title may open with a long still or menu part before some of its
        // streams begin), but never past scanMaxBytes nor for longer than scanBudget.
        int64_t scanSeconds = 60;
        int64_t scanMaxBytes = 256 * 1024 * 1024;
        std::chrono::milliseconds scanBudget{3000};
        int64_t skipPerCall = 1024 * 1024;    // bytes next() may pass over before it returns Pending
        int64_t tailScan = 2 * 1024 * 1024;   // bytes at the end examined for the last time stamp
        int64_t probeBytes = 4 * 1024 * 1024; // bytes a seek reads from a guess to meet a time stamp
    };

    explicit ProgramStreamParser(ByteSource& source);
    ProgramStreamParser(ByteSource& source, Options options);

    // Scans the start of the stream and builds the outputs, then rewinds to the start. False when no
    // pack header was found there or the source failed; error() says which.
    bool open();
    const std::vector<ParserOutput>& outputs() const { return outputs_; }
    const std::string& error() const { return error_; }

    ParseStatus next(ParsedPacket& packet);

    // Continues from a byte offset (clamped to the stream), at the next pack header from there.
    void seek(int64_t offset);
    // Continues from a time of the stream's own clock (90 kHz). The pack is found from the time stamps
    // of the reference output: a guess between two packs of known time, read there, narrowed, until
    // the pack of its last stamped packet at or before the time. The first AC3 and LPCM packets then
    // start at the frame (LPCM: the sample) that holds the time, with that frame's time stamp; video
    // and MPEG audio start at their first packet from the pack. Returns the time stamp of the pack's
    // packet; nothing, with the position unchanged, when the stream's stamps give no way there (no
    // length, no stamps, or stamps that do not rise with the bytes, as where they restart).
    std::optional<int64_t> seekTime(int64_t pts, size_t reference);
    int64_t position() const { return window_.position(); }
    std::optional<int64_t> length() { return source_.length(); }
    // The time from the first time stamp of the scan to the last one in the stream's tail, in 90 kHz
    // units; nothing when the length is unknown or the stamps do not increase. Keeps the position.
    std::optional<int64_t> durationPts();

    // True once bytes had to be skipped because they were not where a pack or packet should be.
    bool sawDamage() const { return damaged_; }

private:
    enum class Step { Unit, Pending, End, Error };
    struct ScannedStream;
    struct Stamp {
        int64_t pack = 0; // stream offset of the pack that carries the packet
        int64_t pts = 0;
    };

    // The first stamped packet of an output at or after an offset, within probeBytes.
    std::optional<Stamp> probeStamp(int64_t offset, size_t output);
    std::optional<Stamp> lastStamp(size_t output);
    // The last stamped packet of the output at or before the time, read on from a pack before it.
    Stamp scanToTime(Stamp from, int64_t pts, size_t output, int64_t end);
    // After seekTime: drops what lies before the time from an audio output's first packets; false
    // when the whole packet lies before it.
    bool trimToTime(ElementaryUnit& unit, const StreamFormat& format) const;

    Step readUnit(ElementaryUnit& unit, int64_t& unitPosition, int64_t& skipped);
    Step resync(int64_t& skipped);
    Step endStep() const { return window_.failed() ? Step::Error : Step::End; }
    void lostSync(int64_t& skipped);
    void buildOutputs(const std::vector<ScannedStream>& found);

    ByteSource& source_;
    Options options_;
    SourceWindow window_;
    std::vector<ParserOutput> outputs_;
    // Output index by stream id; the ids of video, MPEG audio, AC3 and LPCM never overlap.
    std::array<int, 256> outputById_{};
    std::vector<bool> fresh_;
    std::optional<int64_t> trimTime_; // the time of the last seekTime
    std::vector<bool> trimPending_;   // outputs whose first packet after it is still to come
    int64_t trimFrom_ = 0;            // the pack it landed on
    int64_t packStart_ = 0;           // offset of the last pack header read
    int64_t packs_ = 0;
    bool needPack_ = true;
    bool damaged_ = false;
    std::string error_;
};

} // namespace platform::dshow::filters
