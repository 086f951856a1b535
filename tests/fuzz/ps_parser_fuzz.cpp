// Fuzz target of the program stream parser and the decoders behind it (libFuzzer): any bytes are
// opened as a stream, every packet is parsed, and each audio output's payloads are decoded.
#include "platform/dshow/filters/audio_decoder.h"
#include "platform/dshow/filters/ps_parser.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

using namespace platform::dshow::filters;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryByteSource source(std::vector<uint8_t>(data, data + size));
    ProgramStreamParser parser(source, {.scanLimit = 1 << 20,
                                        .scanMaxBytes = 1 << 22,
                                        .skipPerCall = 1 << 16,
                                        .tailScan = 1 << 16,
                                        .probeBytes = 1 << 16});
    if (!parser.open())
        return 0;
    std::vector<std::unique_ptr<AudioDecoder>> decoders;
    for (const auto& output : parser.outputs()) {
        std::string error;
        decoders.push_back(output.format.kind == StreamKind::Video
                               ? nullptr
                               : AudioDecoder::create(output.format, {}, error));
    }
    const auto sink = [](const PcmChunk&) {};
    ParsedPacket packet;
    for (int calls = 0; calls < 100000; ++calls) {
        const ParseStatus status = parser.next(packet);
        if (status == ParseStatus::EndOfStream || status == ParseStatus::Error)
            break;
        if (status == ParseStatus::Packet && decoders[packet.output])
            decoders[packet.output]->decode(packet.payload, packet.pts, sink);
    }
    for (auto& decoder : decoders)
        if (decoder)
            decoder->endOfStream(sink);
    parser.seek(static_cast<int64_t>(size / 2));
    parser.next(packet);
    // A seek by time through whatever stamps the bytes hold, then the trimmed first packets.
    if (parser.outputs().size() > 1 && parser.outputs()[1].firstPts) {
        static_cast<void>(parser.seekTime(*parser.outputs()[1].firstPts + 90000, 1));
        for (int calls = 0; calls < 64 && parser.next(packet) == ParseStatus::Packet; ++calls) {
        }
    }
    static_cast<void>(parser.durationPts());
    return 0;
}
