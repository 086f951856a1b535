// The weight lists of the filtered stretches (sfLinear2, sfSpline).

#include "g32/g32_lowlevel.h"
#include "g32/g32_rects.h"
#include "g32/g32_transforms.h"

#include <cmath>

namespace g32 {

namespace {

constexpr float SplineReach = 1.5f;
constexpr float DefaultReach = 1.001f;
constexpr double ReductionUnit = 255.0;   // a reduction's weights add up to about this
constexpr double EnlargementUnit = 256.0; // an enlargement's weights add up to about this

double boxKernel(double x) {
    return (x > -0.5 && x <= 0.5) ? 1.0 : 0.0;
}

double tentKernel(double x) {
    if (x >= -1.0 && x < 0.0)
        return 1.0 + x;
    if (x >= 0.0 && x < 1.0)
        return 1.0 - x;
    return 0.0;
}

double splineKernel(double x) {
    const double a = std::fabs(x);
    if (a < 1.0)
        return 0.5 * a * a * a - x * x + 2.0 / 3.0;
    if (a < 2.0) {
        const double t = 2.0 - a;
        return t * t * t / 6.0;
    }
    return 0.0;
}

double kernel(TStretchFilter filter, double x) {
    switch (filter) {
    case TStretchFilter::sfNearest:
        return boxKernel(x);
    case TStretchFilter::sfSpline:
        return splineKernel(x);
    case TStretchFilter::sfLinear:
    case TStretchFilter::sfLinear2:
    default:
        return tentKernel(x);
    }
}

TMappingList reductionList(TStretchFilter filter, float centre, float reach, float scale, int srcSize) {
    TMappingList list;
    double total = 0;
    const auto first = static_cast<int>(std::floor(centre - reach));
    const auto last = static_cast<int>(std::ceil(centre + reach));
    for (int k = first; k <= last; ++k) {
        const int w =
            RoundHalfEven(kernel(filter, (centre - k) * static_cast<double>(scale)) * ReductionUnit * scale);
        if (w != 0) {
            list.push_back({ClampInt(k, 0, srcSize - 1), w});
            total += w / ReductionUnit;
        }
    }
    if (total <= 0) {
        // A reduction so strong that every weight rounds to 0: the nearest source pixel stands alone.
        return {{ClampInt(static_cast<int>(std::floor(centre)), 0, srcSize - 1),
                 static_cast<int>(ReductionUnit)}};
    }
    if (total != 1.0) {
        for (TPointRec& p : list)
            p.Weight = RoundHalfEven(p.Weight / total);
    }
    return list;
}

TMappingList enlargementList(TStretchFilter filter, float centre, float reach, int srcSize) {
    TMappingList list;
    const auto first = static_cast<int>(std::floor(centre - reach));
    const auto last = static_cast<int>(std::ceil(centre + reach));
    for (int k = first; k <= last; ++k) {
        const int w = RoundHalfEven(kernel(filter, centre - static_cast<double>(k)) * EnlargementUnit);
        if (w != 0)
            list.push_back({ClampInt(k, 0, srcSize - 1), w});
    }
    return list;
}

} // namespace

std::vector<TMappingList> BuildMappingTable(int DstSize, int SrcSize, int SrcLo, int SrcHi,
                                            TStretchFilter Filter, int From, int To) {
    std::vector<TMappingList> table;
    if (SrcSize <= 0 || To <= From)
        return table;
    table.resize(static_cast<std::size_t>(To - From));
    if (DstSize <= 1 || SrcHi <= SrcLo)
        return table;
    if (SrcHi - SrcLo == 1) {
        // A single source index: every destination index takes it whole.
        for (TMappingList& list : table)
            list = {{ClampInt(SrcLo, 0, SrcSize - 1), static_cast<int>(EnlargementUnit)}};
        return table;
    }
    const float scale = static_cast<float>(DstSize - 1) / static_cast<float>(SrcHi - SrcLo - 1);
    const float baseReach = Filter == TStretchFilter::sfSpline ? SplineReach : DefaultReach;
    const float step = 1.0f / scale;
    for (int j = From; j < To; ++j) {
        const float centre = static_cast<float>(j) * step + static_cast<float>(SrcLo);
        TMappingList& list = table[static_cast<std::size_t>(j - From)];
        if (scale < 1.0f)
            list = reductionList(Filter, centre, baseReach * step, scale, SrcSize);
        else
            list = enlargementList(Filter, centre, 1.0f / baseReach, SrcSize);
    }
    return table;
}

} // namespace g32
