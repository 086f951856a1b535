// The affine transformation and Transform.

#include "g32/g32_blend.h"
#include "g32/g32_transforms.h"
#include "g32/transfer_combine.h"
#include "g32/vector_rows.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <numbers>

namespace g32 {

namespace {

constexpr double FixedScale = 4096.0; // the prepared inverse is in units of 1/4096
constexpr std::int64_t HalfBelow = 2047;
constexpr std::int64_t SubpixelBias = 7;
constexpr int IntShift = 12;
constexpr int SubpixelShift = 4;
constexpr int FractionBits = 8;
constexpr int FractionMask = 0xFF;
constexpr double SingularLimit = 0.00001;

using Matrix3 = float[3][3];

// Result := L x R for matrices stored as columns ([column][row]).
void multiply(const Matrix3& L, const Matrix3& R, Matrix3& out) {
    Matrix3 t;
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r)
            t[c][r] = L[0][r] * R[c][0] + L[1][r] * R[c][1] + L[2][r] * R[c][2];
    std::copy(&t[0][0], &t[0][0] + 9, &out[0][0]);
}

void identity(Matrix3& m) {
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r)
            m[c][r] = c == r ? 1.0f : 0.0f;
}

int toFixed(double v) {
    return RoundHalfEven(v * FixedScale);
}

} // namespace

void TTransformation::SetSrcRect(const TFloatRect& Value) {
    FSrcRect = Value;
    FPrepared = false;
}

void TAffineTransformation::Clear() {
    identity(Matrix);
    FPrepared = false;
}

void TAffineTransformation::Translate(float Dx, float Dy) {
    Matrix3 t;
    identity(t);
    t[2][0] = Dx;
    t[2][1] = Dy;
    multiply(t, Matrix, Matrix);
    FPrepared = false;
}

void TAffineTransformation::Rotate(float Cx, float Cy, float Alpha) {
    FPrepared = false;
    const bool aboutCentre = Cx != 0 && Cy != 0;
    if (aboutCentre)
        Translate(-Cx, -Cy);
    const double radians = static_cast<double>(Alpha) * std::numbers::pi / 180.0;
    const auto s = static_cast<float>(std::sin(radians));
    const auto c = static_cast<float>(std::cos(radians));
    Matrix3 r;
    identity(r);
    r[0][0] = c;
    r[1][0] = s;
    r[0][1] = -s;
    r[1][1] = c;
    multiply(r, Matrix, Matrix);
    if (aboutCentre)
        Translate(Cx, Cy);
}

void TAffineTransformation::Prepare() {
    double m[3][3];
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r)
            m[c][r] = Matrix[c][r];
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[2][1] * m[1][2]) -
                       m[1][0] * (m[0][1] * m[2][2] - m[2][1] * m[0][2]) +
                       m[2][0] * (m[0][1] * m[1][2] - m[1][1] * m[0][2]);
    double inv[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    if (std::fabs(det) >= SingularLimit) {
        // The adjugate (transposed cofactors) divided by the determinant, indexes as [column][row].
        for (int c = 0; c < 3; ++c)
            for (int r = 0; r < 3; ++r) {
                // Element (row r, column c) of the inverse is cofactor (row c, column r) / det.
                const int c1 = (r + 1) % 3, c2 = (r + 2) % 3;
                const int r1 = (c + 1) % 3, r2 = (c + 2) % 3;
                inv[c][r] = (m[c1][r1] * m[c2][r2] - m[c2][r1] * m[c1][r2]) / det;
            }
    }
    A = toFixed(inv[0][0]);
    B = toFixed(inv[1][0]);
    C = toFixed(inv[2][0]);
    D = toFixed(inv[0][1]);
    E = toFixed(inv[1][1]);
    F = toFixed(inv[2][1]);
    FPrepared = true;
}

void TAffineTransformation::MapBackInt(int DstX, int DstY, int& SrcX, int& SrcY) const {
    SrcX = static_cast<int>((std::int64_t{DstX} * A + std::int64_t{DstY} * B + C + HalfBelow) >> IntShift);
    SrcY = static_cast<int>((std::int64_t{DstX} * D + std::int64_t{DstY} * E + F + HalfBelow) >> IntShift);
}

void TAffineTransformation::MapBack256(int DstX, int DstY, int& SrcX, int& SrcY) const {
    SrcX = static_cast<int>((std::int64_t{DstX} * A + std::int64_t{DstY} * B + C + SubpixelBias) >>
                            SubpixelShift);
    SrcY = static_cast<int>((std::int64_t{DstX} * D + std::int64_t{DstY} * E + F + SubpixelBias) >>
                            SubpixelShift);
}

