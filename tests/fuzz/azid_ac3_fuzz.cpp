// Fuzz target of the AC3 file reader of "azid.exe" (libFuzzer): any bytes are decoded as an AC3
// elementary stream in two pieces (as the file is read in blocks), and every frame is mixed down to
// stereo as the program does.
#include "outside/azid/ac3_frames.h"
#include "outside/azid/stereo_downmix.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace azid = outside::azid;
    azid::Ac3Frames decoder;
    std::string error;
    if (!decoder.open(size % 2 == 1, error))
        std::abort(); // the decoder is part of the build
    std::vector<float> mixed;
    const azid::FrameSink sink = [&mixed](const azid::DecodedFrame& frame) {
        if (frame.channels <= 0 || frame.channels > 8 || frame.frames < 0)
            std::abort();
        const azid::StereoMix mix =
            azid::stereoMixFor(frame.channelMask, frame.channels, frame.centerMixLevel,
                               frame.surroundMixLevel, azid::gainOfDb(-10));
        mixed.clear();
        azid::mixDown(frame, mix, 1.0f, mixed);
        if (mixed.size() != static_cast<size_t>(frame.frames) * 2)
            std::abort();
    };
    const size_t half = size / 2;
    decoder.decode({data, half}, sink);
    decoder.decode({data + half, size - half}, sink);
    decoder.finish(sink);
    return 0;
}
