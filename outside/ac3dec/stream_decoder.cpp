#include "outside/ac3dec/stream_decoder.h"

namespace outside::ac3dec {

namespace filters = platform::dshow::filters;

bool StreamDecoder::open(int sampleRate, std::string& error) {
    core_ = filters::makeDecodeCore({filters::StreamKind::Ac3, {}}, error);
    if (!core_)
        return false;
    converter_ = filters::makeSampleConverter(sampleRate);
    return true;
}

void StreamDecoder::decode(std::span<const uint8_t> bytes, std::vector<uint8_t>& out) {
    core_->decode(bytes, [&](const filters::PcmBlock& block) {
        if (!converter_->convert(block, out))
            ++unconverted_;
    });
}

void StreamDecoder::finish(std::vector<uint8_t>& out) {
    core_->drain([&](const filters::PcmBlock& block) {
        if (!converter_->convert(block, out))
            ++unconverted_;
    });
    converter_->drain(out);
}

} // namespace outside::ac3dec
