#include "platform/gdi/dib_section.h"

#include <new>

namespace platform::gdi {

namespace {
constexpr std::uint16_t TrueColorBits = 32;
constexpr std::int64_t BytesPerPixel = 4;
} // namespace

std::unique_ptr<DibSection> DibSection::create(const BitmapInfo& info, unsigned usage) {
    const BitmapInfoHeader& h = info.header;
    if (usage != DibRgbColors || h.size < BitmapInfoHeaderSize || h.bitCount != TrueColorBits ||
        h.compression != BiRgb || h.planes != 1 || h.width < 1 || h.height >= 0)
        return nullptr;
    const std::int64_t width = h.width;
    const std::int64_t height = -static_cast<std::int64_t>(h.height);
    if (width * height * BytesPerPixel > MaxDibBytes)
        return nullptr;
    std::unique_ptr<std::uint32_t[]> bits(new (std::nothrow) std::uint32_t[width * height]());
    if (!bits)
        return nullptr;
    return std::unique_ptr<DibSection>(
        new DibSection(static_cast<int>(width), static_cast<int>(height), std::move(bits)));
}

} // namespace platform::gdi
