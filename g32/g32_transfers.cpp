// Block and stretch transfers between bitmaps.

#include "g32/g32_blend.h"
#include "g32/g32_lowlevel.h"
#include "g32/g32_transforms.h"
#include "g32/transfer_combine.h"

#include <algorithm>
#include <limits>

namespace g32 {

namespace {

using detail::Combiner;
using detail::EndMmxScope;

constexpr std::int64_t FixedOne = 65536;   // positions of the nearest and linear stretches
constexpr std::int32_t FixedRange = 65535; // the numerator of their start offsets
constexpr int FractionShift = 8;
constexpr std::int64_t FilterScale = 65536; // column weight x row weight of the filtered stretch
constexpr std::int64_t ChannelLimit = 255 * FilterScale;

void checkBitmaps(const TBitmap32* Dst, const TBitmap32* Src) {
    if (!Dst || Dst->Empty())
        throw ETransformError(DstEmptyText);
    if (!Src || Src->Empty())
        throw ETransformError(SrcEmptyText);
}

// A product clamped to the 32-bit range, as the first factor of SafeMulDiv.
std::int32_t product32(std::int64_t a, std::int64_t b) {
    const std::int64_t p = a * b;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(p, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

std::int64_t startOffset(std::int64_t clipOffset, std::int64_t span, std::int64_t divisor) {
    if (divisor == 0)
        return 0;
    return std::max(0,
                    SafeMulDiv(product32(clipOffset, span), FixedRange, static_cast<std::int32_t>(divisor)));
}

struct Geometry {
    TRect dst;
    TRect src;
    TRect clip;
    int SW() const { return src.Right - src.Left; }
    int SH() const { return src.Bottom - src.Top; }
    int DW() const { return dst.Right - dst.Left; }
    int DH() const { return dst.Bottom - dst.Top; }
    // The source index of a fixed-point position, kept inside the source rectangle.
    int column(std::int64_t pos) const {
        return static_cast<int>(std::clamp<std::int64_t>(src.Left + pos / FixedOne, src.Left, src.Right - 1));
    }
    int row(std::int64_t pos) const {
        return static_cast<int>(std::clamp<std::int64_t>(src.Top + pos / FixedOne, src.Top, src.Bottom - 1));
    }
};

void stretchNearest(TBitmap32& dst, const TBitmap32& src, const Geometry& g, const Combiner& combine) {
    std::int64_t x0 = 0;
    std::int64_t y0 = 0;
    const std::int64_t offX = g.clip.Left - g.dst.Left;
    const std::int64_t offY = g.clip.Top - g.dst.Top;
    if (combine.mode() == TDrawMode::dmOpaque) {
        x0 = g.DW() > 1 ? startOffset(offX, g.SW() - 1, g.DW() - 1) : 0;
        y0 = g.DH() > 1 ? startOffset(offY, g.SH() - 1, g.DH() - 1) : 0;
    } else {
        x0 = startOffset(offX, g.SW(), g.DW());
        y0 = startOffset(offY, g.SH(), g.DH());
    }
    const std::int64_t stepX = g.SW() * FixedOne / g.DW();
    const std::int64_t stepY = g.SH() * FixedOne / g.DH();
    std::int64_t posY = y0;
    for (int y = g.clip.Top; y < g.clip.Bottom; ++y, posY += stepY) {
        const TColor32* from = src.RowAddr(g.row(posY));
        TColor32* to = dst.RowAddr(y);
        std::int64_t posX = x0;
        for (int x = g.clip.Left; x < g.clip.Right; ++x, posX += stepX)
            combine(from[g.column(posX)], to[x]);
    }
}

TColor32 weightOf(std::int64_t pos) {
    return ChannelMax - static_cast<TColor32>((pos >> FractionShift) & ChannelMax);
}

void stretchLinear(TBitmap32& dst, const TBitmap32& src, const Geometry& g, const Combiner& combine) {
    const std::int64_t x0 = startOffset(g.clip.Left - g.dst.Left, g.SW() - 1, g.DW());
    const std::int64_t y0 = startOffset(g.clip.Top - g.dst.Top, g.SH() - 1, g.DH());
    const std::int64_t stepX = (g.SW() - 1) * FixedOne / g.DW();
    const std::int64_t stepY = (g.SH() - 1) * FixedOne / g.DH();
    std::int64_t posY = y0;
    for (int y = g.clip.Top; y < g.clip.Bottom; ++y, posY += stepY) {
        const int upper = g.row(posY);
        // Past the last row of the rectangle the upper row serves as the lower one.
        const int lower = upper + 1 < g.src.Bottom ? upper + 1 : upper;
        const TColor32 wy = weightOf(posY);
        const TColor32* rowA = src.RowAddr(upper);
        const TColor32* rowB = src.RowAddr(lower);
        TColor32* to = dst.RowAddr(y);
        std::int64_t posX = x0;
        for (int x = g.clip.Left; x < g.clip.Right; ++x, posX += stepX) {
            const int left = g.column(posX);
            const int right = left + 1 < g.src.Right ? left + 1 : left;
            const TColor32 wx = weightOf(posX);
            const TColor32 c =
                ColorMix(ColorMix(rowA[left], rowA[right], wx), ColorMix(rowB[left], rowB[right], wx), wy);
            combine(c, to[x]);
        }
    }
}

void stretchFiltered(TBitmap32& dst, const TBitmap32& src, const Geometry& g, TStretchFilter filter,
                     const Combiner& combine) {
    const std::vector<TMappingList> columns =
        BuildMappingTable(g.DW(), src.Width(), g.src.Left, g.src.Right, filter, g.clip.Left - g.dst.Left,
                          g.clip.Right - g.dst.Left);
    const std::vector<TMappingList> rows =
        BuildMappingTable(g.DH(), src.Height(), g.src.Top, g.src.Bottom, filter, g.clip.Top - g.dst.Top,
                          g.clip.Bottom - g.dst.Top);
    if (columns.empty() || rows.empty())
        return;
    for (int y = g.clip.Top; y < g.clip.Bottom; ++y) {
        const TMappingList& rowList = rows[static_cast<std::size_t>(y - g.clip.Top)];
        TColor32* to = dst.RowAddr(y);
        for (int x = g.clip.Left; x < g.clip.Right; ++x) {
            const TMappingList& columnList = columns[static_cast<std::size_t>(x - g.clip.Left)];
            std::int64_t sums[4] = {0, 0, 0, 0};
            for (const TPointRec& r : rowList) {
                const TColor32* line = src.RowAddr(r.Pos);
                for (const TPointRec& c : columnList) {
                    const std::int64_t w = static_cast<std::int64_t>(c.Weight) * r.Weight;
                    const TColor32 p = line[c.Pos];
                    for (int ch = 0; ch < 4; ++ch)
                        sums[ch] += static_cast<std::int64_t>((p >> (ch * 8)) & ChannelMax) * w;
                }
            }
            TColor32 out = 0;
            for (int ch = 0; ch < 4; ++ch) {
                const std::int64_t s = std::clamp<std::int64_t>(sums[ch], 0, ChannelLimit);
                out |= static_cast<TColor32>(s / FilterScale) << (ch * 8);
            }
            combine(out, to[x]);
        }
    }
}

} // namespace

void CopyBlock(TBitmap32* Dst, int DstX, int DstY, TBitmap32* Src, TRect SrcRect, TDrawMode CombineOp,
               const TPixelCombineEvent& CombineCallBack) {
    checkBitmaps(Dst, Src);
    const Combiner combine(CombineOp, Src->MasterAlpha(), CombineCallBack, true);

    // Clip the source rectangle to the source, moving the destination point with it.
    const TRect asked = SrcRect;
    IntersectRect(SrcRect, asked, MakeRect(0, 0, Src->Width(), Src->Height()));
    if (IsRectEmpty(SrcRect))
        return;
    DstX += SrcRect.Left - asked.Left;
    DstY += SrcRect.Top - asked.Top;
    // Then the destination rectangle to the destination, moving the source rectangle with it.
    TRect dstRect = SrcRect;
    OffsetRect(dstRect, DstX - SrcRect.Left, DstY - SrcRect.Top);
    const TRect placed = dstRect;
    IntersectRect(dstRect, placed, MakeRect(0, 0, Dst->Width(), Dst->Height()));
    if (IsRectEmpty(dstRect))
        return;
    SrcRect.Left += dstRect.Left - placed.Left;
    SrcRect.Top += dstRect.Top - placed.Top;
    const int w = dstRect.Right - dstRect.Left;
    const int h = dstRect.Bottom - dstRect.Top;

    if (combine.mode() == TDrawMode::dmOpaque) {
        platform::gdi::bitBlt(*Dst->Handle(), dstRect.Left, dstRect.Top, w, h, *Src->Handle(), SrcRect.Left,
                              SrcRect.Top);
        return;
    }
    const EndMmxScope endMmx;
    for (int row = 0; row < h; ++row) {
        const TColor32* from = Src->PixelAddr(SrcRect.Left, SrcRect.Top + row);
        TColor32* to = Dst->PixelAddr(dstRect.Left, dstRect.Top + row);
        if (combine.blends()) {
            if (Src->MasterAlpha() >= ChannelMax)
                RowOver(from, to, w);
            else
                RowOverScaled(from, to, w, Src->MasterAlpha());
        } else {
            for (int i = 0; i < w; ++i)
                combine(from[i], to[i]);
        }
    }
}

void StretchBlock(TBitmap32* Dst, TRect DstRect, TBitmap32* Src, TRect SrcRect, TStretchFilter StretchFilter,
                  TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack) {
    checkBitmaps(Dst, Src);
    if (IsRectEmpty(SrcRect))
        return;
    if (SrcRect.Left < 0 || SrcRect.Top < 0 || SrcRect.Right > Src->Width() || SrcRect.Bottom > Src->Height())
        throw ETransformError(SrcInvalidText);
    if (IsRectEmpty(DstRect))
        return;
    Geometry g{DstRect, SrcRect, {}};
    IntersectRect(g.clip, DstRect, MakeRect(0, 0, Dst->Width(), Dst->Height()));
    if (IsRectEmpty(g.clip))
        return;

    if (g.SW() == g.DW() && g.SH() == g.DH()) {
        CopyBlock(Dst, DstRect.Left, DstRect.Top, Src, SrcRect, CombineOp, CombineCallBack);
        return;
    }
    const bool simple =
        StretchFilter == TStretchFilter::sfNearest || StretchFilter == TStretchFilter::sfLinear;
    const Combiner combine(CombineOp, Src->MasterAlpha(), CombineCallBack, simple);
    const EndMmxScope endMmx;
    switch (StretchFilter) {
    case TStretchFilter::sfNearest:
        stretchNearest(*Dst, *Src, g, combine);
        break;
    case TStretchFilter::sfLinear:
        stretchLinear(*Dst, *Src, g, combine);
        break;
    case TStretchFilter::sfLinear2:
    case TStretchFilter::sfSpline:
        stretchFiltered(*Dst, *Src, g, StretchFilter, combine);
        break;
    }
}

} // namespace g32
