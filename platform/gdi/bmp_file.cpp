#include "platform/gdi/bmp_file.h"

#include "platform/gdi/bitmap_info.h"

#include <bit>

namespace platform::gdi {

namespace {

constexpr std::uint16_t BmpMagic = 0x4D42; // "BM"
constexpr std::size_t FileHeaderSize = 14;
constexpr std::uint32_t CoreHeaderSize = 12;
constexpr std::uint32_t V4HeaderSize = 108;
constexpr std::uint32_t MaxHeaderSize = 4096;
constexpr std::size_t MaskCount = 4;
constexpr int MaxPaletteBits = 8;
constexpr int ByteBits = 8;
constexpr std::uint32_t OpaqueAlpha = 0xFF000000;

// Little-endian reads that never step outside the buffer.
class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}
    bool has(std::size_t offset, std::size_t count) const {
        return offset <= bytes_.size() && count <= bytes_.size() - offset;
    }
    std::uint32_t u8(std::size_t at) const { return static_cast<unsigned char>(bytes_[at]); }
    std::uint32_t u16(std::size_t at) const { return u8(at) | (u8(at + 1) << ByteBits); }
    std::uint32_t u32(std::size_t at) const { return u16(at) | (u16(at + 2) << (2 * ByteBits)); }
    std::size_t size() const { return bytes_.size(); }

private:
    std::string_view bytes_;
};

struct Layout {
    std::int64_t width = 0;
    std::int64_t height = 0;
    bool topDown = false;
    int bitCount = 0;
    std::uint32_t compression = BiRgb;
    std::size_t paletteOffset = 0;
    std::size_t paletteEntrySize = 4;
    std::size_t paletteCount = 0;
    std::uint32_t masks[MaskCount] = {0, 0, 0, 0}; // red, green, blue, alpha
};

