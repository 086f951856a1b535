// Row blending, stretching and affine transforms of the bitmap library, each through its per-pixel
// paths and through the row kernels. The paths:
//   plain    the plain forms, pixel by pixel (the reference of the ratios)
//   lanes    the MMX formulas in scalar lanes, pixel by pixel
//   mmx      the MMX formulas one pixel per SSE2 call, pixel by pixel (for the row slots, a loop over the
//            one-pixel slots, since the MMX table's row slots are the row kernels)
//   sse2     the row kernels, four pixels per instruction
//   avx2     the row kernels, eight pixels per instruction (where the processor has AVX2)
// After the benchmarks a table gives each operation's time per path and plain / fastest row kernel
// (the goal is at least 4), with mmx / fastest beside it. With --benchmark_repetitions=N the medians
// are compared.

#include "g32/blend_forms.h"
#include "g32/g32_transforms.h"
#include "g32/vector_rows.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace g32;
using detail::TVectorLevel;

constexpr double Goal = 4.0;
constexpr int RowPixels = 4096;

struct Path {
    const char* name;
    const TBlendTable* forms;
    TVectorLevel level;
};

const std::vector<Path>& paths() {
    static const std::vector<Path> all = [] {
        std::vector<Path> p = {{"plain", &PlainBlendTable(), TVectorLevel::None},
                               {"lanes", &detail::MmxScalarForms(), TVectorLevel::None},
                               {"mmx", &MmxBlendTable(), TVectorLevel::None}};
        if (detail::VectorKernels(TVectorLevel::SSE2))
            p.push_back({"sse2", &MmxBlendTable(), TVectorLevel::SSE2});
        if (detail::VectorKernels(TVectorLevel::AVX2))
            p.push_back({"avx2", &MmxBlendTable(), TVectorLevel::AVX2});
        return p;
    }();
    return all;
}

bool vectorPath(const Path& p) {
    return p.level != TVectorLevel::None;
}

class PathScope {
public:
    explicit PathScope(const Path& p) : saved_(detail::TransferPath()) {
        detail::TransferPath() = {p.forms, p.level};
    }
    ~PathScope() { detail::TransferPath() = saved_; }
    PathScope(const PathScope&) = delete;
    PathScope& operator=(const PathScope&) = delete;

private:
    detail::TTransferPath saved_;
};

std::vector<TColor32> randomRow(unsigned seed, int n) {
    std::mt19937 rng(seed);
    std::vector<TColor32> row(static_cast<std::size_t>(n));
    for (TColor32& c : row)
        c = rng();
    return row;
}

void randomBitmap(TBitmap32& b, int w, int h, unsigned seed) {
    b.SetSize(w, h);
    std::mt19937 rng(seed);
    for (int i = 0; i < w * h; ++i)
        b.Bits()[i] = rng();
}

