#include "outside/dvd_audio/substream_reader.h"

#include "outside/dvd_audio/substream_arg.h"

namespace outside::dvd_audio {

namespace filters = platform::dshow::filters;

SubStreamReader::SubStreamReader(filters::ByteSource& source, uint8_t subStreamId)
    : parser_(source), id_(subStreamId) {}

bool SubStreamReader::open(std::string& error) {
    if (!parser_.open()) {
        error = parser_.error();
        return false;
    }
    std::string present;
    const auto& outputs = parser_.outputs();
    for (size_t i = 0; i < outputs.size(); ++i) {
        if (outputs[i].format.kind != filters::StreamKind::Ac3)
            continue;
        if (outputs[i].id == id_) {
            output_ = i;
            return true;
        }
        present += (present.empty() ? "" : ", ") + subStreamText(outputs[i].id);
    }
    error = "The stream holds no AC3 sub-stream " + subStreamText(id_) +
            (present.empty() ? std::string(" (it holds no AC3 audio).") : " (it holds " + present + ").");
    return false;
}

SubStreamReader::Step SubStreamReader::next(std::span<const uint8_t>& payload) {
    filters::ParsedPacket packet;
    for (;;) {
        switch (parser_.next(packet)) {
        case filters::ParseStatus::Packet:
            if (packet.output != output_)
                continue;
            payload = packet.payload;
            pts_ = packet.pts;
            position_ = packet.position;
            return Step::Payload;
        case filters::ParseStatus::Pending:
            continue;
        case filters::ParseStatus::EndOfStream:
            return Step::End;
        case filters::ParseStatus::Error:
            return Step::Error;
        }
    }
}

} // namespace outside::dvd_audio
