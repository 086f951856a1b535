#include "cover/cover_metrics.h"

#include "platform/core/text.h"

#include <cstdlib>
#include <limits>

namespace cover {

namespace core = platform::core;

namespace {

constexpr long double CentimetresPerInch = 2.54L;
constexpr long double FrontInches = 4.724409448818897L;      // 12 / 2.54
constexpr long double BackHeightInches = 4.606299212598425L; // 11.7 / 2.54
constexpr long double BackWidthInches = 5.393700787401575L;  // 13.7 / 2.54
constexpr long double SpineInches = 0.2755905511811024L;     // 0.7 / 2.54

int saturate(std::int64_t value) {
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

int truncSaturated(long double value) {
    constexpr long double Limit = 9.0e18L;
    if (!(value < Limit))
        return std::numeric_limits<int>::max();
    if (!(value > -Limit))
        return std::numeric_limits<int>::min();
    return saturate(core::truncToInt(value));
}

int roundSaturated(long double value) {
    return truncSaturated(value) == std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                                    : saturate(core::roundHalfEven(value));
}

// (v) div 2 as integer division toward zero.
int halfOf(int value) {
    return value / 2;
}

} // namespace

std::optional<double> parseDecimal(std::string_view text) {
    std::string whole;
    std::string fraction;
    bool inFraction = false;
    for (const char c : text) {
        if (c == '.') {
            inFraction = true;
        } else if (c >= '0' && c <= '9') {
            (inFraction ? fraction : whole).push_back(c);
        } else {
            return std::nullopt;
        }
    }
    if (whole.empty() && fraction.empty())
        return 0.0;
    const std::string number = (whole.empty() ? std::string("0") : whole) + "." + fraction + "0";
    return std::strtod(number.c_str(), nullptr);
}

FrontPlacement placeFront(double ratio, int zoom, bool center, FrontPosition position) {
    FrontPlacement p;
    if (ratio <= 1.0) {
        p.PicWidth = zoom;
        p.PicHeight = roundSaturated(static_cast<long double>(zoom) * ratio);
    } else {
        p.PicWidth = roundSaturated(static_cast<long double>(zoom) / ratio);
        p.PicHeight = zoom;
    }
    if (!center)
        return p;
    const int cx = halfOf(FrontPreviewSize - p.PicWidth);
    const int cy = halfOf(FrontPreviewSize - p.PicHeight);
    const int right = FrontPreviewSize - p.PicWidth;
    const int bottom = FrontPreviewSize - p.PicHeight;
    switch (position) {
    case FrontPosition::UL:
        p.PicX = 0, p.PicY = 0;
        break;
    case FrontPosition::UM:
        p.PicX = cx, p.PicY = 0;
        break;
    case FrontPosition::UR:
        p.PicX = right, p.PicY = 0;
        break;
    case FrontPosition::ML:
        p.PicX = 0, p.PicY = cy;
        break;
    case FrontPosition::MR:
        p.PicX = right, p.PicY = cy;
        break;
    case FrontPosition::DL:
        p.PicX = 0, p.PicY = bottom;
        break;
    case FrontPosition::DM:
        p.PicX = cx, p.PicY = bottom;
        break;
    case FrontPosition::DR:
        p.PicX = right, p.PicY = bottom;
        break;
    case FrontPosition::MM:
    case FrontPosition::None:
        p.PicX = cx, p.PicY = cy;
        break;
    }
    return p;
}

int spineStart(SpineAlign align, bool downUp, int length, int w, int margin) {
    switch (align) {
    case SpineAlign::Center:
        return halfOf(length - w);
    case SpineAlign::Up:
        return downUp ? length - w : margin;
    case SpineAlign::Down:
        break;
    }
    return downUp ? margin : length - w;
}

PrintMetrics printMetrics(int dpi) {
    const long double d = dpi;
    PrintMetrics m;
    m.FrontSize = saturate(std::int64_t{roundSaturated(d * FrontInches)} + 1);
    m.BackHeight = truncSaturated(d * BackHeightInches);
    m.BackWidth = truncSaturated(d * BackWidthInches);
    m.SpineWidth = truncSaturated(d * SpineInches);
    return m;
}

int borderPixels(double centimetres, int dpi) {
    return truncSaturated(static_cast<long double>(centimetres) / CentimetresPerInch * dpi);
}

std::string dpiTextFromRegistry(const std::optional<std::string>& value) {
    if (!value || value->size() > DpiReadBufferSize)
        return DefaultDpiText;
    return value->substr(0, value->find('\0'));
}

std::optional<int> dpiValue(std::string_view text) {
    std::int32_t value = 0;
    if (!platform::core::tryStrToInt(std::string(text), value) || value < 1)
        return std::nullopt;
    return value;
}

std::string dpiRegistryValue(std::string_view text) {
    std::string value(text.substr(0, DpiValueSize));
    value.resize(DpiValueSize, '\0');
    return value;
}

} // namespace cover