// The row slots and the constant-weight mix of a row.
void rowOver(benchmark::State& state, Path p) {
    const std::vector<TColor32> src = randomRow(1, RowPixels);
    const std::vector<TColor32> back = randomRow(2, RowPixels);
    std::vector<TColor32> dst = back;
    const TBlendLine over = vectorPath(p) ? detail::VectorKernels(p.level)->RowOver : p.forms->RowOver;
    for (auto _ : state) {
        if (p.forms == &MmxBlendTable() && !vectorPath(p)) {
            for (int i = 0; i < RowPixels; ++i) // the MMX table's row slot is a row kernel itself
                p.forms->ColorOverInto(src[i], dst[i]);
        } else {
            over(src.data(), dst.data(), RowPixels);
        }
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetItemsProcessed(state.iterations() * RowPixels);
}

void rowOverScaled(benchmark::State& state, Path p) {
    const std::vector<TColor32> src = randomRow(3, RowPixels);
    std::vector<TColor32> dst = randomRow(4, RowPixels);
    const TBlendLineEx over =
        vectorPath(p) ? detail::VectorKernels(p.level)->RowOverScaled : p.forms->RowOverScaled;
    for (auto _ : state) {
        if (p.forms == &MmxBlendTable() && !vectorPath(p)) {
            for (int i = 0; i < RowPixels; ++i)
                p.forms->ColorOverScaledInto(src[i], dst[i], 160);
        } else {
            over(src.data(), dst.data(), RowPixels, 160);
        }
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetItemsProcessed(state.iterations() * RowPixels);
}

void rowMix(benchmark::State& state, Path p) {
    const std::vector<TColor32> f = randomRow(5, RowPixels);
    const std::vector<TColor32> b = randomRow(6, RowPixels);
    std::vector<TColor32> out(RowPixels);
    for (auto _ : state) {
        if (vectorPath(p)) {
            detail::VectorKernels(p.level)->RowMix(f.data(), b.data(), out.data(), RowPixels, 77);
        } else {
            for (int i = 0; i < RowPixels; ++i)
                out[static_cast<std::size_t>(i)] = p.forms->ColorMix(f[i], b[i], 77);
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * RowPixels);
}

struct StretchCase {
    int sw, sh, dw, dh;
    TStretchFilter filter;
    TDrawMode mode;
};

void stretch(benchmark::State& state, Path p, StretchCase c) {
    TBitmap32 src, dst;
    randomBitmap(src, c.sw, c.sh, 7);
    randomBitmap(dst, c.dw, c.dh, 8);
    const PathScope scope(p);
    for (auto _ : state) {
        StretchBlock(&dst, MakeRect(0, 0, c.dw, c.dh), &src, MakeRect(0, 0, c.sw, c.sh), c.filter, c.mode,
                     {});
        benchmark::DoNotOptimize(dst.Bits());
    }
    state.SetItemsProcessed(state.iterations() * c.dw * c.dh);
}

struct TransformCase {
    float angle;
    TStretchFilter filter;
    TDrawMode mode;
};

void transform(benchmark::State& state, Path p, TransformCase c) {
    constexpr int Side = 512;
    TBitmap32 src, dst;
    randomBitmap(src, Side, Side, 9);
    randomBitmap(dst, Side, Side, 10);
    src.SetStretchFilter(c.filter);
    src.SetDrawMode(c.mode);
    TAffineTransformation t;
    t.SetSrcRect(TFloatRect{0, 0, Side, Side});
    t.Rotate(Side / 2.0f, Side / 2.0f, c.angle);
    const PathScope scope(p);
    for (auto _ : state) {
        Transform(&dst, &src, &t);
        benchmark::DoNotOptimize(dst.Bits());
    }
    state.SetItemsProcessed(state.iterations() * Side * Side);
}

void registerAll() {
    const auto each = [](const std::string& op, auto&& fn) {
        for (const Path& p : paths())
            benchmark::RegisterBenchmark((op + "/" + p.name).c_str(),
                                         [fn, p](benchmark::State& s) { fn(s, p); });
    };
    each("RowOver", rowOver);
    each("RowOverScaled", rowOverScaled);
    each("RowMix", rowMix);
    const std::pair<const char*, StretchCase> stretches[] = {
        {"StretchLinearUp", {640, 480, 1024, 768, TStretchFilter::sfLinear, TDrawMode::dmOpaque}},
        {"StretchLinearDown", {1024, 768, 400, 300, TStretchFilter::sfLinear, TDrawMode::dmOpaque}},
        {"StretchLinearBlend", {640, 480, 1024, 768, TStretchFilter::sfLinear, TDrawMode::dmBlend}},
        {"StretchNearestUp", {640, 480, 1024, 768, TStretchFilter::sfNearest, TDrawMode::dmOpaque}},
        {"StretchNearestBlend", {640, 480, 1024, 768, TStretchFilter::sfNearest, TDrawMode::dmBlend}},
        {"StretchSplineUp", {320, 240, 640, 480, TStretchFilter::sfSpline, TDrawMode::dmOpaque}},
        {"StretchLinear2Down", {1024, 768, 400, 300, TStretchFilter::sfLinear2, TDrawMode::dmOpaque}},
    };
    for (const auto& entry : stretches) {
        const StretchCase c = entry.second;
        each(entry.first, [c](benchmark::State& s, Path p) { stretch(s, p, c); });
    }
    const std::pair<const char*, TransformCase> transforms[] = {
        {"Rotate270Nearest", {270, TStretchFilter::sfNearest, TDrawMode::dmOpaque}},
        {"Rotate270Linear", {270, TStretchFilter::sfLinear, TDrawMode::dmOpaque}},
        {"Rotate30Linear", {30, TStretchFilter::sfLinear, TDrawMode::dmOpaque}},
        {"Rotate30LinearBlend", {30, TStretchFilter::sfLinear, TDrawMode::dmBlend}},
        {"Rotate30Nearest", {30, TStretchFilter::sfNearest, TDrawMode::dmOpaque}},
    };
    for (const auto& entry : transforms) {
        const TransformCase c = entry.second;
        each(entry.first, [c](benchmark::State& s, Path p) { transform(s, p, c); });
    }
}

// Keeps each run's time per iteration (the median when repeated) for the table.
class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            const std::string name = r.run_name.function_name;
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median")
                continue;
            const auto slash = name.find('/');
            const double ns = r.GetAdjustedRealTime();
            if (r.run_type == Run::RT_Aggregate ||
                !times_[name.substr(0, slash)].count(name.substr(slash + 1)))
                times_[name.substr(0, slash)][name.substr(slash + 1)] = ns;
            if (std::find(order_.begin(), order_.end(), name.substr(0, slash)) == order_.end())
                order_.push_back(name.substr(0, slash));
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-22s", "operation (us)");
        for (const Path& p : paths())
            std::printf("%10s", p.name);
        std::printf("%12s%12s\n", "plain/best", "mmx/best");
        bool met = true;
        for (const std::string& op : order_) {
            std::map<std::string, double>& t = times_[op];
            std::printf("%-22s", op.c_str());
            double best = 0;
            for (const Path& p : paths()) {
                std::printf("%10.1f", t[p.name] / 1000.0);
                if (vectorPath(p) && (best == 0 || t[p.name] < best))
                    best = t[p.name];
            }
            const double ratio = best > 0 ? t["plain"] / best : 0;
            met = met && ratio >= Goal;
            std::printf("%11.2fx%11.2fx\n", ratio, best > 0 ? t["mmx"] / best : 0);
        }
        std::printf("goal: at least %.0fx against the plain path: %s\n", Goal, met ? "met" : "missed");
    }

private:
    std::map<std::string, std::map<std::string, double>> times_;
    std::vector<std::string> order_;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    registerAll();
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
