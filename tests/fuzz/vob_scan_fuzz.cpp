// Fuzz target of the subtitle extractor's pack scanner (libFuzzer): the input is cut into 2048-byte
// packs, each handed to VobScanner::scanPack for all 32 subpicture streams of a PAL title with three
// cells; every packet given out is a whole pack of a stream that was asked for.
#include "outside/vobsub/vob_scan.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>
#include <numeric>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace vobsub = outside::vobsub;
    vobsub::TitleIfo title;
    for (int i = 0; i < 32; ++i)
        title.subpictures.push_back({"en", i});
    title.cells = {{1, 1, 0}, {1, 2, 90000}, {2, 1, 180000}};
    std::vector<int> streams(32);
    std::iota(streams.begin(), streams.end(), 0);
    vobsub::VobScanner scanner(title, streams, [](const vobsub::SubpicturePacket& packet) {
        if (packet.pack.size() != vobsub::PackSize || packet.stream < 0 || packet.stream > 31)
            std::abort();
    });
    const std::string_view bytes = kes::fuzz::bytesOf(data, size);
    for (size_t at = 0; at + vobsub::PackSize <= bytes.size(); at += vobsub::PackSize)
        static_cast<void>(scanner.scanPack(bytes.substr(at, vobsub::PackSize)));
    // A short last pack, as a cut file ends.
    if (bytes.size() % vobsub::PackSize != 0)
        static_cast<void>(scanner.scanPack(bytes.substr(bytes.size() - bytes.size() % vobsub::PackSize)));
    return 0;
}
