// Transform through the row kernels: the span of each destination row whose source pixels lie inside
// the source clip is found by binary search (the source position is monotone along a row), and goes
// through the span kernels; quarter turns go through block transposes.

#include "g32/affine_rows.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <vector>

namespace g32::detail {

using namespace affine;

void NearestPixel(const AffineRun& r, int x, int y) {
    int sx = 0, sy = 0;
    r.t.MapBackInt(x, y, sx, sy);
    if (sx >= r.srcClip.Left && sx <= r.srcClip.Right && sy >= r.srcClip.Top && sy <= r.srcClip.Bottom)
        r.combine(r.src.Pixel(sx, sy), *r.dst.PixelAddr(x, y));
}

void LinearPixel(const AffineRun& r, int x, int y) {
    const TRect& clip = r.srcClip;
    const TBitmap32& src = r.src;
    int px = 0, py = 0;
    r.t.MapBack256(x, y, px, py);
    const int sx = px >> FractionBits;
    const int sy = py >> FractionBits;
    const TColor32 wx = ChannelMax - static_cast<TColor32>(px & FractionMask);
    const TColor32 wy = ChannelMax - static_cast<TColor32>(py & FractionMask);
    TColor32 p00, p10, p01, p11;
    if (sx > clip.Left && sx < clip.Right - 1 && sy > clip.Top && sy < clip.Bottom - 1) {
        p00 = src.Pixel(sx, sy);
        p10 = src.Pixel(sx + 1, sy);
        p01 = src.Pixel(sx, sy + 1);
        p11 = src.Pixel(sx + 1, sy + 1);
    } else if (sx >= -1 && sy >= -1 && sx < clip.Right && sy < clip.Bottom) {
        p00 = src.PixelChecked(sx, sy);
        p10 = src.PixelChecked(sx + 1, sy);
        p01 = src.PixelChecked(sx, sy + 1);
        p11 = src.PixelChecked(sx + 1, sy + 1);
    } else {
        return;
    }
    const TBlendTable& forms = r.combine.forms();
    r.combine(forms.ColorMix(forms.ColorMix(p00, p10, wx), forms.ColorMix(p01, p11, wx), wy),
              *r.dst.PixelAddr(x, y));
}

namespace {

// The first X of [from, to] where pred holds, pred being false and then true along X; to + 1 if none.
template <class Pred>
int firstWhere(int from, int to, Pred pred) {
    int lo = from, hi = to + 1;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (pred(mid))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

struct Span {
    int first = 0, last = -1; // inclusive; empty when last < first
    Span meet(const Span& o) const { return {std::max(first, o.first), std::min(last, o.last)}; }
};

// The X of [from, to] where lo < value(X) < hi, value being monotone along X.
template <class Value>
Span between(int from, int to, Value value, std::int64_t lo, std::int64_t hi) {
    if (value(to) >= value(from))
        return {firstWhere(from, to, [&](int x) { return value(x) > lo; }),
                firstWhere(from, to, [&](int x) { return value(x) >= hi; }) - 1};
    return {firstWhere(from, to, [&](int x) { return value(x) < hi; }),
            firstWhere(from, to, [&](int x) { return value(x) <= lo; }) - 1};
}

// One destination row's 1/4096 sums along X, bias included.
struct RowSums {
    std::int64_t x = 0, y = 0, ax = 0, ay = 0;
    std::int64_t sumX(int X) const { return x + X * ax; }
    std::int64_t sumY(int X) const { return y + X * ay; }
    bool fits32(int from, int to) const {
        const auto in = [](std::int64_t v) {
            return v >= std::numeric_limits<std::int32_t>::min() &&
                   v <= std::numeric_limits<std::int32_t>::max();
        };
        return in(sumX(from)) && in(sumX(to)) && in(sumY(from)) && in(sumY(to));
    }
};

RowSums rowSums(const TAffineTransformation& t, int Y, std::int64_t bias) {
    return {std::int64_t{Y} * t.B + t.C + bias, std::int64_t{Y} * t.E + t.F + bias, t.A, t.D};
}

// The combined row: written in place when opaque, else through a row buffer.
class SpanWriter {
public:
    SpanWriter(TBitmap32& dst, const Combiner& combine, const TVectorKernels& rows)
        : dst_(dst), combine_(combine), rows_(rows), opaque_(combine.mode() == TDrawMode::dmOpaque) {}
    TColor32* target(int x, int y, int count) {
        if (opaque_)
            return dst_.PixelAddr(x, y);
        line_.resize(static_cast<std::size_t>(count));
        return line_.data();
    }
    void done(int x, int y, int count) {
        if (!opaque_)
            combine_.row(line_.data(), dst_.PixelAddr(x, y), count, rows_);
    }

private:
    TBitmap32& dst_;
    const Combiner& combine_;
    const TVectorKernels& rows_;
    bool opaque_;
    std::vector<TColor32> line_;
};

// The span of X of row y whose source pixel lies inside the source clip; empty, with every pixel done one
// by one, when the row's sums leave 32 bits.
Span nearestSpan(const AffineRun& r, const TAffineTransformation& t, const TRect& dstClip, int y) {
    const RowSums sums = rowSums(t, y, HalfBelow);
    if (!sums.fits32(dstClip.Left, dstClip.Right)) {
        for (int x = dstClip.Left; x <= dstClip.Right; ++x)
            NearestPixel(r, x, y);
        return {};
    }
    const auto sx = [&](int x) { return sums.sumX(x) >> IntShift; };
    const auto sy = [&](int x) { return sums.sumY(x) >> IntShift; };
    return between(dstClip.Left, dstClip.Right, sx, r.srcClip.Left - 1, r.srcClip.Right + 1)
        .meet(between(dstClip.Left, dstClip.Right, sy, r.srcClip.Top - 1, r.srcClip.Bottom + 1));
}

// The span of X of row y whose four source pixels lie inside the source clip (direct) within the span
// whose pixels reach the clip at all (reached; the rest is left as it is). When the row's sums leave 32
// bits, every pixel is in reached and none in direct, so that they all go one by one.
struct LinearSpans {
    Span reached, direct;
};

LinearSpans linearSpans(const AffineRun& r, const TAffineTransformation& t, const TRect& dstClip, int y) {
    const RowSums sums = rowSums(t, y, SubpixelBias);
    const int from = dstClip.Left, to = dstClip.Right;
    if (!sums.fits32(from, to))
        return {{from, to}, {to + 1, to}};
    const TRect& clip = r.srcClip;
    const auto sx = [&](int x) { return (sums.sumX(x) >> SubpixelShift) >> FractionBits; };
    const auto sy = [&](int x) { return (sums.sumY(x) >> SubpixelShift) >> FractionBits; };
    LinearSpans s;
    s.reached = between(from, to, sx, -2, clip.Right).meet(between(from, to, sy, -2, clip.Bottom));
    s.direct = between(from, to, sx, clip.Left, clip.Right - 1)
                   .meet(between(from, to, sy, clip.Top, clip.Bottom - 1));
    if (s.direct.last < s.direct.first)
        s.direct = {s.reached.last + 1, s.reached.last};
    return s;
}

// A quarter turn: source x = cx + sB * Y, source y = cy + sD * X with sB and sD 1 or -1.
bool quarterTurn(const TAffineTransformation& t) {
    constexpr int One = 1 << IntShift;
    return t.A == 0 && t.E == 0 && std::abs(t.B) == One && std::abs(t.D) == One;
}

// A stored quarter turn: the destination is the source turned over its diagonal (and flipped), so where
// a band of Block rows lies inside the source together, it is made of block transposes; the rest of each
// row goes through the span kernel.
void transformQuarterRows(const AffineRun& r, const TAffineTransformation& t, const TRect& dstClip,
                          const TVectorKernels& rows) {
    const int n = rows.Block;
    const int sB = t.B > 0 ? 1 : -1;
    const int sD = t.D > 0 ? 1 : -1;
    const auto cx = static_cast<int>((std::int64_t{t.C} + HalfBelow) >> IntShift);
    const auto cy = static_cast<int>((std::int64_t{t.F} + HalfBelow) >> IntShift);
    std::vector<Span> spans;
    std::vector<const TColor32*> from(static_cast<std::size_t>(n));
    std::vector<TColor32*> to(static_cast<std::size_t>(n)), at(static_cast<std::size_t>(n));
    const auto runSpan = [&](int y, int first, int last) {
        const int count = last - first + 1;
        if (count <= 0)
            return;
        const RowSums sums = rowSums(t, y, HalfBelow);
        rows.AffineNearest(r.src.Bits(), r.src.Width(), static_cast<std::int32_t>(sums.sumX(first)),
                           static_cast<std::int32_t>(sums.sumY(first)), t.A, t.D, r.dst.PixelAddr(first, y),
                           count);
    };
    for (int top = dstClip.Top; top <= dstClip.Bottom; top += n) {
        const int bottom = std::min(dstClip.Bottom, top + n - 1);
        spans.clear();
        Span common{dstClip.Left, dstClip.Right};
        for (int y = top; y <= bottom; ++y) {
            spans.push_back(nearestSpan(r, t, dstClip, y));
            common = common.meet(spans.back());
        }
        int done = common.first; // the blocks cover [common.first, done)
        if (bottom - top + 1 == n) {
            // The source columns of the band, lowest first, and the destination row of each.
            const int firstColumn = sB > 0 ? cx + top : cx - bottom;
            for (int k = 0; k < n; ++k)
                to[static_cast<std::size_t>(k)] = r.dst.RowAddr(sB > 0 ? top + k : bottom - k);
            for (; done + n - 1 <= common.last; done += n) {
                for (int i = 0; i < n; ++i)
                    from[static_cast<std::size_t>(i)] = r.src.RowAddr(cy + sD * (done + i)) + firstColumn;
                for (std::size_t k = 0; k < to.size(); ++k)
                    at[k] = to[k] + done;
                rows.TransposeBlock(from.data(), at.data());
            }
        }
        for (int y = top; y <= bottom; ++y) {
            const Span& span = spans[static_cast<std::size_t>(y - top)];
            if (done > common.first) {
                runSpan(y, span.first, common.first - 1);
                runSpan(y, done, span.last);
            } else {
                runSpan(y, span.first, span.last);
            }
        }
    }
}

// The linear form of a stored quarter turn: the fractions of the source position are the same for every
// pixel, so each block mixes whole source rows and turns the result over its diagonal. The pixels about
// the rows' direct spans go one by one, the rest of the spans through the span kernel.
void transformQuarterLinearRows(const AffineRun& r, const TAffineTransformation& t, const TRect& dstClip,
                                const TVectorKernels& rows) {
    const int n = rows.Block;
    const int sB = t.B > 0 ? 1 : -1;
    const int sD = t.D > 0 ? 1 : -1;
    // Source position in 1/256: sB * 256 * Y + pc across, sD * 256 * X + pf down.
    const auto pc = static_cast<int>((std::int64_t{t.C} + SubpixelBias) >> SubpixelShift);
    const auto pf = static_cast<int>((std::int64_t{t.F} + SubpixelBias) >> SubpixelShift);
    const TColor32 wx = ChannelMax - static_cast<TColor32>(pc & FractionMask);
    const TColor32 wy = ChannelMax - static_cast<TColor32>(pf & FractionMask);
    const int cx = pc >> FractionBits;
    const int cy = pf >> FractionBits;
    std::vector<Span> spans;
    std::vector<const TColor32*> top(static_cast<std::size_t>(n)), bottom(static_cast<std::size_t>(n));
    std::vector<TColor32*> to(static_cast<std::size_t>(n)), at(static_cast<std::size_t>(n));
    const auto runSpan = [&](int y, int first, int last) {
        const int count = last - first + 1;
        if (count <= 0)
            return;
        const RowSums sums = rowSums(t, y, SubpixelBias);
        rows.AffineLinear(r.src.Bits(), r.src.Width(), static_cast<std::int32_t>(sums.sumX(first)),
                          static_cast<std::int32_t>(sums.sumY(first)), t.A, t.D, r.dst.PixelAddr(first, y),
                          count);
    };
    for (int bandTop = dstClip.Top; bandTop <= dstClip.Bottom; bandTop += n) {
        const int bandBottom = std::min(dstClip.Bottom, bandTop + n - 1);
        spans.clear();
        Span common{dstClip.Left, dstClip.Right};
        for (int y = bandTop; y <= bandBottom; ++y) {
            const LinearSpans row = linearSpans(r, t, dstClip, y);
            for (int x = row.reached.first; x < row.direct.first; ++x)
                LinearPixel(r, x, y);
            for (int x = row.direct.last + 1; x <= row.reached.last; ++x)
                LinearPixel(r, x, y);
            const Span& direct = row.direct;
            spans.push_back(direct);
            common = common.meet(direct);
        }
        int done = common.first; // the blocks cover [common.first, done)
        if (bandBottom - bandTop + 1 == n) {
            const int firstColumn = sB > 0 ? cx + bandTop : cx - bandBottom;
            for (int k = 0; k < n; ++k)
                to[static_cast<std::size_t>(k)] = r.dst.RowAddr(sB > 0 ? bandTop + k : bandBottom - k);
            for (; done + n - 1 <= common.last; done += n) {
                for (int i = 0; i < n; ++i) {
                    const int row = cy + sD * (done + i);
                    top[static_cast<std::size_t>(i)] = r.src.RowAddr(row) + firstColumn;
                    bottom[static_cast<std::size_t>(i)] = r.src.RowAddr(row + 1) + firstColumn;
                }
                for (std::size_t k = 0; k < to.size(); ++k)
                    at[k] = to[k] + done;
                rows.TransposeMixBlock(top.data(), bottom.data(), wx, wy, at.data());
            }
        }
        for (int y = bandTop; y <= bandBottom; ++y) {
            const Span& span = spans[static_cast<std::size_t>(y - bandTop)];
            if (done > common.first) {
                runSpan(y, span.first, common.first - 1);
                runSpan(y, done, span.last);
            } else {
                runSpan(y, span.first, span.last);
            }
        }
    }
}

// Through the span kernel over the span of X of each row whose source pixel lies inside the source clip.
void transformNearestRows(const AffineRun& r, const TAffineTransformation& t, const TRect& dstClip,
                          const TVectorKernels& rows) {
    SpanWriter out(r.dst, r.combine, rows);
    for (int y = dstClip.Top; y <= dstClip.Bottom; ++y) {
        const Span inside = nearestSpan(r, t, dstClip, y);
        const int count = inside.last - inside.first + 1;
        if (count <= 0)
            continue;
        const RowSums sums = rowSums(t, y, HalfBelow);
        rows.AffineNearest(r.src.Bits(), r.src.Width(), static_cast<std::int32_t>(sums.sumX(inside.first)),
                           static_cast<std::int32_t>(sums.sumY(inside.first)), t.A, t.D,
                           out.target(inside.first, y, count), count);
        out.done(inside.first, y, count);
    }
}

// Through the span kernel over the span of X of each row whose four source pixels lie inside the source
// clip; the pixels about it that read the outer colour go one by one, in row order.
void transformLinearRows(const AffineRun& r, const TAffineTransformation& t, const TRect& dstClip,
                         const TVectorKernels& rows) {
    SpanWriter out(r.dst, r.combine, rows);
    for (int y = dstClip.Top; y <= dstClip.Bottom; ++y) {
        const LinearSpans spans = linearSpans(r, t, dstClip, y);
        for (int x = spans.reached.first; x < spans.direct.first; ++x)
            LinearPixel(r, x, y);
        const int count = spans.direct.last - spans.direct.first + 1;
        if (count > 0) {
            const RowSums sums = rowSums(t, y, SubpixelBias);
            rows.AffineLinear(r.src.Bits(), r.src.Width(),
                              static_cast<std::int32_t>(sums.sumX(spans.direct.first)),
                              static_cast<std::int32_t>(sums.sumY(spans.direct.first)), t.A, t.D,
                              out.target(spans.direct.first, y, count), count);
            out.done(spans.direct.first, y, count);
        }
        for (int x = spans.direct.last + 1; x <= spans.reached.last; ++x)
            LinearPixel(r, x, y);
    }
}

} // namespace

void TransformRows(const AffineRun& r, const TAffineTransformation& t, const TRect& dstClip,
                   const TVectorKernels& rows, bool nearest) {
    const bool quarter = r.combine.mode() == TDrawMode::dmOpaque && quarterTurn(t);
    if (nearest && quarter)
        transformQuarterRows(r, t, dstClip, rows);
    else if (nearest)
        transformNearestRows(r, t, dstClip, rows);
    else if (quarter)
        transformQuarterLinearRows(r, t, dstClip, rows);
    else
        transformLinearRows(r, t, dstClip, rows);
}

} // namespace g32::detail
