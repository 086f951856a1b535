#pragma once

// Audio compression streams: one format converted into another, block by block.
//
// open() picks the driver that can do source -> target (PCM <-> PCM, PCM -> WMA version 2) or fails
// with ACMERR_NOTPOSSIBLE. A stream takes whole source blocks (nBlockAlign) and keeps input that does
// not fill a codec frame for the next call; output that does not fit the destination buffer waits for
// the next call too. A call with ACM_STREAMCONVERTF_END flushes the codec; repeat it with no input
// until it produces nothing to collect everything.

#include "platform/acm/wave_format.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace platform::acm {

inline constexpr int MMSYSERR_NOERROR = 0;
inline constexpr int MMSYSERR_INVALHANDLE = 5;
inline constexpr int MMSYSERR_NOMEM = 7;
inline constexpr int MMSYSERR_INVALFLAG = 10;
inline constexpr int MMSYSERR_INVALPARAM = 11;
inline constexpr int ACMERR_NOTPOSSIBLE = 512;
inline constexpr int ACMERR_UNPREPARED = 514;

inline constexpr uint32_t ACM_STREAMCONVERTF_BLOCKALIGN = 0x04;
inline constexpr uint32_t ACM_STREAMCONVERTF_START = 0x10;
inline constexpr uint32_t ACM_STREAMCONVERTF_END = 0x20;

// The buffers of one conversion call and what the call used of them.
struct StreamHeader {
    const uint8_t* pbSrc = nullptr;
    uint32_t cbSrcLength = 0;
    uint32_t cbSrcLengthUsed = 0; // set by convert
    uint8_t* pbDst = nullptr;
    uint32_t cbDstLength = 0;
    uint32_t cbDstLengthUsed = 0; // set by convert
    bool prepared = false;
};

class AcmStream {
public:
    // Opens a stream source -> target. 0, ACMERR_NOTPOSSIBLE when no driver can do it, or
    // MMSYSERR_NOMEM.
    static int open(std::unique_ptr<AcmStream>& stream, const WaveFormat& source, const WaveFormat& target);
    virtual ~AcmStream();
    AcmStream(const AcmStream&) = delete;
    AcmStream& operator=(const AcmStream&) = delete;

    // The source bytes (whole blocks, at least one) whose output fits destinationBytes.
    int sourceSizeFor(uint32_t destinationBytes, uint32_t& sourceBytes) const;
    int prepareHeader(StreamHeader& header) const;
    int unprepareHeader(StreamHeader& header) const;
    int convert(StreamHeader& header, uint32_t flags);

    const WaveFormat& source() const { return source_; }
    const WaveFormat& target() const { return target_; }

protected:
    AcmStream(const WaveFormat& source, const WaveFormat& target);
    // Converts whole source blocks and appends the output with emit(). False on a codec failure.
    virtual bool consume(const uint8_t* data, uint32_t bytes) = 0;
    // Pushes out everything the codec still holds.
    virtual bool flush() = 0;
    virtual uint32_t sourceBytesFor(uint32_t destinationBytes) const = 0;
    void emit(const uint8_t* data, size_t bytes);

private:
    WaveFormat source_;
    WaveFormat target_;
    std::vector<uint8_t> pending_; // output waiting for a destination buffer
    size_t pendingHead_ = 0;
    bool flushed_ = false;
};

} // namespace platform::acm
