#include "platform/acm/lame_enc/segmented_encoder.h"

#include <lame/lame.h>

#include <algorithm>

namespace platform::acm::mp3 {

namespace {

constexpr int Channels = 2;
constexpr int Lookahead = 2;         // frames the encoder holds back before it writes one
constexpr size_t OutputSlack = 7200; // libmp3lame's worst case beyond 1.25 bytes per sample

} // namespace

struct SegmentedEncoder::Segment {
    int64_t startFrame = 0;       // the encoder's first frame in the whole stream
    int64_t joinFrom = 0;         // the first frame where the segment before may hand over
    std::vector<int16_t> samples; // interleaved, from pair startFrame * frameSamples on
    bool last = false;
    lame_global_flags* gf = nullptr;
    CodedStream coded;
    size_t fed = 0; // pairs given to the encoder
    std::future<bool> done;

    ~Segment() {
        if (done.valid())
            done.wait();
        if (gf != nullptr)
            lame_close(gf);
    }

    // Encodes pairs from samples[fed] on, and flushes when asked.
    bool feed(size_t pairs, bool flush) {
        std::vector<uint8_t> out(pairs * 5 / 4 + OutputSlack);
        if (pairs > 0) {
            const int made =
                lame_encode_buffer_interleaved(gf, samples.data() + fed * Channels, static_cast<int>(pairs),
                                               out.data(), static_cast<int>(out.size()));
            if (made < 0 || !coded.append(out.data(), static_cast<size_t>(made)))
                return false;
            fed += pairs;
        }
        if (flush) {
            const int made = lame_encode_flush(gf, out.data(), static_cast<int>(out.size()));
            if (made < 0 || !coded.append(out.data(), static_cast<size_t>(made)))
                return false;
        }
        return true;
    }
};

SegmentedEncoder::SegmentedEncoder(Factory make, Shape shape) : make_(std::move(make)), shape_(shape) {
    shape_.threads = std::max(1, shape_.threads);
}

SegmentedEncoder::~SegmentedEncoder() = default;

bool SegmentedEncoder::encode(const int16_t* samples, size_t pairs) {
    if (failed_)
        return false;
    input_.insert(input_.end(), samples, samples + pairs * Channels);
    inputEnd_ += static_cast<int64_t>(pairs);
    const int64_t n = shape_.segmentFrames, f = shape_.frameSamples;
    while (!failed_ && inputEnd_ >= ((nextSegment_ + 1) * n + shape_.overlap + Lookahead) * f) {
        if (static_cast<int>(running_.size()) >= shape_.threads && !joinOldest())
            break;
        dispatch(false);
    }
    return !failed_;
}

bool SegmentedEncoder::finish() {
    if (!failed_)
        dispatch(true);
    while (!running_.empty() && joinOldest()) {
    }
    if (!failed_ && current_ != nullptr) {
        ready_.insert(ready_.end(), current_->coded.bytes.begin(), current_->coded.bytes.end());
        current_.reset();
    }
    return !failed_;
}

size_t SegmentedEncoder::take(uint8_t* out, size_t max) {
    const size_t n = std::min(max, ready_.size());
    std::copy_n(ready_.begin(), n, out);
    ready_.erase(ready_.begin(), ready_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
}

void SegmentedEncoder::dispatch(bool last) {
    const int64_t f = shape_.frameSamples;
    auto seg = std::make_unique<Segment>();
    seg->joinFrom = nextSegment_ * shape_.segmentFrames;
    seg->startFrame = std::max<int64_t>(0, seg->joinFrom - shape_.warmUp);
    seg->last = last;
    const int64_t end =
        last ? inputEnd_
             : std::min(inputEnd_,
                        ((nextSegment_ + 1) * shape_.segmentFrames + shape_.overlap + Lookahead) * f);
    const int64_t from = seg->startFrame * f;
    seg->samples.assign(input_.begin() + (from - inputBase_) * Channels,
                        input_.begin() + (end - inputBase_) * Channels);
    seg->coded.first = seg->startFrame;
    seg->gf = make_();
    ++nextSegment_;
    // The next segment's encoder starts here: nothing before it is needed again.
    const int64_t keep =
        std::max<int64_t>(inputBase_, (nextSegment_ * shape_.segmentFrames - shape_.warmUp) * f);
    if (!last && keep <= inputEnd_) {
        input_.erase(input_.begin(), input_.begin() + (keep - inputBase_) * Channels);
        inputBase_ = keep;
    }
    if (seg->gf == nullptr) {
        failed_ = true;
        return;
    }
    Segment* s = seg.get();
    s->done = std::async(std::launch::async, [s] { return s->feed(s->samples.size() / Channels, s->last); });
    running_.push_back(std::move(seg));
}

// Feeds the earlier encoder the next frame of audio from the later segment's samples: 1 when it did,
// 0 when they hold no more, -1 when the encoder failed.
int SegmentedEncoder::extend(Segment& earlier, const Segment& later) {
    const int64_t f = shape_.frameSamples;
    const int64_t at = earlier.startFrame * f + static_cast<int64_t>(earlier.fed) - later.startFrame * f;
    const auto available = static_cast<int64_t>(later.samples.size() / Channels);
    if (at < 0 || at >= available)
        return 0;
    const int64_t pairs = std::min(f, available - at);
    // The earlier encoder has used all of its own samples: they are replaced by this piece.
    earlier.samples.assign(later.samples.begin() + at * Channels,
                           later.samples.begin() + (at + pairs) * Channels);
    const size_t before = earlier.fed;
    earlier.fed = 0;
    const bool ok = earlier.feed(static_cast<size_t>(pairs), false);
    earlier.fed = before + static_cast<size_t>(pairs);
    return ok ? 1 : -1;
}

bool SegmentedEncoder::joinOldest() {
    std::unique_ptr<Segment> seg = std::move(running_.front());
    running_.pop_front();
    if (!seg->done.get()) {
        failed_ = true;
        return false;
    }
    if (current_ == nullptr) {
        current_ = std::move(seg);
        return true;
    }
    Segment& a = *current_;
    for (int64_t n = seg->joinFrom; seg->coded.local(n) >= 0;) {
        if (a.coded.local(n) < 0) {
            const int fed = extend(a, *seg);
            if (fed < 0) {
                failed_ = true;
                return false;
            }
            if (fed == 0)
                break;
            continue;
        }
        if (auto head = headBefore(a.coded, seg->coded, n)) {
            ready_.insert(ready_.end(), head->begin(), head->end());
            seg->coded = tailFrom(seg->coded, n);
            current_ = std::move(seg);
            return true;
        }
        ++n;
    }
    // No join before the later segment's end: the earlier encoder does all of its audio instead.
    int fed = 1;
    while (fed > 0)
        fed = extend(a, *seg);
    if (fed < 0 || (seg->last && !a.feed(0, true))) {
        failed_ = true;
        return false;
    }
    a.last = seg->last;
    return true;
}

} // namespace platform::acm::mp3
