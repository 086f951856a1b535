#include "kes/m2a_bat.h"

#include <vector>

namespace kes {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::vector<std::string_view> splitItems(std::string_view line) {
    std::vector<std::string_view> items;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        const size_t start = i;
        while (i < line.size() && !isBlank(line[i]))
            ++i;
        if (i > start)
            items.push_back(line.substr(start, i - start));
    }
    return items;
}

bool isSize(std::string_view item) {
    if (item.empty() || item.size() > MaxSizeDigits)
        return false;
    for (const char c : item) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// The value that stands `offset` items after the first item equal to `name`, when it is a size.
std::optional<std::string> valueAfter(const std::vector<std::string_view>& items, std::string_view name,
                                      size_t offset) {
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i] != name)
            continue;
        if (i + offset < items.size() && isSize(items[i + offset]))
            return std::string(items[i + offset]);
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

OnScreenSizes parseM2aFirstLine(std::string_view line) {
    const auto items = splitItems(line);
    OnScreenSizes sizes;
    sizes.xSize = valueAfter(items, "-3X", 1);
    sizes.ySize = valueAfter(items, "-3Y", 1);
    auto xCrop = valueAfter(items, "-1", 1);
    auto yCrop = valueAfter(items, "-1", 2);
    if (xCrop && yCrop) {
        sizes.xCrop = std::move(xCrop);
        sizes.yCrop = std::move(yCrop);
    }
    return sizes;
}

} // namespace kes
