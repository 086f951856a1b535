#pragma once

// The PCM driver: sample rate, channel count (1 or 2) and sample size (8 or 16 bits) changes.

#include "platform/acm/acm_stream.h"
#include "platform/acm/resampler.h"

#include <vector>

namespace platform::acm {

class PcmConverter : public AcmStream {
public:
    static bool accepts(const WaveFormat& source, const WaveFormat& target);
    static std::unique_ptr<AcmStream> create(const WaveFormat& source, const WaveFormat& target);

protected:
    bool consume(const uint8_t* data, uint32_t bytes) override;
    bool flush() override;
    uint32_t sourceBytesFor(uint32_t destinationBytes) const override;

private:
    PcmConverter(const WaveFormat& source, const WaveFormat& target, std::unique_ptr<Resampler> resampler);
    bool run(const uint8_t* data, int frames);
    std::unique_ptr<Resampler> resampler_;
    std::vector<uint8_t> out_;
};

} // namespace platform::acm
