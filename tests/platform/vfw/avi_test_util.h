#pragma once

// Helpers of the AVI tests: files written through the interface, raw RIFF bytes put together by hand,
// and little-endian access to file bytes.

#include "platform/vfw/vfw.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kes::test {

using platform::vfw::AVISTREAMINFO;
using platform::vfw::BITMAPINFOHEADER;

// A video stream header and bitmap format for width × height frames of a codec.
AVISTREAMINFO videoInfo(uint32_t rate, uint32_t scale, uint32_t handler);
BITMAPINFOHEADER bitmapFormat(int width, int height, uint32_t compression, int bits = 24);
// An audio stream header; sampleSize 0 for variable-size chunks.
AVISTREAMINFO audioInfo(uint32_t rate, uint32_t scale, uint32_t sampleSize);
// The 18-byte wave format header of PCM or another tag.
std::vector<uint8_t> waveFormat(uint16_t tag, uint16_t channels, uint32_t samplesPerSec, uint32_t avgBytes,
                                uint16_t blockAlign, uint16_t bits);

// The bytes of video frame i of the standard test movie: a fake MPEG-4 VOP (intra when key), sized by i.
std::string testFrame(int i, bool key);

// Writes the standard test movie: frames video frames (key frames every keyEvery), and before each one an
// audio chunk of PCM stereo 16-bit samples (441 per frame at 25 fps, 44.1 kHz). Returns false on error.
bool writeTestMovie(const std::string& path, int frames, int keyEvery);

// Raw RIFF pieces.
std::string le32(uint32_t v);
std::string le16(uint16_t v);
std::string chunk(const std::string& id, const std::string& data);
std::string list(const std::string& type, const std::string& body, const std::string& id = "LIST");
uint32_t readLE32(const std::string& bytes, size_t offset);
// Offset of the first occurrence of text at or after from, or npos.
size_t findText(const std::string& bytes, const std::string& text, size_t from = 0);

} // namespace kes::test
