#pragma once

// The byte swap of a WAV file's samples ("Fix"): every byte pair of the data is swapped, which turns
// 16-bit samples of the other byte order into this machine's and back, so two runs give the file
// back as it was. The swapped file is written beside the original and renamed over it at the end: a
// stop or a failure leaves the original untouched.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tools::stream_extractor {

// Bytes read, swapped and written at a time.
inline constexpr int64_t kSwapBlockSize = 131072;
// The "data" tag is looked for in the file's first bytes only, starting at offsets 0 to 95.
inline constexpr size_t kHeaderProbeSize = 100;
inline constexpr size_t kLastDataTagOffset = 95;
// Offset of the format tag in the canonical header; 1 is plain PCM.
inline constexpr size_t kFormatTagOffset = 20;
inline constexpr uint8_t kPcmFormatTag = 1;

enum class SwapStatus {
    Finished,
    UserBreak,      // stopped between two blocks; the file is as it was
    InvalidHeader,  // no "data" tag in the first bytes
    NotPcm,         // the format tag's low byte is not 1
    NotSixteenBits, // samples of another width: swapping byte pairs would break them
    CannotOpen,     // the file cannot be read
    WriteFailed,    // the swapped file could not be written; the original is as it was
};

// What the swap asks of its caller while it works; every member may be left empty.
struct SwapProgress {
    std::function<void(int64_t fileSize)> started;
    std::function<void(int64_t bytes)> blockDone; // one block read (its length)
    std::function<bool()> stopRequested;
    std::function<void()> processMessages;
};

// The offset of the first "data" tag starting at offsets 0 to kLastDataTagOffset of the head.
std::optional<size_t> findDataTag(std::string_view head);

SwapStatus swapWavBytes(const std::string& path, const SwapProgress& progress = {});

} // namespace tools::stream_extractor
