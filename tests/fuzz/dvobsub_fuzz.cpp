// Fuzz target of the subtitle filter's VobSub reader (libFuzzer): the input is the ".idx" text, a NUL
// byte and the ".sub" bytes; every language's subpictures are read and drawn over a small frame.
#include "outside/dvobsub/vobsub_track.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace dvobsub = outside::dvobsub;
    const auto parts = kes::fuzz::fields(kes::fuzz::bytesOf(data, size), 2);
    std::string error;
    const auto idx = dvobsub::parseIdx(parts[0], &error);
    if (!idx)
        return 0;
    const std::string sub = parts.size() > 1 ? parts[1] : std::string();
    const std::span<const uint8_t> subBytes(reinterpret_cast<const uint8_t*>(sub.data()), sub.size());
    constexpr int FrameWidth = 64, FrameHeight = 48;
    std::vector<uint32_t> frame(FrameWidth * FrameHeight);
    for (const dvobsub::IdxLanguage& language : idx->languages) {
        for (const dvobsub::Subpicture& picture :
             dvobsub::readSubpictures(*idx, language.index, subBytes, &error)) {
            if (picture.width < 0 || picture.height < 0 ||
                picture.pixels.size() !=
                    static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height))
                std::abort();
            dvobsub::drawSubpicture(picture, idx->width, idx->height, frame.data(), FrameWidth, FrameHeight,
                                    10);
        }
    }
    // The ".sub" bytes as one subpicture unit.
    static_cast<void>(dvobsub::decodeSpu(subBytes, 0, idx->palette));
    return 0;
}
