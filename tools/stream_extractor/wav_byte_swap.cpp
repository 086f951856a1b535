#include "tools/stream_extractor/wav_byte_swap.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/mmio/wave_layout.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <utility>
#include <vector>

namespace tools::stream_extractor {

namespace {

constexpr std::string_view kDataTag = "data";
constexpr size_t kChunkHeaderSize = 8;
constexpr size_t kChunkSizeBytes = 4;
// Copies of the bytes around the data are made in pieces of this size.
constexpr int64_t kCopyBlockSize = kSwapBlockSize;

uint32_t le32(std::string_view bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < kChunkSizeBytes; ++i)
        value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
    return value;
}

// Reads up to count bytes at the current position; the number read.
int64_t readSome(std::ifstream& in, std::vector<char>& buffer, int64_t count) {
    buffer.resize(static_cast<size_t>(count));
    in.read(buffer.data(), static_cast<std::streamsize>(count));
    return static_cast<int64_t>(in.gcount());
}

// Copies [from, to) of the input to the output unchanged; false when a byte is missing or not written.
bool copyRange(std::ifstream& in, platform::core::AtomicFile& out, int64_t from, int64_t to) {
    in.clear();
    in.seekg(from);
    std::vector<char> buffer;
    for (int64_t at = from; at < to;) {
        const int64_t got = readSome(in, buffer, std::min(kCopyBlockSize, to - at));
        if (got <= 0 || !out.write(std::string_view(buffer.data(), static_cast<size_t>(got))))
            return false;
        at += got;
    }
    return true;
}

void swapPairs(std::vector<char>& block, size_t length) {
    // A last single byte has no partner and stays as it is.
    for (size_t i = 0; i + 1 < length; i += 2)
        std::swap(block[i], block[i + 1]);
}

} // namespace

std::optional<size_t> findDataTag(std::string_view head) {
    const size_t probe = std::min(head.size(), kHeaderProbeSize);
    for (size_t at = 0; at <= kLastDataTagOffset && at + kDataTag.size() <= probe; ++at)
        if (head.substr(at, kDataTag.size()) == kDataTag)
            return at;
    return std::nullopt;
}

SwapStatus swapWavBytes(const std::string& path, const SwapProgress& progress) {
    const int64_t size = platform::core::fileSize(path);
    if (size < 0)
        return SwapStatus::CannotOpen;
    if (progress.started)
        progress.started(size);
    // Opening a pipe as a stream would wait for a writer: only a regular file is taken.
    const int probe = platform::core::openForReading(path);
    if (probe < 0)
        return SwapStatus::CannotOpen;
    ::close(probe);
    std::ifstream in(platform::core::resolvePath(path), std::ios::binary);
    if (!in)
        return SwapStatus::CannotOpen;
    std::vector<char> head;
    const int64_t headLength = readSome(in, head, std::min<int64_t>(size, kHeaderProbeSize));
    const std::string_view headView(head.data(), static_cast<size_t>(headLength));
    const auto tag = findDataTag(headView);
    if (!tag)
        return SwapStatus::InvalidHeader;
    if (headView.size() <= kFormatTagOffset ||
        static_cast<uint8_t>(headView[kFormatTagOffset]) != kPcmFormatTag)
        return SwapStatus::NotPcm;
    // Pairs are swapped only in 16-bit samples (24-bit ones, say, would become noise).
    if (const auto layout = platform::mmio::readWaveLayout(path); layout && layout->bitsPerSample() != 16)
        return SwapStatus::NotSixteenBits;

    const auto dataStart = static_cast<int64_t>(*tag + kChunkHeaderSize);
    if (dataStart >= size)
        return SwapStatus::Finished; // no sample to swap
    // The data chunk's own size keeps chunks after it out of the swap; a size of 0 (a header never
    // completed) or one beyond the file means the data runs to the end of the file.
    int64_t dataEnd = size;
    if (*tag + kChunkHeaderSize <= headView.size()) {
        const int64_t stated = le32(headView, *tag + kDataTag.size());
        if (stated > 0 && stated <= size - dataStart)
            dataEnd = dataStart + stated;
    }

    platform::core::AtomicFile out(path);
    if (!out.isOpen() || !copyRange(in, out, 0, dataStart))
        return SwapStatus::WriteFailed;
    in.clear();
    in.seekg(dataStart);
    std::vector<char> block;
    for (int64_t at = dataStart; at < dataEnd;) {
        const int64_t got = readSome(in, block, std::min(kSwapBlockSize, dataEnd - at));
        if (got <= 0)
            return SwapStatus::WriteFailed; // the file shrank under us
        if (progress.stopRequested && progress.stopRequested())
            return SwapStatus::UserBreak;
        if (progress.blockDone)
            progress.blockDone(got);
        swapPairs(block, static_cast<size_t>(got));
        if (progress.processMessages)
            progress.processMessages();
        if (!out.write(std::string_view(block.data(), static_cast<size_t>(got))))
            return SwapStatus::WriteFailed;
        at += got;
    }
    // A stop asked during the last block's pump still keeps the file as it was.
    if (progress.stopRequested && progress.stopRequested())
        return SwapStatus::UserBreak;
    if (!copyRange(in, out, dataEnd, size) || !out.commit())
        return SwapStatus::WriteFailed;
    return SwapStatus::Finished;
}

} // namespace tools::stream_extractor
