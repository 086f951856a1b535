#include "outside/ac3dec/stream_decoder.h"

namespace outside::ac3dec {

namespace filters = platform::dshow::filters;

bool StreamDecoder::open(int sampleRate, std::string& error) {
    decoder_ =
        filters::AudioDecoder::create({filters::StreamKind::Ac3, {}}, filters::DecoderSettings{sampleRate},
                                      error, filters::linkedDecoderParts());
    return decoder_ != nullptr;
}

void StreamDecoder::decode(std::span<const uint8_t> bytes, std::optional<int64_t> pts,
                           std::vector<uint8_t>& out, std::optional<int64_t>* startTime) {
    decoder_->decode(bytes, pts, [&](const filters::PcmChunk& chunk) {
        if (startTime && !*startTime)
            *startTime = chunk.startTime;
        out.insert(out.end(), chunk.bytes.begin(), chunk.bytes.end());
    });
}

void StreamDecoder::finish(std::vector<uint8_t>& out) {
    decoder_->endOfStream([&](const filters::PcmChunk& chunk) {
        out.insert(out.end(), chunk.bytes.begin(), chunk.bytes.end());
    });
}

} // namespace outside::ac3dec
