#include "platform/gdi/device_context.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <vector>

namespace platform::gdi {

namespace {

constexpr int ScreenDpi = 96;
constexpr int PointsPerInch = 72;
constexpr int ByteBits = 8;
constexpr std::uint32_t AlphaMask = 0xFF000000;
constexpr std::uint32_t ColorMask = 0x00FFFFFF;

QColor toQColor(ColorRef c) {
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> ByteBits) & 0xFF),
                  static_cast<int>((c >> (2 * ByteBits)) & 0xFF));
}

QFont toQFont(const Font& f) {
    QFont q = QGuiApplication::font();
    if (!f.name.empty())
        q.setFamily(QString::fromStdString(f.name));
    const int points = f.size > 0 ? f.size : DefaultFontSize;
    // Point sizes become pixel heights at the screen's 96 pixels per inch, rounded.
    q.setPixelSize(std::max(1, (points * ScreenDpi + PointsPerInch / 2) / PointsPerInch));
    q.setBold(f.style.bold);
    q.setItalic(f.style.italic);
    q.setUnderline(f.style.underline);
    q.setStrikeOut(f.style.strikeOut);
    return q;
}

bool fontsAvailable() {
    return QGuiApplication::instance() != nullptr;
}

// The part of [from, to) that lies inside [0, limit).
void clipSpan(int& from, int& to, int limit) {
    from = std::max(from, 0);
    to = std::min(to, limit);
}

} // namespace

std::unique_ptr<DeviceContext> DeviceContext::createCompatible() {
    return std::unique_ptr<DeviceContext>(new DeviceContext());
}

DeviceContext::~DeviceContext() = default;

bool DeviceContext::selectBitmap(DibSection* section) {
    section_ = section;
    return true;
}

void DeviceContext::selectFont(const Font& font) {
    font_ = font;
}

QImage DeviceContext::view() const {
    if (!section_)
        return QImage();
    return QImage(reinterpret_cast<uchar*>(section_->bits()), section_->width(), section_->height(),
                  section_->stride(), QImage::Format_RGB32);
}

bool DeviceContext::extTextOut(int x, int y, std::string_view text) {
    if (!section_ || !fontsAvailable())
        return false;
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const QFont qfont = toQFont(font_);
    const QFontMetrics metrics(qfont);
    const int baseline = y + metrics.ascent();
    const QRect ink = metrics.boundingRect(s).translated(x, baseline);

    // Keep the fourth byte of every pixel the text may touch: painting goes through an RGB32 view.
    int top = std::min(y, ink.top()) - 1;
    int bottom = std::max(y + metrics.height(), ink.bottom() + 1) + 1;
    clipSpan(top, bottom, section_->height());
    const int width = section_->width();
    std::vector<std::uint32_t> saved;
    if (bottom > top) {
        const std::uint32_t* first = section_->bits() + static_cast<std::size_t>(top) * width;
        saved.assign(first, first + static_cast<std::size_t>(bottom - top) * width);
    }
    {
        QImage image = view();
        QPainter painter(&image);
        painter.setFont(qfont);
        if (bkMode_ == BkMode::Opaque)
            painter.fillRect(QRect(x, y, metrics.horizontalAdvance(s), metrics.height()), toQColor(bkColor_));
        painter.setPen(toQColor(textColor_));
        painter.drawText(QPoint(x, baseline), s);
    }
    std::uint32_t* row = section_->bits() + static_cast<std::size_t>(std::max(top, 0)) * width;
    for (std::size_t i = 0; i < saved.size(); ++i)
        row[i] = (row[i] & ColorMask) | (saved[i] & AlphaMask);
    return true;
}

Size DeviceContext::textExtent(std::string_view text) const {
    if (!fontsAvailable())
        return {};
    const QFontMetrics metrics(toQFont(font_));
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return {metrics.horizontalAdvance(s), metrics.height()};
}

bool bitBlt(DeviceContext& dst, int x, int y, int w, int h, const DeviceContext& src, int sx, int sy,
            RasterOp op) {
    const DibSection* d = dst.selectedBitmap();
    const DibSection* s = src.selectedBitmap();
    if (!d || !s)
        return false;
    // Clip against the source, then the destination, moving both origins together.
    const int x0 = std::max({0, -sx, -x});
    const int y0 = std::max({0, -sy, -y});
    const int x1 = std::min({w, s->width() - sx, d->width() - x});
    const int y1 = std::min({h, s->height() - sy, d->height() - y});
    if (x1 <= x0 || y1 <= y0)
        return true;
    const int count = x1 - x0;
    // Within one surface a block moved down is copied from its last row up.
    const bool upward = d == s && y > sy;
    for (int step = 0; step < y1 - y0; ++step) {
        const int row = upward ? y1 - 1 - step : y0 + step;
        const std::uint32_t* from = s->bits() + static_cast<std::size_t>(sy + row) * s->width() + sx + x0;
        std::uint32_t* to = d->bits() + static_cast<std::size_t>(y + row) * d->width() + x + x0;
        if (op == RasterOp::SrcAnd) {
            for (int i = 0; i < count; ++i)
                to[i] &= from[i];
        } else {
            std::memmove(to, from, static_cast<std::size_t>(count) * sizeof(std::uint32_t));
        }
    }
    return true;
}

bool stretchBlt(DeviceContext& dst, int x, int y, int dw, int dh, const DeviceContext& src, int sx, int sy,
                int sw, int sh, RasterOp op) {
    const DibSection* d = dst.selectedBitmap();
    const DibSection* s = src.selectedBitmap();
    if (!d || !s)
        return false;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0)
        return true;
    int left = x;
    int right = x + dw;
    int top = y;
    int bottom = y + dh;
    clipSpan(left, right, d->width());
    clipSpan(top, bottom, d->height());
    for (int row = top; row < bottom; ++row) {
        const std::int64_t srcY = sy + (static_cast<std::int64_t>(row - y) * sh) / dh;
        std::uint32_t* to = d->bits() + static_cast<std::size_t>(row) * d->width();
        for (int col = left; col < right; ++col) {
            const std::int64_t srcX = sx + (static_cast<std::int64_t>(col - x) * sw) / dw;
            std::uint32_t pixel = 0;
            if (srcX >= 0 && srcY >= 0 && srcX < s->width() && srcY < s->height())
                pixel = s->bits()[srcY * s->width() + srcX];
            to[col] = op == RasterOp::SrcAnd ? (to[col] & pixel) : pixel;
        }
    }
    return true;
}

void paintTo(QPainter& painter, int x, int y, const DeviceContext& src, int sx, int sy, int w, int h) {
    const QImage image = src.view();
    if (image.isNull())
        return;
    painter.drawImage(QPoint(x, y), image, QRect(sx, sy, w, h));
}

} // namespace platform::gdi
