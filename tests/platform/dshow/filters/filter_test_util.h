#pragma once

// Helpers of the filter engine tests: sources over files and damaged bytes, and a parser run that
// gathers every output's payloads.

#include "platform/dshow/filters/byte_source.h"
#include "platform/dshow/filters/ps_parser.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace kes::test {

// Several files read as one stream, as the multiple-file source presents a VOB set.
class FileSetSource : public platform::dshow::filters::ByteSource {
public:
    explicit FileSetSource(const std::vector<std::filesystem::path>& files);
    platform::dshow::filters::SourceRead read(int64_t offset, std::span<uint8_t> into) override;
    std::optional<int64_t> length() override { return static_cast<int64_t>(bytes_.size()); }

private:
    std::vector<uint8_t> bytes_;
};

struct ParseRun {
    std::vector<std::vector<uint8_t>> payloads; // per output, all payloads back to back
    std::vector<std::vector<int64_t>> pts;      // per output, the time stamps in order
    std::vector<size_t> packets;                // per output
    platform::dshow::filters::ParseStatus end = platform::dshow::filters::ParseStatus::Packet;
    size_t pendings = 0;
    bool finished = false; // ended within the call budget (no hang)
};

// Calls next() until the end, an error or the budget runs out.
ParseRun runParser(platform::dshow::filters::ProgramStreamParser& parser, size_t budget = 1'000'000);

// True when part equals whole from offset on for part's length.
bool matchesAt(const std::vector<uint8_t>& whole, size_t offset, const std::vector<uint8_t>& part);

} // namespace kes::test
