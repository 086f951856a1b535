// Block and stretch transfers between bitmaps.

#include "g32/g32_blend.h"
#include "g32/g32_lowlevel.h"
#include "g32/g32_transforms.h"
#include "g32/transfer_combine.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace g32 {

namespace {

using detail::ActiveVectorKernels;
using detail::Combiner;
using detail::EndMmxScope;
using detail::TVectorKernels;

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

// The start offsets and steps of a nearest or linear stretch, in 1/65536.
struct Steps {
    std::int64_t x0 = 0, y0 = 0, stepX = 0, stepY = 0;
};

Steps nearestSteps(const Geometry& g, TDrawMode mode) {
    Steps s;
    const std::int64_t offX = g.clip.Left - g.dst.Left;
    const std::int64_t offY = g.clip.Top - g.dst.Top;
    if (mode == TDrawMode::dmOpaque) {
        s.x0 = g.DW() > 1 ? startOffset(offX, g.SW() - 1, g.DW() - 1) : 0;
        s.y0 = g.DH() > 1 ? startOffset(offY, g.SH() - 1, g.DH() - 1) : 0;
    } else {
        s.x0 = startOffset(offX, g.SW(), g.DW());
        s.y0 = startOffset(offY, g.SH(), g.DH());
    }
    s.stepX = g.SW() * FixedOne / g.DW();
    s.stepY = g.SH() * FixedOne / g.DH();
    return s;
}

Steps linearSteps(const Geometry& g) {
    return {startOffset(g.clip.Left - g.dst.Left, g.SW() - 1, g.DW()),
            startOffset(g.clip.Top - g.dst.Top, g.SH() - 1, g.DH()), (g.SW() - 1) * FixedOne / g.DW(),
            (g.SH() - 1) * FixedOne / g.DH()};
}

void stretchNearest(TBitmap32& dst, const TBitmap32& src, const Geometry& g, const Combiner& combine) {
    const Steps s = nearestSteps(g, combine.mode());
    std::int64_t posY = s.y0;
    for (int y = g.clip.Top; y < g.clip.Bottom; ++y, posY += s.stepY) {
        const TColor32* from = src.RowAddr(g.row(posY));
        TColor32* to = dst.RowAddr(y);
        std::int64_t posX = s.x0;
        for (int x = g.clip.Left; x < g.clip.Right; ++x, posX += s.stepX)
            combine(from[g.column(posX)], to[x]);
    }
}

// The same through the row kernels: the source column of every destination column is found once, and a
// destination row whose source row is that of the row above repeats it.
void stretchNearestRows(TBitmap32& dst, const TBitmap32& src, const Geometry& g, const Combiner& combine,
                        const TVectorKernels& rows) {
    const Steps s = nearestSteps(g, combine.mode());
    const int n = g.clip.Right - g.clip.Left;
    std::vector<std::int32_t> columns(static_cast<std::size_t>(n));
    std::int64_t posX = s.x0;
    for (std::int32_t& c : columns) {
        c = g.column(posX);
        posX += s.stepX;
    }
    const bool opaque = combine.mode() == TDrawMode::dmOpaque;
    std::vector<TColor32> line(opaque ? 0 : static_cast<std::size_t>(n));
    int lastRow = -1;
    const TColor32* last = nullptr;
    std::int64_t posY = s.y0;
    for (int y = g.clip.Top; y < g.clip.Bottom; ++y, posY += s.stepY) {
        const int r = g.row(posY);
        TColor32* to = dst.RowAddr(y) + g.clip.Left;
        if (opaque) {
            if (r == lastRow)
                std::memcpy(to, last, static_cast<std::size_t>(n) * sizeof *to);
            else
                rows.RowGather(src.RowAddr(r), columns.data(), to, n);
            last = to;
        } else {
            if (r != lastRow)
                rows.RowGather(src.RowAddr(r), columns.data(), line.data(), n);
            combine.row(line.data(), to, n, rows);
        }
        lastRow = r;
    }
}

TColor32 weightOf(std::int64_t pos) {
    return ChannelMax - static_cast<TColor32>((pos >> FractionShift) & ChannelMax);
}

void stretchLinear(TBitmap32& dst, const TBitmap32& src, const Geometry& g, const Combiner& combine) {
    const Steps s = linearSteps(g);
    const TBlendTable& forms = combine.forms();
    std::int64_t posY = s.y0;
    for (int y = g.clip.Top; y < g.clip.Bottom; ++y, posY += s.stepY) {
        const int upper = g.row(posY);
        // Past the last row of the rectangle the upper row serves as the lower one.
        const int lower = upper + 1 < g.src.Bottom ? upper + 1 : upper;
        const TColor32 wy = weightOf(posY);
        const TColor32* rowA = src.RowAddr(upper);
        const TColor32* rowB = src.RowAddr(lower);
        TColor32* to = dst.RowAddr(y);
        std::int64_t posX = s.x0;
        for (int x = g.clip.Left; x < g.clip.Right; ++x, posX += s.stepX) {
            const int left = g.column(posX);
            const int right = left + 1 < g.src.Right ? left + 1 : left;
            const TColor32 wx = weightOf(posX);
            const TColor32 c = forms.ColorMix(forms.ColorMix(rowA[left], rowA[right], wx),
                                              forms.ColorMix(rowB[left], rowB[right], wx), wy);
            combine(c, to[x]);
        }
    }
}

// The same through the row kernels: the columns and their weights are found once; each source row is
// mixed across once into one of two row buffers, and a destination row mixes its two buffers down.
void stretchLinearRows(TBitmap32& dst, const TBitmap32& src, const Geometry& g, const Combiner& combine,
                       const TVectorKernels& rows) {
    const Steps s = linearSteps(g);
    const auto n = static_cast<std::size_t>(g.clip.Right - g.clip.Left);
    std::vector<std::int32_t> left(n), right(n), weights(n);
    std::int64_t posX = s.x0;
    for (std::size_t i = 0; i < n; ++i, posX += s.stepX) {
        left[i] = g.column(posX);
        right[i] = left[i] + 1 < g.src.Right ? left[i] + 1 : left[i];
        weights[i] = static_cast<std::int32_t>(weightOf(posX));
    }
    const bool opaque = combine.mode() == TDrawMode::dmOpaque;
    std::vector<TColor32> across[2] = {std::vector<TColor32>(n), std::vector<TColor32>(n)};
    int acrossRow[2] = {-1, -1};
    std::vector<TColor32> line(opaque ? 0 : n);
    // The buffer of source row r, mixed when missing into the buffer that does not hold row keep.
    auto mixedAcross = [&](int r, int keep) -> const TColor32* {
        for (int b = 0; b < 2; ++b)
            if (acrossRow[b] == r)
                return across[b].data();
        const int b = acrossRow[0] == keep ? 1 : 0;
        rows.RowMixPairs(src.RowAddr(r), left.data(), right.data(), weights.data(), across[b].data(),
                         static_cast<int>(n));
        acrossRow[b] = r;
        return across[b].data();
    };
    std::int64_t posY = s.y0;
    for (int y = g.clip.Top; y < g.clip.Bottom; ++y, posY += s.stepY) {
        const int upper = g.row(posY);
        const int lower = upper + 1 < g.src.Bottom ? upper + 1 : upper;
        const TColor32* a = mixedAcross(upper, lower);
        const TColor32* b = mixedAcross(lower, upper);
        TColor32* to = dst.RowAddr(y) + g.clip.Left;
        rows.RowMix(a, b, opaque ? to : line.data(), static_cast<int>(n), weightOf(posY));
        if (!opaque)
            combine.row(line.data(), to, static_cast<int>(n), rows);
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

// The same sums taken in two passes through the row kernels: each source row that a row list names is
// weighed across once per destination column (kept while row lists still name it), then the rows are
// weighed down. The sums are exact integers either way, so the result is the same; when a sum could
// leave the 32-bit range (or a weight the 16-bit range) the pixel path does the work instead.
bool stretchFilteredRows(TBitmap32& dst, const TBitmap32& src, const Geometry& g, TStretchFilter filter,
                         const Combiner& combine, const TVectorKernels& rows) {
    const std::vector<TMappingList> columns =
        BuildMappingTable(g.DW(), src.Width(), g.src.Left, g.src.Right, filter, g.clip.Left - g.dst.Left,
                          g.clip.Right - g.dst.Left);
    const std::vector<TMappingList> rowLists =
        BuildMappingTable(g.DH(), src.Height(), g.src.Top, g.src.Bottom, filter, g.clip.Top - g.dst.Top,
                          g.clip.Bottom - g.dst.Top);
    if (columns.empty() || rowLists.empty())
        return true;
    // The largest weight totals bound every sum; the column weights take 16-bit lanes.
    const auto largestTotal = [](const std::vector<TMappingList>& lists) {
        std::int64_t most = 0;
        for (const TMappingList& list : lists) {
            std::int64_t total = 0;
            for (const TPointRec& p : list)
                total += std::abs(static_cast<std::int64_t>(p.Weight));
            most = std::max(most, total);
        }
        return most;
    };
    const bool fits16 = std::all_of(columns.begin(), columns.end(), [](const TMappingList& list) {
        return std::all_of(list.begin(), list.end(), [](const TPointRec& p) {
            return p.Weight >= std::numeric_limits<std::int16_t>::min() &&
                   p.Weight <= std::numeric_limits<std::int16_t>::max();
        });
    });
    const std::int64_t sumLimit = std::numeric_limits<std::int32_t>::max();
    if (!fits16 ||
        largestTotal(columns) * largestTotal(rowLists) * static_cast<std::int64_t>(ChannelMax) > sumLimit)
        return false;

    constexpr std::size_t Channels = 4;
    const std::size_t n = columns.size();
    std::size_t taps = 2;
    for (const TMappingList& list : columns)
        taps = std::max(taps, list.size() + list.size() % 2);
    // Every list padded to the same even count of taps with weight 0 on a column it already reads.
    std::vector<std::int32_t> pos(n * taps), pairs(n * taps / 2);
    for (std::size_t x = 0; x < n; ++x) {
        const TMappingList& list = columns[x];
        for (std::size_t t = 0; t < taps; ++t) {
            const bool real = t < list.size();
            pos[x * taps + t] = real ? list[t].Pos : (list.empty() ? 0 : list[0].Pos);
            const auto w = static_cast<std::uint16_t>(real ? list[t].Weight : 0);
            pairs[(x * taps + t) / 2] |=
                static_cast<std::int32_t>(static_cast<std::uint32_t>(w) << (16 * (t % 2)));
        }
    }
    struct Across {
        int row = -1;
        std::vector<std::int32_t> sums;
    };
    std::vector<Across> pool;
    auto listed = [](const TMappingList& list, int r) {
        return std::any_of(list.begin(), list.end(), [r](const TPointRec& p) { return p.Pos == r; });
    };
    const bool opaque = combine.mode() == TDrawMode::dmOpaque;
    std::vector<TColor32> line(opaque ? 0 : n);
    std::vector<const std::int32_t*> used;
    std::vector<std::int32_t> weights;
    for (int y = g.clip.Top; y < g.clip.Bottom; ++y) {
        const TMappingList& rowList = rowLists[static_cast<std::size_t>(y - g.clip.Top)];
        for (const TPointRec& r : rowList) {
            auto found =
                std::find_if(pool.begin(), pool.end(), [&](const Across& a) { return a.row == r.Pos; });
            if (found != pool.end())
                continue;
            found = std::find_if(pool.begin(), pool.end(),
                                 [&](const Across& a) { return !listed(rowList, a.row); });
            if (found == pool.end()) {
                pool.push_back({-1, std::vector<std::int32_t>(n * Channels)});
                found = pool.end() - 1;
            }
            found->row = r.Pos;
            rows.FilterAcross(src.RowAddr(r.Pos), pos.data(), pairs.data(), static_cast<int>(taps),
                              found->sums.data(), static_cast<int>(n));
        }
        // The pointers are taken once the pool has stopped growing for this row.
        used.clear();
        weights.clear();
        for (const TPointRec& r : rowList) {
            used.push_back(std::find_if(pool.begin(), pool.end(), [&](const Across& a) {
                               return a.row == r.Pos;
                           })->sums.data());
            weights.push_back(r.Weight);
        }
        TColor32* to = dst.RowAddr(y) + g.clip.Left;
        rows.FilterDown(used.data(), weights.data(), static_cast<int>(used.size()), opaque ? to : line.data(),
                        static_cast<int>(n));
        if (!opaque)
            combine.row(line.data(), to, static_cast<int>(n), rows);
    }
    return true;
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
                combine.forms().RowOver(from, to, w);
            else
                combine.forms().RowOverScaled(from, to, w, Src->MasterAlpha());
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
    // The row kernels read a source row before the destination row is written: only between two bitmaps.
    const TVectorKernels* rows = Dst->Bits() != Src->Bits() ? ActiveVectorKernels() : nullptr;
    switch (StretchFilter) {
    case TStretchFilter::sfNearest:
        if (rows)
            stretchNearestRows(*Dst, *Src, g, combine, *rows);
        else
            stretchNearest(*Dst, *Src, g, combine);
        break;
    case TStretchFilter::sfLinear:
        if (rows)
            stretchLinearRows(*Dst, *Src, g, combine, *rows);
        else
            stretchLinear(*Dst, *Src, g, combine);
        break;
    case TStretchFilter::sfLinear2:
    case TStretchFilter::sfSpline:
        if (!rows || !stretchFilteredRows(*Dst, *Src, g, StretchFilter, combine, *rows))
            stretchFiltered(*Dst, *Src, g, StretchFilter, combine);
        break;
    }
}

} // namespace g32
