#pragma once

// FFmpeg's own decode of the encoder's frames, the yardstick of the decoder tests: each frame decoded on
// its own, then converted by libswresample to 16-bit stereo at the wanted rate.

#include <cstdint>
#include <vector>

namespace kes::test {

enum class ReferenceCodec { Ac3, Mpeg, DvdLpcm };

// Packets: AC3 or MPEG audio frames, or DVD LPCM packets (three header bytes, then the samples).
std::vector<int16_t> referenceDecode(ReferenceCodec codec, const std::vector<std::vector<uint8_t>>& packets,
                                     int outputRate);

} // namespace kes::test
