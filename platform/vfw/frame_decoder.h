#pragma once

// Decoding of compressed video frames with FFmpeg's libavcodec: MPEG-4 part 2 (DivX, XviD and the
// like) and MS-MPEG-4 (DivX 3), chosen by the FourCC of the stream, into top-down 0xAARRGGBB pixels.

#include "platform/vfw/vfw_types.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace platform::vfw {

class FrameDecoder {
public:
    // Null when no decoder handles the FourCC (the format's biCompression, else the stream's handler).
    static std::unique_ptr<FrameDecoder> open(DWORD compression, FOURCC handler,
                                              const std::vector<uint8_t>& format);
    virtual ~FrameDecoder() = default;

    // Starts again (before decoding from a key frame).
    virtual void reset() = 0;
    // Sends one chunk (null and 0 at the end of the stream, to drain delayed pictures) and returns how
    // many pictures came out; the last of them is kept. -1 when the decoder cannot go on.
    virtual int decode(const uint8_t* data, size_t size) = 0;
    // The same, the chunk tagged: a picture carries the tag of the chunk that coded it, also when it
    // comes out later (a reference picture waits for the B-pictures shown before it) or when its VOP was
    // packed into the chunk before. The tags of the last call's pictures are in outputTags().
    virtual int decodeTagged(const uint8_t* data, size_t size, int64_t tag) = 0;
    virtual const std::vector<int64_t>& outputTags() const = 0;
    // The kept picture as width × height pixels; false when there is none or its size is not that.
    virtual bool picture(int width, int height, std::vector<uint32_t>& argb) const = 0;
    // One of the last pictures that came out (a few are kept), by its tag.
    virtual bool taggedPicture(int64_t tag, int width, int height, std::vector<uint32_t>& argb) const = 0;
    // Whether the chunks are MPEG-4 part 2 VOPs, which may come in another order than they are shown.
    virtual bool reorders() const = 0;
    // Chunks a picture comes out after its slot, as the stream's headers say once the decoder saw them:
    // 1 for MPEG-4 with B-pictures (a picture comes out as the next chunk goes in), else 0.
    virtual int delay() const = 0;
};

// Whether a FourCC names a format the decoder knows (any letter case).
bool isDecodableFourCC(FOURCC fcc);

} // namespace platform::vfw
