#include "platform/acm/acm_stream.h"

#include "platform/acm/pcm_converter.h"
#include "platform/acm/wma_encoder.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace platform::acm {

namespace {

// Source bytes handed to a driver in one piece, so that output never runs far ahead of the buffer.
constexpr uint32_t ConsumePiece = 16384;
constexpr uint32_t KnownFlags =
    ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END;

} // namespace

AcmStream::AcmStream(const WaveFormat& source, const WaveFormat& target) : source_(source), target_(target) {}

AcmStream::~AcmStream() = default;

int AcmStream::open(std::unique_ptr<AcmStream>& stream, const WaveFormat& source, const WaveFormat& target) {
    stream.reset();
    try {
        if (PcmConverter::accepts(source, target))
            stream = PcmConverter::create(source, target);
        else if (WmaEncoder::accepts(source, target))
            stream = WmaEncoder::create(source, target);
    } catch (const std::bad_alloc&) {
        return MMSYSERR_NOMEM;
    }
    return stream ? MMSYSERR_NOERROR : ACMERR_NOTPOSSIBLE;
}

int AcmStream::sourceSizeFor(uint32_t destinationBytes, uint32_t& sourceBytes) const {
    if (destinationBytes == 0)
        return MMSYSERR_INVALPARAM;
    sourceBytes = std::max<uint32_t>(sourceBytesFor(destinationBytes), source_.nBlockAlign);
    return MMSYSERR_NOERROR;
}

int AcmStream::prepareHeader(StreamHeader& header) const {
    if (header.prepared)
        return MMSYSERR_INVALPARAM;
    if ((header.cbSrcLength > 0 && header.pbSrc == nullptr) || header.pbDst == nullptr ||
        header.cbDstLength == 0)
        return MMSYSERR_INVALPARAM;
    header.prepared = true;
    return MMSYSERR_NOERROR;
}

int AcmStream::unprepareHeader(StreamHeader& header) const {
    if (!header.prepared)
        return ACMERR_UNPREPARED;
    header.prepared = false;
    return MMSYSERR_NOERROR;
}

void AcmStream::emit(const uint8_t* data, size_t bytes) {
    if (pendingHead_ > 0 && pendingHead_ == pending_.size()) {
        pending_.clear();
        pendingHead_ = 0;
    }
    pending_.insert(pending_.end(), data, data + bytes);
}

int AcmStream::convert(StreamHeader& header, uint32_t flags) {
    if ((flags & ~KnownFlags) != 0)
        return MMSYSERR_INVALFLAG;
    if (!header.prepared)
        return ACMERR_UNPREPARED;
    if ((header.cbSrcLength > 0 && header.pbSrc == nullptr) || header.pbDst == nullptr)
        return MMSYSERR_INVALPARAM;
    const uint32_t align = source_.nBlockAlign;
    const uint32_t usable = header.cbSrcLength - header.cbSrcLength % align;
    uint32_t used = 0;
    try {
        while (used < usable && pending_.size() - pendingHead_ < header.cbDstLength) {
            const uint32_t piece =
                std::min(usable - used, std::max(ConsumePiece - ConsumePiece % align, align));
            if (!consume(header.pbSrc + used, piece))
                return ACMERR_NOTPOSSIBLE;
            used += piece;
        }
        if ((flags & ACM_STREAMCONVERTF_END) != 0 && used == usable && !flushed_) {
            if (!flush())
                return ACMERR_NOTPOSSIBLE;
            flushed_ = true;
        }
    } catch (const std::bad_alloc&) {
        return MMSYSERR_NOMEM;
    }
    const size_t out = std::min<size_t>(pending_.size() - pendingHead_, header.cbDstLength);
    if (out > 0)
        std::memcpy(header.pbDst, pending_.data() + pendingHead_, out);
    pendingHead_ += out;
    // Keeps the waiting output at the front once most of the buffer has been handed out.
    if (pendingHead_ > pending_.size() / 2) {
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingHead_));
        pendingHead_ = 0;
    }
    header.cbSrcLengthUsed = used;
    header.cbDstLengthUsed = static_cast<uint32_t>(out);
    return MMSYSERR_NOERROR;
}

} // namespace platform::acm