bool validBitCount(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Reads the info header that follows the file header.
std::optional<Layout> readLayout(const ByteReader& in) {
    Layout l;
    const std::size_t at = FileHeaderSize;
    if (!in.has(at, 4))
        return std::nullopt;
    const std::uint32_t headerSize = in.u32(at);
    if (headerSize == CoreHeaderSize) {
        if (!in.has(at, CoreHeaderSize) || in.u16(at + 8) != 1)
            return std::nullopt;
        l.width = in.u16(at + 4);
        l.height = in.u16(at + 6);
        l.bitCount = static_cast<int>(in.u16(at + 10));
        l.paletteEntrySize = 3;
    } else {
        if (headerSize < BitmapInfoHeaderSize || headerSize > MaxHeaderSize || !in.has(at, headerSize))
            return std::nullopt;
        l.width = static_cast<std::int32_t>(in.u32(at + 4));
        const auto height = static_cast<std::int32_t>(in.u32(at + 8));
        l.topDown = height < 0;
        l.height = l.topDown ? -static_cast<std::int64_t>(height) : height;
        if (in.u16(at + 12) != 1)
            return std::nullopt;
        l.bitCount = static_cast<int>(in.u16(at + 14));
        l.compression = in.u32(at + 16);
        l.paletteCount = in.u32(at + 32);
    }
    if (!validBitCount(l.bitCount) || l.width < 1 || l.height < 1 || l.width * l.height > MaxBmpPixels)
        return std::nullopt;
    l.paletteOffset = at + headerSize;
    if (l.compression == BiBitfields) {
        if (l.bitCount != 16 && l.bitCount != 32)
            return std::nullopt;
        // The masks sit inside a V4/V5 header or right after a 40-byte one.
        const std::size_t maskAt = at + BitmapInfoHeaderSize;
        const std::size_t count = headerSize >= V4HeaderSize ? MaskCount : MaskCount - 1;
        if (!in.has(maskAt, count * 4))
            return std::nullopt;
        for (std::size_t i = 0; i < count; ++i)
            l.masks[i] = in.u32(maskAt + i * 4);
        if (headerSize == BitmapInfoHeaderSize)
            l.paletteOffset += (MaskCount - 1) * 4;
        l.paletteCount = 0;
    } else if (l.compression == BiRle8 || l.compression == BiRle4) {
        // Run-length files are bottom-up with the bit count their form names.
        if (l.topDown || l.bitCount != (l.compression == BiRle8 ? 8 : 4))
            return std::nullopt;
    } else if (l.compression != BiRgb) {
        return std::nullopt;
    }
    if (l.bitCount <= MaxPaletteBits) {
        const std::size_t full = std::size_t{1} << l.bitCount;
        if (l.paletteCount == 0 || l.paletteCount > full)
            l.paletteCount = full;
    } else {
        l.paletteCount = 0;
    }
    return l;
}

// A channel value widened to 8 bits from its mask.
std::uint32_t maskedChannel(std::uint32_t value, std::uint32_t mask) {
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const int width = std::popcount(mask);
    std::uint32_t v = (value & mask) >> shift;
    if (width >= ByteBits)
        return v >> (width - ByteBits);
    const std::uint32_t max = (1u << width) - 1;
    return (v * 255 + max / 2) / max;
}

std::uint32_t fromMasks(std::uint32_t value, const std::uint32_t (&m)[MaskCount]) {
    const std::uint32_t a = m[3] ? maskedChannel(value, m[3]) << (3 * ByteBits) : OpaqueAlpha;
    return a | (maskedChannel(value, m[0]) << (2 * ByteBits)) | (maskedChannel(value, m[1]) << ByteBits) |
           maskedChannel(value, m[2]);
}

// RLE escapes: after a zero count byte.
constexpr std::uint32_t RleEndOfLine = 0;
constexpr std::uint32_t RleEndOfBitmap = 1;
constexpr std::uint32_t RleDelta = 2;
// The most pixels one byte of run-length data can give (a run: 255 pixels for two bytes, rounded up).
constexpr std::size_t RleMostPixelsPerByte = 128;

// Walks the runs of a run-length file and stores their palette indices in `indices` (rows bottom-up as
// stored; pixels no run reaches keep index 0), or only checks them when it is null. False when the data
// ends before the end-of-bitmap mark or a run leaves the picture.
bool decodeRle(const ByteReader& in, std::size_t at, const Layout& l, std::uint8_t* indices) {
    const auto width = static_cast<std::size_t>(l.width);
    const auto height = static_cast<std::size_t>(l.height);
    const bool four = l.compression == BiRle4;
    std::size_t x = 0;
    std::size_t y = 0;
    const auto put = [&](std::uint32_t index) {
        if (x >= width || y >= height)
            return false;
        if (indices != nullptr)
            indices[y * width + x] = static_cast<std::uint8_t>(index);
        ++x;
        return true;
    };
    const auto nibbleOf = [&](std::uint32_t byte, std::size_t i) {
        return four ? (i % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte;
    };
    for (;;) {
        if (!in.has(at, 2))
            return false;
        const std::uint32_t count = in.u8(at);
        const std::uint32_t value = in.u8(at + 1);
        at += 2;
        if (count > 0) {
            for (std::size_t i = 0; i < count; ++i)
                if (!put(nibbleOf(value, i)))
                    return false;
            continue;
        }
        if (value == RleEndOfLine) {
            x = 0;
            ++y;
        } else if (value == RleEndOfBitmap) {
            return true;
        } else if (value == RleDelta) {
            if (!in.has(at, 2))
                return false;
            x += in.u8(at);
            y += in.u8(at + 1);
            at += 2;
        } else {
            // Absolute mode: `value` pixels follow, padded to a whole number of 16-bit words.
            const std::size_t bytesUsed = four ? (value + 1) / 2 : value;
            if (!in.has(at, bytesUsed))
                return false;
            for (std::size_t i = 0; i < value; ++i)
                if (!put(nibbleOf(in.u8(at + (four ? i / 2 : i)), i)))
                    return false;
            at += (bytesUsed + 1) / 2 * 2;
        }
    }
}

} // namespace

std::optional<PictureSize> bmpPictureSize(std::string_view bytes) {
    const ByteReader in(bytes);
    if (!in.has(0, FileHeaderSize + 4) || in.u16(0) != BmpMagic)
        return std::nullopt;
    const std::size_t at = FileHeaderSize;
    const std::uint32_t headerSize = in.u32(at);
    if (headerSize == CoreHeaderSize && in.has(at, CoreHeaderSize))
        return PictureSize{in.u16(at + 4), in.u16(at + 6)};
    if (headerSize < BitmapInfoHeaderSize || !in.has(at, BitmapInfoHeaderSize))
        return std::nullopt;
    const auto height = static_cast<std::int32_t>(in.u32(at + 8));
    return PictureSize{static_cast<std::int32_t>(in.u32(at + 4)),
                       height < 0 ? -static_cast<std::int64_t>(height) : height};
}

std::optional<BmpImage> decodeBmp(std::string_view bytes) {
    const ByteReader in(bytes);
    if (!in.has(0, FileHeaderSize) || in.u16(0) != BmpMagic)
        return std::nullopt;
    const std::optional<Layout> layout = readLayout(in);
    if (!layout)
        return std::nullopt;
    const Layout& l = *layout;

    std::vector<std::uint32_t> palette(l.paletteCount);
    if (!in.has(l.paletteOffset, l.paletteCount * l.paletteEntrySize))
        return std::nullopt;
    for (std::size_t i = 0; i < l.paletteCount; ++i) {
        const std::size_t at = l.paletteOffset + i * l.paletteEntrySize;
        palette[i] = in.u8(at) | (in.u8(at + 1) << ByteBits) | (in.u8(at + 2) << (2 * ByteBits));
    }

    const std::size_t dataOffset = in.u32(10);
    const auto height = static_cast<std::size_t>(l.height);
    if (l.compression == BiRle8 || l.compression == BiRle4) {
        // Checked before anything is allocated: a few bytes may claim a large picture. A run covers at
        // most 255 pixels with two bytes, so a picture larger than its data can fill is refused.
        if (!in.has(dataOffset, 0) ||
            static_cast<std::size_t>(l.width) * height > (in.size() - dataOffset) * RleMostPixelsPerByte ||
            !decodeRle(in, dataOffset, l, nullptr))
            return std::nullopt;
        std::vector<std::uint8_t> indices(static_cast<std::size_t>(l.width) * height, 0);
        decodeRle(in, dataOffset, l, indices.data());
        BmpImage image;
        image.width = static_cast<int>(l.width);
        image.height = static_cast<int>(l.height);
        image.bitCount = l.bitCount;
        image.pixels.resize(indices.size());
        const auto width = static_cast<std::size_t>(l.width);
        for (std::size_t row = 0; row < height; ++row)
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint8_t index = indices[(height - 1 - row) * width + x];
                image.pixels[row * width + x] = index < palette.size() ? palette[index] : 0;
            }
        return image;
    }
    const std::size_t stride = static_cast<std::size_t>((l.width * l.bitCount + 31) / 32) * 4;
    if (!in.has(dataOffset, 0) || stride * height > in.size() - dataOffset)
        return std::nullopt;

    std::uint32_t masks[MaskCount] = {l.masks[0], l.masks[1], l.masks[2], l.masks[3]};
    if (l.compression == BiRgb && l.bitCount == 16) {
        masks[0] = 0x7C00; // 5-5-5
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    }

    BmpImage image;
    image.width = static_cast<int>(l.width);
    image.height = static_cast<int>(l.height);
    image.bitCount = l.bitCount;
    image.pixels.resize(static_cast<std::size_t>(l.width) * height);
    for (std::size_t row = 0; row < height; ++row) {
        const std::size_t fileRow = l.topDown ? row : height - 1 - row;
        const std::size_t base = dataOffset + fileRow * stride;
        std::uint32_t* out = image.pixels.data() + row * static_cast<std::size_t>(l.width);
        for (std::size_t x = 0; x < static_cast<std::size_t>(l.width); ++x) {
            std::uint32_t p = 0;
            switch (l.bitCount) {
            case 1:
            case 4:
            case 8: {
                const std::size_t bit = x * static_cast<std::size_t>(l.bitCount);
                const std::uint32_t byte = in.u8(base + bit / ByteBits);
                const std::uint32_t shift =
                    ByteBits - l.bitCount - static_cast<std::uint32_t>(bit % ByteBits);
                const std::uint32_t index = (byte >> shift) & ((1u << l.bitCount) - 1);
                p = index < palette.size() ? palette[index] : 0;
                break;
            }
            case 16:
                p = fromMasks(in.u16(base + x * 2), masks) & 0x00FFFFFF;
                break;
            case 24:
                p = in.u8(base + x * 3) | (in.u8(base + x * 3 + 1) << ByteBits) |
                    (in.u8(base + x * 3 + 2) << (2 * ByteBits));
                break;
            default:
                p = l.compression == BiBitfields ? fromMasks(in.u32(base + x * 4), masks)
                                                 : in.u32(base + x * 4);
                break;
            }
            out[x] = p;
        }
    }
    return image;
}

