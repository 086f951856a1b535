// Fuzz target of the RIFF chunk reader: the input is opened as a file and every chunk is visited the
// way the readers do (descend into RIFF and LIST chunks, read each chunk's data, ascend), with the
// searches for a form, a list and a chunk. Chunks must stay inside their parent and the file.
#include "platform/mmio/riff_file.h"
#include "tests/fuzz/fuzz_support.h"

#include <array>
#include <cstdlib>

namespace mmio = platform::mmio;

namespace {

// Deeper lists than readers ever look into are not walked, nor more chunks than a real file holds.
constexpr int MaxDepth = 8;
constexpr int MaxChunks = 4096;

void walk(mmio::RiffFile& file, const mmio::ChunkInfo* parent, int depth, int& chunks) {
    const int64_t end = parent ? parent->dataOffset + parent->cksize : file.size();
    while (chunks < MaxChunks && file.position() < end) {
        mmio::ChunkInfo ck;
        if (file.descend(ck, parent, mmio::Descend::Current) != mmio::MMSYSERR_NOERROR)
            return;
        ++chunks;
        if (ck.dataOffset < 0 || ck.dataOffset + ck.cksize > file.size() ||
            (parent && ck.dataOffset + ck.cksize > end))
            std::abort();
        const bool list = ck.ckid == mmio::FOURCC_RIFF || ck.ckid == mmio::FOURCC_LIST;
        if (list && depth < MaxDepth) {
            walk(file, &ck, depth + 1, chunks);
        } else {
            std::array<char, 512> buffer{};
            static_cast<void>(file.read(buffer.data(), static_cast<int64_t>(buffer.size())));
        }
        const int64_t before = file.position();
        if (file.ascend(ck) != mmio::MMSYSERR_NOERROR || file.position() < before)
            return;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = kes::fuzz::scratchFile("input.riff", kes::fuzz::bytesOf(data, size));
    auto file = mmio::RiffFile::open(path, mmio::OpenMode::Read);
    if (!file)
        std::abort();
    int chunks = 0;
    walk(*file, nullptr, 0, chunks);

    for (const mmio::Descend how :
         {mmio::Descend::FindRiff, mmio::Descend::FindList, mmio::Descend::FindChunk}) {
        file->seek(0, SEEK_SET);
        mmio::ChunkInfo ck;
        ck.ckid = mmio::makeFourCC("data");
        ck.fccType = how == mmio::Descend::FindRiff ? mmio::makeFourCC("WAVE") : mmio::makeFourCC("movi");
        if (file->descend(ck, nullptr, how) == mmio::MMSYSERR_NOERROR) {
            mmio::ChunkInfo inner;
            inner.ckid = mmio::makeFourCC("fmt ");
            static_cast<void>(file->descend(inner, &ck, mmio::Descend::FindChunk));
        }
    }
    return 0;
}
