#pragma once

// The AC3 bytes of one sub-stream of private stream 1, packet by packet as they stand on the disc
// (without the sub-stream header), read through the program stream parser.

#include "platform/dshow/filters/byte_source.h"
#include "platform/dshow/filters/ps_parser.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace outside::dvd_audio {

class SubStreamReader {
public:
    SubStreamReader(platform::dshow::filters::ByteSource& source, uint8_t subStreamId);

    // Finds the streams at the start of the source; false, with error set, when it holds no program
    // stream or no AC3 sub-stream of that id (the error names the ones it holds).
    bool open(std::string& error);

    enum class Step { Payload, End, Error };
    // The next packet's AC3 bytes (valid until the next call); End at the end of the source, Error
    // when it could not be read.
    Step next(std::span<const uint8_t>& payload);
    // The time stamp of the packet next() gave last (90 kHz): it belongs to the first frame that
    // begins in it.
    std::optional<int64_t> pts() const { return pts_; }
    // The stream offset of that packet.
    int64_t position() const { return position_; }
    // The instant the title's time 0 stands for (its first picture), from the scan of open().
    int64_t origin() const { return platform::dshow::filters::streamOrigin(parser_.outputs()); }
    // The time stamp the scan of open() met first on the sub-stream.
    std::optional<int64_t> firstPts() const { return parser_.outputs()[output_].firstPts; }

    // Bytes had to be skipped because they were not where a pack or packet should be.
    bool sawDamage() const { return parser_.sawDamage(); }

private:
    platform::dshow::filters::ProgramStreamParser parser_;
    uint8_t id_;
    size_t output_ = 0;
    std::optional<int64_t> pts_;
    int64_t position_ = 0;
};

} // namespace outside::dvd_audio
