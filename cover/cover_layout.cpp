#include "cover/cover_layout.h"

#include "platform/core/paths.h"
#include "platform/core/text.h"

#include <algorithm>
#include <optional>

namespace cover {

namespace core = platform::core;

namespace {

struct ItemDefault {
    CoverItemIndex item;
    std::uint8_t size;
    std::int32_t x;
    std::int32_t y;
};

constexpr std::array<ItemDefault, CoverItemCount> ItemDefaults{{
    {ciTitle, 15, 10, 90},
    {ciRuntime, 10, 20, 150},
    {ciRipDesc, 10, 20, 190},
    {ciComments, 10, 20, 270},
    {ciGenre, 10, 20, 170},
    {ciLanguage, 10, 20, 230},
    {ciSubtitle, 10, 20, 210},
}};

void put8(std::string& out, std::uint8_t value) {
    out.push_back(static_cast<char>(value));
}

void put32(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

// Reads fields from the front of a byte range; every take fails once the range is used up.
class LayoutReader {
public:
    explicit LayoutReader(std::string_view bytes) : rest_(bytes) {}

    std::optional<std::string_view> take(std::size_t count) {
        if (count > rest_.size())
            return std::nullopt;
        const std::string_view part = rest_.substr(0, count);
        rest_.remove_prefix(count);
        return part;
    }
    std::optional<std::uint8_t> u8() {
        const auto part = take(1);
        if (!part)
            return std::nullopt;
        return static_cast<std::uint8_t>((*part)[0]);
    }
    std::optional<std::uint32_t> u32() {
        const auto part = take(4);
        if (!part)
            return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = (value << 8) | static_cast<std::uint8_t>((*part)[static_cast<std::size_t>(i)]);
        return value;
    }
    std::optional<std::int32_t> i32() {
        const auto value = u32();
        if (!value)
            return std::nullopt;
        return static_cast<std::int32_t>(*value);
    }

private:
    std::string_view rest_;
};

std::optional<TCoverItem> readRecord(LayoutReader& in) {
    TCoverItem item;
    const auto size = in.u8();
    const auto style = in.u8();
    const auto color = in.u32();
    const auto length = in.i32();
    if (!size || !style || !color || !length)
        return std::nullopt;
    item.Size = *size;
    item.Style = *style;
    item.Color = *color;
    item.FontName.clear();
    if (*length > 0) {
        const auto name = in.take(static_cast<std::size_t>(*length));
        if (!name)
            return std::nullopt;
        item.FontName = core::cp1252ToUtf8(*name);
    }
    const auto x = in.i32();
    const auto y = in.i32();
    const auto placing = in.u8();
    if (!x || !y || !placing)
        return std::nullopt;
    item.X = *x;
    item.Y = *y;
    item.Placing = *placing != 0 ? 1 : 0;
    return item;
}

constexpr unsigned char Utf8ContinuationMask = 0xC0;
constexpr unsigned char Utf8Continuation = 0x80;

std::string stripTrailingBlanks(std::string_view field) {
    std::size_t end = field.size();
    while (end > 0 && field[end - 1] == PictureNamePad)
        --end;
    return std::string(field.substr(0, end));
}

} // namespace

CoverLayout defaultLayout() {
    CoverLayout layout;
    for (const ItemDefault& d : ItemDefaults) {
        TCoverItem& item = layout.Items[static_cast<std::size_t>(d.item)];
        item = TCoverItem{};
        item.Size = d.size;
        item.X = d.x;
        item.Y = d.y;
    }
    return layout;
}

std::string pictureNameField(std::string_view path) {
    std::string name = core::extractFileName(path);
    if (name.size() > PictureNameSize) {
        // Cut where a character begins, never inside the bytes of one UTF-8 character.
        std::size_t end = PictureNameSize;
        while (end > 0 && (static_cast<unsigned char>(name[end]) & Utf8ContinuationMask) == Utf8Continuation)
            --end;
        name.resize(end);
    }
    name.append(PictureNameSize - name.size(), PictureNamePad);
    return name;
}

std::string encodeLayoutFile(const CoverLayout& layout, std::string_view backgroundPath,
                             std::string_view logoPath) {
    std::string out;
    for (const CoverItemIndex index : StoredItems) {
        const TCoverItem& item = layout.Items[static_cast<std::size_t>(index)];
        const std::string name = core::utf8ToCp1252(item.FontName);
        put8(out, item.Size);
        put8(out, item.Style);
        put32(out, item.Color);
        put32(out, static_cast<std::uint32_t>(name.size()));
        out += name;
        put32(out, static_cast<std::uint32_t>(item.X));
        put32(out, static_cast<std::uint32_t>(item.Y));
        put8(out, item.Placing);
    }
    out += pictureNameField(backgroundPath);
    out += pictureNameField(logoPath);
    put32(out, static_cast<std::uint32_t>(layout.LogoX));
    put32(out, static_cast<std::uint32_t>(layout.LogoY));
    return out;
}

LayoutReadStatus decodeLayoutFile(std::string_view bytes, LayoutFile& file) {
    // Files are judged by their structure, not their size: names of four letters or fewer make a
    // whole layout shorter than the usual 280 bytes. Too short means too short to hold one.
    if (bytes.size() < LayoutStructureMinimum)
        return LayoutReadStatus::TooShort;
    if (bytes.size() > LayoutMaximumSize)
        return LayoutReadStatus::Damaged;
    LayoutReader in(bytes);
    LayoutFile read;
    for (TCoverItem& record : read.Records) {
        auto item = readRecord(in);
        if (!item)
            return LayoutReadStatus::Damaged;
        record = std::move(*item);
    }
    const auto background = in.take(PictureNameSize);
    const auto logo = in.take(PictureNameSize);
    const auto logoX = in.i32();
    const auto logoY = in.i32();
    if (!background || !logo || !logoX || !logoY)
        return LayoutReadStatus::Damaged;
    read.BackgroundName = stripTrailingBlanks(*background);
    read.LogoName = stripTrailingBlanks(*logo);
    read.LogoX = *logoX;
    read.LogoY = *logoY;
    file = std::move(read);
    return LayoutReadStatus::Ok;
}

namespace {

constexpr unsigned char FirstPrintable = 0x20;
constexpr unsigned char Delete = 0x7F;

bool isControl(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < FirstPrintable || u == Delete;
}

std::int32_t heldCoordinate(std::int32_t value) {
    return std::clamp(value, -MaxLayoutCoordinate, MaxLayoutCoordinate);
}

} // namespace

void applyLayoutFile(const LayoutFile& file, CoverLayout& layout) {
    for (std::size_t i = 0; i < StoredItems.size(); ++i) {
        TCoverItem item = file.Records[i];
        item.X = heldCoordinate(item.X);
        item.Y = heldCoordinate(item.Y);
        if (std::erase_if(item.FontName, isControl) > 0 && item.FontName.empty())
            item.FontName = DefaultFontName;
        layout.Items[static_cast<std::size_t>(StoredItems[i])] = std::move(item);
    }
    layout.LogoX = heldCoordinate(file.LogoX);
    layout.LogoY = heldCoordinate(file.LogoY);
}

bool usablePictureName(std::string_view name) {
    return std::none_of(name.begin(), name.end(), isControl);
}

} // namespace cover
