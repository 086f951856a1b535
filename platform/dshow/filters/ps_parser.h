#pragma once

// The MPEG-2 program stream parser engine: finds the streams of a DVD VOB set in a bounded start of the
// stream, names its outputs ("Video", then one per audio stream in the order of the DVD audio stream
// numbers), and then hands out each packet's payload, stripped of pack, PES and sub-stream headers, with
// its time stamp. Damaged bytes are skipped up to the next pack header; a short read ends the stream.

#include "platform/dshow/filters/audio_format.h"
#include "platform/dshow/filters/byte_source.h"
#include "platform/dshow/filters/ps_packet.h"

#include <array>
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
        int64_t scanLimit = 8 * 1024 * 1024; // bytes examined by open() to find the streams
        int64_t skipPerCall = 1024 * 1024;   // bytes next() may pass over before it returns Pending
        int64_t tailScan = 2 * 1024 * 1024;  // bytes at the end examined for the last time stamp
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
    int64_t packs_ = 0;
    bool needPack_ = true;
    bool damaged_ = false;
    std::string error_;
};

} // namespace platform::dshow::filters
