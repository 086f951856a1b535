// The audio decoder with its two parts linked in, for code that does not load them from files.

#include "platform/dshow/filters/audio_decoder.h"

namespace platform::dshow::filters {

DecoderParts linkedDecoderParts() {
    return DecoderParts{makeDecodeCore, makeSampleConverter};
}

std::unique_ptr<AudioDecoder> AudioDecoder::create(const StreamFormat& input, DecoderSettings settings,
                                                   std::string& error) {
    return create(input, settings, error, linkedDecoderParts());
}

} // namespace platform::dshow::filters