TRect TAffineTransformation::GetDestBounds() const {
    const float xs[2] = {FSrcRect.Left, FSrcRect.Right};
    const float ys[2] = {FSrcRect.Top, FSrcRect.Bottom};
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    bool first = true;
    for (float x : xs)
        for (float y : ys) {
            const double px =
                static_cast<double>(Matrix[0][0]) * x + static_cast<double>(Matrix[1][0]) * y + Matrix[2][0];
            const double py =
                static_cast<double>(Matrix[0][1]) * x + static_cast<double>(Matrix[1][1]) * y + Matrix[2][1];
            minX = first ? px : std::min(minX, px);
            maxX = first ? px : std::max(maxX, px);
            minY = first ? py : std::min(minY, py);
            maxY = first ? py : std::max(maxY, py);
            first = false;
        }
    return {RoundHalfEven(minX - 0.5), RoundHalfEven(minY - 0.5), RoundHalfEven(maxX + 0.5),
            RoundHalfEven(maxY + 0.5)};
}

namespace {

using detail::Combiner;
using detail::TVectorKernels;

struct AffineRun {
    TBitmap32& dst;
    const TBitmap32& src;
    const TTransformation& t;
    const TRect& srcClip;
    const Combiner& combine;
};

void nearestPixel(const AffineRun& r, int x, int y) {
    int sx = 0, sy = 0;
    r.t.MapBackInt(x, y, sx, sy);
    if (sx >= r.srcClip.Left && sx <= r.srcClip.Right && sy >= r.srcClip.Top && sy <= r.srcClip.Bottom)
        r.combine(r.src.Pixel(sx, sy), *r.dst.PixelAddr(x, y));
}

void linearPixel(const AffineRun& r, int x, int y) {
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

template <void (*Pixel)(const AffineRun&, int, int)>
void eachPixel(const AffineRun& r, const TRect& dstClip) {
    for (int y = dstClip.Top; y <= dstClip.Bottom; ++y)
        for (int x = dstClip.Left; x <= dstClip.Right; ++x)
            Pixel(r, x, y);
}

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

// The spans of a band of rows walked in tiles of a run of columns, so that a turned source is read while
// its lines are still cached; a custom combine sees the pixels in row order instead (one row a band).
constexpr int TileRows = 16;
constexpr int TileColumns = 64;

template <class Run>
void eachTile(int top, const std::vector<Span>& spans, Run run) {
    int first = std::numeric_limits<int>::max(), last = std::numeric_limits<int>::min();
    for (const Span& s : spans)
        if (s.first <= s.last) {
            first = std::min(first, s.first);
            last = std::max(last, s.last);
        }
    for (int left = first; left <= last; left += TileColumns)
        for (std::size_t k = 0; k < spans.size(); ++k) {
            const int from = std::max(spans[k].first, left);
            const int to = std::min(spans[k].last, left + TileColumns - 1);
            if (from <= to)
                run(top + static_cast<int>(k), from, to);
        }
}

// The span of X of row y whose source pixel lies inside the source clip; empty, with every pixel done one
// by one, when the row's sums leave 32 bits.
Span nearestSpan(const AffineRun& r, const TAffineTransformation& t, const TRect& dstClip, int y) {
    const RowSums sums = rowSums(t, y, HalfBelow);
    if (!sums.fits32(dstClip.Left, dstClip.Right)) {
        for (int x = dstClip.Left; x <= dstClip.Right; ++x)
            nearestPixel(r, x, y);
        return {};
    }
    const auto sx = [&](int x) { return sums.sumX(x) >> IntShift; };
    const auto sy = [&](int x) { return sums.sumY(x) >> IntShift; };
    return between(dstClip.Left, dstClip.Right, sx, r.srcClip.Left - 1, r.srcClip.Right + 1)
        .meet(between(dstClip.Left, dstClip.Right, sy, r.srcClip.Top - 1, r.srcClip.Bottom + 1));
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
    const TRect& clip = r.srcClip;
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
            const RowSums sums = rowSums(t, y, SubpixelBias);
            Span direct;
            if (!sums.fits32(dstClip.Left, dstClip.Right)) {
                for (int x = dstClip.Left; x <= dstClip.Right; ++x)
                    linearPixel(r, x, y);
            } else {
                const auto sx = [&](int x) { return (sums.sumX(x) >> SubpixelShift) >> FractionBits; };
                const auto sy = [&](int x) { return (sums.sumY(x) >> SubpixelShift) >> FractionBits; };
                const int from = dstClip.Left, last = dstClip.Right;
                const Span reached =
                    between(from, last, sx, -2, clip.Right).meet(between(from, last, sy, -2, clip.Bottom));
                direct = between(from, last, sx, clip.Left, clip.Right - 1)
                             .meet(between(from, last, sy, clip.Top, clip.Bottom - 1));
                if (direct.last < direct.first)
                    direct = {reached.last + 1, reached.last};
                for (int x = reached.first; x < direct.first; ++x)
                    linearPixel(r, x, y);
                for (int x = direct.last + 1; x <= reached.last; ++x)
                    linearPixel(r, x, y);
            }
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

// Through the row kernels over the span of X of each row whose source pixel lies inside the source clip.
void transformNearestRows(const AffineRun& r, const TAffineTransformation& t, const TRect& dstClip,
                          const TVectorKernels& rows) {
    SpanWriter out(r.dst, r.combine, rows);
    const int bandRows = r.combine.mode() == TDrawMode::dmCustom ? 1 : TileRows;
    std::vector<Span> spans;
    for (int top = dstClip.Top; top <= dstClip.Bottom; top += bandRows) {
        const int bottom = std::min(dstClip.Bottom, top + bandRows - 1);
        spans.clear();
        for (int y = top; y <= bottom; ++y) {
            const RowSums sums = rowSums(t, y, HalfBelow);
            if (!sums.fits32(dstClip.Left, dstClip.Right)) {
                for (int x = dstClip.Left; x <= dstClip.Right; ++x)
                    nearestPixel(r, x, y);
                spans.push_back({});
                continue;
            }
            const auto sx = [&](int x) { return sums.sumX(x) >> IntShift; };
            const auto sy = [&](int x) { return sums.sumY(x) >> IntShift; };
            spans.push_back(
                between(dstClip.Left, dstClip.Right, sx, r.srcClip.Left - 1, r.srcClip.Right + 1)
                    .meet(between(dstClip.Left, dstClip.Right, sy, r.srcClip.Top - 1, r.srcClip.Bottom + 1)));
        }
        eachTile(top, spans, [&](int y, int from, int to) {
            const RowSums sums = rowSums(t, y, HalfBelow);
            const int count = to - from + 1;
            rows.AffineNearest(r.src.Bits(), r.src.Width(), static_cast<std::int32_t>(sums.sumX(from)),
                               static_cast<std::int32_t>(sums.sumY(from)), t.A, t.D,
                               out.target(from, y, count), count);
            out.done(from, y, count);
        });
    }
}

// Through the row kernels over the span of X of each row whose four source pixels lie inside the source
// clip; the pixels about it that read the outer colour go one by one. The spans are walked in tiles of a
// band of rows by a run of columns, so that a turned source is read while its lines are still cached;
// a custom combine sees the pixels in row order instead.
void transformLinearRows(const AffineRun& r, const TAffineTransformation& t, const TRect& dstClip,
                         const TVectorKernels& rows) {
    const bool inOrder = r.combine.mode() == TDrawMode::dmCustom;
    const int bandRows = inOrder ? 1 : TileRows;
    SpanWriter out(r.dst, r.combine, rows);
    const TRect& clip = r.srcClip;
    struct RowSpan {
        RowSums sums;
        Span reached, direct;
    };
    std::vector<RowSpan> band;
    const auto runSpan = [&](const RowSpan& row, int y, int first, int last) {
        const int count = last - first + 1;
        if (count <= 0)
            return;
        rows.AffineLinear(r.src.Bits(), r.src.Width(), static_cast<std::int32_t>(row.sums.sumX(first)),
                          static_cast<std::int32_t>(row.sums.sumY(first)), t.A, t.D,
                          out.target(first, y, count), count);
        out.done(first, y, count);
    };
    const auto leftOf = [&](const RowSpan& row, int y) {
        for (int x = row.reached.first; x < row.direct.first; ++x)
            linearPixel(r, x, y);
    };
    const auto rightOf = [&](const RowSpan& row, int y) {
        for (int x = row.direct.last + 1; x <= row.reached.last; ++x)
            linearPixel(r, x, y);
    };
    for (int top = dstClip.Top; top <= dstClip.Bottom; top += bandRows) {
        const int bottom = std::min(dstClip.Bottom, top + bandRows - 1);
        band.clear();
        int first = dstClip.Right + 1, last = dstClip.Left - 1;
        for (int y = top; y <= bottom; ++y) {
            RowSpan row{rowSums(t, y, SubpixelBias), {}, {}};
            if (!row.sums.fits32(dstClip.Left, dstClip.Right)) {
                row.reached = {dstClip.Left, dstClip.Right};
                row.direct = {dstClip.Right + 1, dstClip.Right}; // every pixel one by one
            } else {
                const RowSums& sums = row.sums;
                const auto sx = [&](int x) { return (sums.sumX(x) >> SubpixelShift) >> FractionBits; };
                const auto sy = [&](int x) { return (sums.sumY(x) >> SubpixelShift) >> FractionBits; };
                const int from = dstClip.Left, to = dstClip.Right;
                row.reached =
                    between(from, to, sx, -2, clip.Right).meet(between(from, to, sy, -2, clip.Bottom));
                row.direct = between(from, to, sx, clip.Left, clip.Right - 1)
                                 .meet(between(from, to, sy, clip.Top, clip.Bottom - 1));
                if (row.direct.last < row.direct.first)
                    row.direct = {row.reached.last + 1, row.reached.last};
            }
            band.push_back(row);
            first = std::min(first, row.direct.first);
            last = std::max(last, row.direct.last);
        }
        if (inOrder) {
            leftOf(band[0], top);
            runSpan(band[0], top, band[0].direct.first, band[0].direct.last);
            rightOf(band[0], top);
            continue;
        }
        for (int y = top; y <= bottom; ++y) {
            leftOf(band[static_cast<std::size_t>(y - top)], y);
            rightOf(band[static_cast<std::size_t>(y - top)], y);
        }
        for (int left = first; left <= last; left += TileColumns)
            for (int y = top; y <= bottom; ++y) {
                const RowSpan& row = band[static_cast<std::size_t>(y - top)];
                runSpan(row, y, std::max(row.direct.first, left),
                        std::min(row.direct.last, left + TileColumns - 1));
            }
    }
}

} // namespace

void Transform(TBitmap32* Dst, TBitmap32* Src, TTransformation* Transformation) {
    if (!Dst || !Src || !Transformation)
        return;
    if (!Transformation->Prepared())
        Transformation->Prepare();
    const Combiner combine(Src->DrawMode(), Src->MasterAlpha(), Src->OnPixelCombine, false);

    TRect srcClip;
    IntersectRect(srcClip, MakeRect(Transformation->SrcRect(), TRectRounding::rrClosest),
                  MakeRect(0, 0, Src->Width() - 1, Src->Height() - 1));
    TRect dstClip;
    IntersectRect(dstClip, Transformation->GetDestBounds(),
                  MakeRect(0, 0, Dst->Width() - 1, Dst->Height() - 1));
    if (IsRectEmpty(dstClip))
        return;
    {
        const detail::EndMmxScope endMmx;
        // An empty source has nothing to read (its clip would otherwise collapse onto (0, 0)).
        if (!Src->Empty()) {
            const AffineRun run{*Dst, *Src, *Transformation, srcClip, combine};
            const bool nearest = Src->StretchFilter() == TStretchFilter::sfNearest;
            // The row kernels know the affine sums and read a span before writing it: only between two
            // bitmaps, and only where a bitmap's pixel index fits 32 bits.
            const auto* affine = dynamic_cast<const TAffineTransformation*>(Transformation);
            const TVectorKernels* rows =
                affine && Dst->Bits() != Src->Bits() &&
                        std::int64_t{Src->Width()} * Src->Height() < std::numeric_limits<std::int32_t>::max()
                    ? detail::ActiveVectorKernels()
                    : nullptr;
            if (rows && nearest && combine.mode() == TDrawMode::dmOpaque && quarterTurn(*affine))
                transformQuarterRows(run, *affine, dstClip, *rows);
            else if (rows && nearest)
                transformNearestRows(run, *affine, dstClip, *rows);
            else if (rows && combine.mode() == TDrawMode::dmOpaque && quarterTurn(*affine))
                transformQuarterLinearRows(run, *affine, dstClip, *rows);
            else if (rows)
                transformLinearRows(run, *affine, dstClip, *rows);
            else if (nearest)
                eachPixel<nearestPixel>(run, dstClip);
            else
                eachPixel<linearPixel>(run, dstClip);
        }
    }
    Dst->Changed();
}

} // namespace g32
