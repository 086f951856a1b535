// Seeking by time: the pack of a time is found from the time stamps read near a guess, since the byte
// rate of a program stream varies with what its pictures show.

#include "platform/dshow/filters/ps_parser.h"

#include <algorithm>

namespace platform::dshow::filters {

namespace {

constexpr int64_t kPtsClock = 90'000;
// Once the two packs of known time lie this close, the packs between them are read one by one.
constexpr int64_t kScanSpan = 256 * 1024;
// Guesses before the search gives up narrowing (each halves the span at worst, so a title of any
// real size is narrowed long before).
constexpr int kMaxProbes = 48;
// After this many guesses that moved the same end, the next one halves the span: a guess from the
// straight line between the ends creeps when the byte rate changes sharply between them.
constexpr int kSameSideBeforeHalving = 2;

// Pictures are stamped in display order, a few frames off their order in the stream: a stamp this far
// outside the two known ones means that the stamps restart, not that pictures were reordered.
constexpr int64_t kReorderSlack = kPtsClock;

bool sameKind(const ParserOutput& output, const ElementaryUnit& unit) {
    return output.format.kind == unit.kind;
}

// LPCM samples come in blocks: one sample of every channel at 16 bits, two at 20 and 24 bits.
struct LpcmBlock {
    size_t bytes = 0;
    int samples = 0;
};

LpcmBlock lpcmBlock(const LpcmFormat& format) {
    const auto channels = static_cast<size_t>(std::max(format.channels, 1));
    if (format.bitsPerSample == 16)
        return {channels * 2, 1};
    return {channels * static_cast<size_t>(format.bitsPerSample) / 4, 2};
}

int64_t floorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

} // namespace

std::optional<ProgramStreamParser::Stamp> ProgramStreamParser::probeStamp(int64_t offset, size_t output) {
    window_.seek(offset);
    needPack_ = true;
    const int64_t end = offset + options_.probeBytes;
    while (window_.position() < end) {
        ElementaryUnit unit;
        int64_t position = 0;
        int64_t skipped = 0;
        const Step step = readUnit(unit, position, skipped);
        if (step == Step::End || step == Step::Error)
            return std::nullopt;
        if (step == Step::Unit && unit.pts && outputById_[unit.id] == static_cast<int>(output) &&
            sameKind(outputs_[output], unit))
            return Stamp{packStart_, *unit.pts};
    }
    return std::nullopt;
}

std::optional<ProgramStreamParser::Stamp> ProgramStreamParser::lastStamp(size_t output) {
    const auto size = source_.length();
    if (!size)
        return std::nullopt;
    window_.seek(std::max<int64_t>(*size - options_.tailScan, 0));
    needPack_ = true;
    std::optional<Stamp> last;
    for (;;) {
        ElementaryUnit unit;
        int64_t position = 0;
        int64_t skipped = 0;
        const Step step = readUnit(unit, position, skipped);
        if (step == Step::End || step == Step::Error)
            return last;
        if (step == Step::Unit && unit.pts && outputById_[unit.id] == static_cast<int>(output) &&
            sameKind(outputs_[output], unit))
            last = Stamp{packStart_, *unit.pts};
    }
}

ProgramStreamParser::Stamp ProgramStreamParser::scanToTime(Stamp from, int64_t pts, size_t output,
                                                           int64_t end) {
    Stamp best = from;
    window_.seek(from.pack);
    needPack_ = true;
    while (window_.position() < end) {
        ElementaryUnit unit;
        int64_t position = 0;
        int64_t skipped = 0;
        const Step step = readUnit(unit, position, skipped);
        if (step == Step::End || step == Step::Error)
            break;
        if (step != Step::Unit || !unit.pts || outputById_[unit.id] != static_cast<int>(output) ||
            !sameKind(outputs_[output], unit))
            continue;
        if (*unit.pts > pts)
            break;
        if (*unit.pts >= best.pts)
            best = Stamp{packStart_, *unit.pts};
    }
    return best;
}

std::optional<int64_t> ProgramStreamParser::seekTime(int64_t pts, size_t reference) {
    const auto size = source_.length();
    if (!size || reference >= outputs_.size())
        return std::nullopt;
    const int64_t savedPosition = window_.position();
    const bool savedNeedPack = needPack_;
    const bool savedDamage = damaged_;
    const auto restore = [&] {
        window_.seek(savedPosition);
        needPack_ = savedNeedPack;
        damaged_ = savedDamage;
        return std::nullopt;
    };
    const auto first = probeStamp(0, reference);
    const auto last = lastStamp(reference);
    if (!first || !last || last->pack <= first->pack || last->pts <= first->pts)
        return restore();

    Stamp landed;
    if (pts <= first->pts) {
        landed = *first;
    } else if (pts >= last->pts) {
        landed = *last;
    } else {
        // lo is a stamped pack at or before the time; no stamp of the output lies in [hi.pack, the
        // pack of the first stamp after lo) other than one later than the time.
        Stamp lo = *first;
        Stamp hi = *last;
        int sameSide = 0;
        int lastSide = 0;
        for (int probe = 0; probe < kMaxProbes && hi.pack - lo.pack > kScanSpan; ++probe) {
            const int64_t span = hi.pack - lo.pack;
            int64_t guess = lo.pack + span / 2;
            if (sameSide < kSameSideBeforeHalving && hi.pts > lo.pts)
                guess = lo.pack + static_cast<int64_t>(static_cast<long double>(span) * (pts - lo.pts) /
                                                       (hi.pts - lo.pts));
            guess = std::clamp(guess, lo.pack + 1, hi.pack - 1);
            const auto found = probeStamp(guess, reference);
            int side = 1; // which end moved: -1 the low end, 1 the high end
            if (!found || found->pack >= hi.pack) {
                hi.pack = guess; // nothing of the output between the guess and the high end
            } else if (found->pts < lo.pts - kReorderSlack || found->pts > hi.pts + kReorderSlack) {
                return restore(); // the stamps do not rise with the bytes here
            } else if (found->pts <= pts) {
                lo = *found;
                side = -1;
            } else {
                hi = *found;
            }
            sameSide = side == lastSide ? sameSide + 1 : 0;
            lastSide = side;
        }
        landed = scanToTime(lo, pts, reference, hi.pack + options_.probeBytes);
    }
    seek(landed.pack);
    damaged_ = savedDamage;
    // Past the last stamp the last packets come whole: there is no frame to start at.
    if (pts >= last->pts)
        return landed.pts;
    trimTime_ = pts;
    trimFrom_ = landed.pack;
    for (size_t i = 0; i < outputs_.size(); ++i)
        trimPending_[i] =
            outputs_[i].format.kind == StreamKind::Ac3 || outputs_[i].format.kind == StreamKind::Lpcm;
    return landed.pts;
}

bool ProgramStreamParser::trimToTime(ElementaryUnit& unit, const StreamFormat& format) const {
    if (!trimTime_)
        return true;
    // A packet without a time stamp holds the rest of a frame begun before; such packets are passed
    // over for a while, then kept, so that a stream without stamps is not lost after a seek.
    if (!unit.pts)
        return window_.position() - trimFrom_ > options_.probeBytes;
    if (!unit.firstFrame)
        return true;
    const int64_t target = *trimTime_;
    const size_t first = *unit.firstFrame;
    if (format.kind == StreamKind::Lpcm) {
        const LpcmBlock block = lpcmBlock(format.lpcm);
        const int64_t rate = std::max(format.lpcm.sampleRate, 1);
        const auto blockBytes = static_cast<int64_t>(block.bytes);
        const int64_t samples = floorDiv((target - *unit.pts) * rate, kPtsClock);
        // Leading samples may be kept when the packet starts after the time, back to the packet's start.
        const int64_t blocks =
            std::max(floorDiv(samples, block.samples), -static_cast<int64_t>(first) / blockBytes);
        const int64_t cut = static_cast<int64_t>(first) + blocks * blockBytes;
        if (cut >= static_cast<int64_t>(unit.payload.size()))
            return false;
        unit.payload = unit.payload.subspan(static_cast<size_t>(cut));
        unit.pts = *unit.pts + floorDiv(blocks * block.samples * kPtsClock, rate);
        return true;
    }
    // AC3: from the first frame, on to the one whose time span holds the time.
    size_t at = first;
    int64_t frames = 0;
    int rate = 0;
    for (;;) {
        const auto frame = ac3Frame(unit.payload.subspan(at));
        if (!frame)
            break;
        rate = frame->sampleRate;
        const int64_t nextTime = *unit.pts + (frames + 1) * kAc3FrameSamples * kPtsClock / rate;
        if (nextTime > target)
            break;
        if (at + frame->size >= unit.payload.size())
            return false; // the frame that holds the time begins in a later packet
        at += frame->size;
        ++frames;
    }
    unit.payload = unit.payload.subspan(at);
    if (rate > 0)
        unit.pts = *unit.pts + frames * kAc3FrameSamples * kPtsClock / rate;
    return true;
}

} // namespace platform::dshow::filters
