#include "tests/platform/dshow/filters/filter_test_util.h"

#include "tests/support/temp_dir.h"

#include <algorithm>
#include <cstring>

namespace kes::test {

using namespace platform::dshow::filters;

FileSetSource::FileSetSource(const std::vector<std::filesystem::path>& files) {
    for (const auto& file : files) {
        const std::string bytes = readBytes(file);
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    }
}

SourceRead FileSetSource::read(int64_t offset, std::span<uint8_t> into) {
    if (offset < 0 || static_cast<size_t>(offset) >= bytes_.size())
        return {};
    const size_t count = std::min(into.size(), bytes_.size() - static_cast<size_t>(offset));
    std::memcpy(into.data(), bytes_.data() + offset, count);
    return {count, false};
}

ParseRun runParser(ProgramStreamParser& parser, size_t budget) {
    ParseRun run;
    const size_t outputs = parser.outputs().size();
    run.payloads.resize(outputs);
    run.pts.resize(outputs);
    run.packets.resize(outputs);
    for (size_t call = 0; call < budget; ++call) {
        ParsedPacket packet;
        const ParseStatus status = parser.next(packet);
        if (status == ParseStatus::Pending) {
            ++run.pendings;
            continue;
        }
        if (status != ParseStatus::Packet) {
            run.end = status;
            run.finished = true;
            return run;
        }
        auto& bytes = run.payloads[packet.output];
        bytes.insert(bytes.end(), packet.payload.begin(), packet.payload.end());
        if (packet.pts)
            run.pts[packet.output].push_back(*packet.pts);
        ++run.packets[packet.output];
    }
    return run;
}

bool matchesAt(const std::vector<uint8_t>& whole, size_t offset, const std::vector<uint8_t>& part) {
    return offset <= whole.size() && part.size() <= whole.size() - offset &&
           std::equal(part.begin(), part.end(), whole.begin() + static_cast<std::ptrdiff_t>(offset));
}

} // namespace kes::test