std::string encodeBmp(int width, int height, const std::uint32_t* pixels, int bitCount) {
    const int bytesPerPixel = bitCount == 24 ? 3 : 4;
    const std::size_t w = width > 0 ? static_cast<std::size_t>(width) : 0;
    const std::size_t h = height > 0 ? static_cast<std::size_t>(height) : 0;
    const std::size_t stride = (w * bytesPerPixel + 3) / 4 * 4;
    const std::size_t dataOffset = FileHeaderSize + BitmapInfoHeaderSize;
    const std::size_t fileSize = dataOffset + stride * h;
    std::string out;
    out.reserve(fileSize);
    auto put16 = [&](std::uint32_t v) {
        out.push_back(static_cast<char>(v & 0xFF));
        out.push_back(static_cast<char>((v >> ByteBits) & 0xFF));
    };
    auto put32 = [&](std::uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> (2 * ByteBits));
    };
    put16(BmpMagic);
    put32(static_cast<std::uint32_t>(fileSize));
    put32(0);
    put32(static_cast<std::uint32_t>(dataOffset));
    put32(BitmapInfoHeaderSize);
    put32(static_cast<std::uint32_t>(w));
    put32(static_cast<std::uint32_t>(h));
    put16(1);
    put16(static_cast<std::uint32_t>(bytesPerPixel * ByteBits));
    put32(BiRgb);
    put32(static_cast<std::uint32_t>(stride * h));
    put32(0);
    put32(0);
    put32(0);
    put32(0);
    for (std::size_t i = 0; i < h; ++i) {
        const std::uint32_t* row = pixels + (h - 1 - i) * w;
        const std::size_t start = out.size();
        for (std::size_t x = 0; x < w; ++x) {
            if (bytesPerPixel == 4) {
                put32(row[x]);
            } else {
                put16(row[x] & 0xFFFF);
                out.push_back(static_cast<char>((row[x] >> (2 * ByteBits)) & 0xFF));
            }
        }
        out.append(stride - (out.size() - start), '\0');
    }
    return out;
}

} // namespace platform::gdi
