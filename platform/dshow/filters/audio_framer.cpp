#include "platform/dshow/filters/audio_framer.h"

#include <algorithm>

namespace platform::dshow::filters {

namespace {

constexpr int64_t kPtsClock = 90'000;
constexpr size_t kAc3HeaderSize = 5;
constexpr size_t kMpegHeaderSize = 4;

} // namespace

int64_t ac3FramePts(int sampleRate) {
    return sampleRate > 0 ? kAc3FrameSamples * kPtsClock / sampleRate : 0;
}

size_t AudioFramer::headerSize() const {
    return mpeg_ ? kMpegHeaderSize : kAc3HeaderSize;
}

bool AudioFramer::syncBegins(uint8_t byte) const {
    return byte == (mpeg_ ? 0xFF : 0x0B);
}

bool AudioFramer::syncAt(std::span<const uint8_t> bytes, size_t i) const {
    if (i + 1 >= bytes.size())
        return false;
    return mpeg_ ? bytes[i] == 0xFF && (bytes[i + 1] & 0xE0) == 0xE0
                 : bytes[i] == 0x0B && bytes[i + 1] == 0x77;
}

std::optional<AudioFramer::Header> AudioFramer::header(std::span<const uint8_t> bytes) const {
    if (mpeg_) {
        const auto frame = mpegAudioFrame(bytes);
        if (!frame)
            return std::nullopt;
        return Header{frame->size, frame->sampleRate, frame->samples};
    }
    const auto frame = ac3Frame(bytes);
    if (!frame)
        return std::nullopt;
    return Header{frame->size, frame->sampleRate, kAc3FrameSamples};
}

void AudioFramer::reset() {
    held_.clear();
    heldPts_.reset();
    nextPts_.reset();
}

void AudioFramer::putFrame(std::vector<uint8_t> bytes, std::optional<int64_t> pts, const Header& frame,
                           int64_t tag, std::vector<TimedAudioFrame>& out) {
    if (!pts)
        pts = nextPts_;
    if (pts && frame.sampleRate > 0)
        nextPts_ = *pts + frame.samples * kPtsClock / frame.sampleRate;
    out.push_back({std::move(bytes), pts, frame.sampleRate, tag, frame.samples});
}

void AudioFramer::push(std::span<const uint8_t> payload, std::optional<int64_t> pts,
                       std::vector<TimedAudioFrame>& out, int64_t tag) {
    size_t i = 0;
    if (!held_.empty()) {
        // Complete the header first, then the frame it announces.
        if (held_.size() < headerSize()) {
            const size_t take = std::min(headerSize() - held_.size(), payload.size());
            held_.insert(held_.end(), payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(take));
            i = take;
        }
        const auto frame = held_.size() >= headerSize() ? header(held_) : std::nullopt;
        if (held_.size() >= headerSize() && !frame) {
            skipped_ += static_cast<int64_t>(held_.size());
            held_.clear();
        } else if (frame) {
            const size_t need = frame->size - std::min(frame->size, held_.size());
            const size_t take = std::min(need, payload.size() - i);
            // A frame whose rest is not followed by the next frame's sync lost bytes on the way (the
            // packets between were damaged): it is dropped rather than decoded from foreign bytes.
            const bool whole = take == need;
            const bool followed =
                i + take >= payload.size() || syncAt(payload, i + take) || i + take + 1 >= payload.size();
            if (whole && !followed) {
                skipped_ += static_cast<int64_t>(held_.size());
                held_.clear();
                heldPts_.reset();
            } else {
                held_.insert(held_.end(), payload.begin() + static_cast<std::ptrdiff_t>(i),
                             payload.begin() + static_cast<std::ptrdiff_t>(i + take));
                i += take;
                if (whole) {
                    putFrame(std::move(held_), heldPts_, *frame, heldTag_, out);
                    held_.clear();
                    heldPts_.reset();
                }
            }
        }
        if (!held_.empty())
            return; // the whole payload went into the frame begun before: its stamp names no frame
    }
    // A frame counts only when the next frame's sync word follows it (where this payload shows it):
    // the tail of a frame can hold the sync word's bytes by chance, and a frame cut short by lost
    // bytes runs into the middle of another.
    while (i < payload.size()) {
        if (!syncAt(payload, i)) {
            if (i + 1 == payload.size() && syncBegins(payload[i])) {
                held_.assign(payload.begin() + static_cast<std::ptrdiff_t>(i), payload.end());
                heldPts_ = pts;
                heldTag_ = tag;
                return;
            }
            ++skipped_;
            ++i;
            continue;
        }
        const auto rest = payload.subspan(i);
        if (rest.size() < headerSize()) {
            held_.assign(rest.begin(), rest.end());
            heldPts_ = pts;
            heldTag_ = tag;
            return;
        }
        const auto frame = header(rest);
        if (!frame || frame->size < headerSize() ||
            (rest.size() > frame->size + 1 && !syncAt(rest, frame->size))) {
            ++skipped_;
            ++i;
            continue;
        }
        if (rest.size() < frame->size) {
            held_.assign(rest.begin(), rest.end());
            heldPts_ = pts;
            heldTag_ = tag;
            return;
        }
        putFrame({rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(frame->size)}, pts, *frame, tag,
                 out);
        pts.reset(); // the stamp belongs to the first frame only
        i += frame->size;
    }
}

} // namespace platform::dshow::filters
