#pragma once

// A DIB section: a 32-bit pixel array that a memory device context can draw on. Only top-down 32-bit
// uncompressed sections exist here (negative header height); rows are width * 4 bytes, unpadded.

#include "platform/gdi/bitmap_info.h"

#include <cstdint>
#include <memory>

namespace platform::gdi {

// The largest pixel array a section may take (bytes).
constexpr std::int64_t MaxDibBytes = std::int64_t{1} << 30;

class DibSection {
public:
    // Null when the header asks for something other than a top-down 32-bit BI_RGB section of at least
    // 1 x 1, when the array would exceed MaxDibBytes, or when memory runs out. The pixels start zeroed.
    static std::unique_ptr<DibSection> create(const BitmapInfo& info, unsigned usage = DibRgbColors);

    DibSection(const DibSection&) = delete;
    DibSection& operator=(const DibSection&) = delete;

    std::uint32_t* bits() const { return bits_.get(); }
    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return width_ * 4; } // bytes per row

private:
    DibSection(int width, int height, std::unique_ptr<std::uint32_t[]> bits)
        : width_(width), height_(height), bits_(std::move(bits)) {}
    int width_;
    int height_;
    std::unique_ptr<std::uint32_t[]> bits_;
};

} // namespace platform::gdi
